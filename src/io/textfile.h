// Buffered text files for the model's three file formats. Readers stream the
// file in large blocks and hand out tokens and lines; writers buffer and check
// every write, raising EInOutError (with the file's name) on any failure of
// the operating system.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// A whole file's bytes, for readers that parse a file in one pass.
struct TFileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view View() const { return {data.get(), size}; }
};

// Reads the whole file; raises EInOutError (with the file's name) if it
// cannot be opened or read.
TFileBytes ReadFileBytes(const std::string& path);

class TTextReader {
public:
    TTextReader() = default;
    TTextReader(const TTextReader&) = delete;
    TTextReader& operator=(const TTextReader&) = delete;
    ~TTextReader();

    // Opens the file (closing any file open before) and skips its first
    // `skipLines` lines; raises EInOutError (leaving nothing open) if it
    // cannot be opened or read.
    void Open(const std::string& path, int skipLines = 0);
    void Close() noexcept;
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // True when nothing but the end of the file remains.
    bool Eof();
    // True when nothing but characters of code <= 32 remain; skips them.
    bool SeekEof();
    // The rest of the current line (without CR/LF); moves to the next line.
    // Valid until the next call on this reader. Very long lines are cut
    // (the rest is skipped) so that a file without line ends cannot exhaust
    // memory.
    std::string_view ReadLine();
    // Skips to the start of the next line (LF, CR LF or a lone CR end a line).
    void SkipLine();
    // Skips characters of code <= 32 and returns the following run of
    // characters of code > 32 (at most maxLen of them; the rest of a longer
    // run stays unread); empty at the end of the file.
    std::string_view ReadToken(std::size_t maxLen = 64);
    // Reads one number as the files hold it: a token of at most 64
    // characters; at the end of the file it reads as 0. Raises EInputError
    // ("Invalid numeric input") for anything else.
    double ReadNumber();
    // Reads and discards up to n characters, stopping at a line end.
    void SkipChars(std::size_t n);
    // Abandons the rest of the file: Eof() is true afterwards.
    void SkipToEnd();

    static constexpr std::size_t MaxLineLength = 1 << 20;
    // The longest token ReadNumber takes for a number.
    static constexpr std::size_t MaxNumberLength = 64;

private:
    // Makes at least `n` characters available from pos_ unless the file ends
    // first; false if none at all are available.
    bool Ensure(std::size_t n);
    void CheckOpen() const;

    std::FILE* file_ = nullptr;
    std::string path_;
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool fileEnded_ = false;
    std::string line_;
};

class TTextWriter {
public:
    TTextWriter() = default;
    TTextWriter(const TTextWriter&) = delete;
    TTextWriter& operator=(const TTextWriter&) = delete;
    ~TTextWriter();

    // Creates (or empties) the file; raises EInOutError on failure.
    void Create(const std::string& path);
    // Writes to a new file beside `path`; Close() puts it in place of `path`
    // only when everything has been written, so a failed write leaves any
    // previous file as it was.
    void CreateReplacing(const std::string& path);
    void Write(std::string_view text);
    void Write(char c) { Write(std::string_view(&c, 1)); }
    // Appends `n` blanks.
    void WriteBlanks(std::size_t n);
    // Flushes and closes; raises EInOutError if the data did not reach the
    // file (the file is closed in any case). After a write that has already
    // raised its error, it just closes.
    void Close();
    // Closes without raising (for clean-up after another error); a file
    // begun with CreateReplacing is abandoned and the target left untouched.
    void CloseQuietly() noexcept;
    // Closes a shared file's handles before it is opened again; an error of
    // the abandoned file is not reported again.
    static void CloseHandles(TTextReader& reader, TTextWriter& writer) noexcept;
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    static constexpr std::size_t BufferLimit = 1 << 16;

private:
    void Flush();
    void Begin(std::FILE* file, const std::string& path, const std::string& tmpPath);
    std::FILE* file_ = nullptr;
    std::string path_;    // the file named by the caller
    std::string tmpPath_; // the file being written, when replacing
    std::string buf_;
    bool failed_ = false;
};

}  // namespace orvane
