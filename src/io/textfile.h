// Buffered text files for the model's three file formats. Readers load the
// whole file and hand out tokens and lines; writers buffer and check every
// write, raising EInOutError on any failure of the operating system.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace orvane {

class TTextReader {
public:
    TTextReader() = default;
    TTextReader(const TTextReader&) = delete;
    TTextReader& operator=(const TTextReader&) = delete;

    // Loads the file; raises EInOutError if it cannot be read.
    void Open(const std::string& path);
    void Close();
    bool IsOpen() const { return open_; }

    // True when nothing but the end of the file remains.
    bool Eof() const { return pos_ >= buf_.size(); }
    // The rest of the current line (without CR/LF); moves to the next line.
    std::string_view ReadLine();
    // Skips to the start of the next line.
    void SkipLine();
    // Skips characters of code <= 32 and returns the following run of
    // characters of code > 32 (at most maxLen of them); empty at the end.
    std::string_view ReadToken(std::size_t maxLen = 64);
    // Reads and discards up to n characters, stopping at a line end.
    void SkipChars(std::size_t n);

private:
    std::string buf_;
    std::size_t pos_ = 0;
    bool open_ = false;
};

class TTextWriter {
public:
    TTextWriter() = default;
    TTextWriter(const TTextWriter&) = delete;
    TTextWriter& operator=(const TTextWriter&) = delete;
    ~TTextWriter();

    // Creates (or empties) the file; raises EInOutError on failure.
    void Create(const std::string& path);
    void Write(std::string_view text);
    // Flushes and closes; raises EInOutError if the data did not reach the file.
    void Close();
    // Closes without raising (for clean-up after another error).
    void CloseQuietly() noexcept;
    bool IsOpen() const { return file_ != nullptr; }

private:
    void Flush();
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string buf_;
};

}  // namespace orvane
