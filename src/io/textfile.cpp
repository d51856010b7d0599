#include "io/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "io/numfmt.h"
#include "model/errors.h"

namespace orvane {

namespace {

constexpr std::size_t ReadBlock = 1 << 18;

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32; }

[[noreturn]] void RaiseOsError(const char* what, const std::string& path, int err) {
    throw EInOutError(std::string(what) + " \"" + path + "\": " +
                      std::generic_category().message(err));
}

[[noreturn]] void RaiseNotOpen() { throw EInOutError("File not open"); }

}  // namespace

// ---- Whole files -----------------------------------------------------------

TFileBytes ReadFileBytes(const std::string& path) {
    // Not blocking on open: a pipe with no writer would wait for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) RaiseOsError("Cannot open file", path, errno ? errno : ENOENT);
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) RaiseOsError("Cannot read file", path, errno ? errno : EIO);
    if (S_ISDIR(st.st_mode)) RaiseOsError("Cannot open file", path, EISDIR);
    // A device or pipe may never end (/dev/zero): only files are read whole.
    if (!S_ISREG(st.st_mode)) throw EInOutError("Cannot read file \"" + path + "\": it is not a regular file");
    // The size is a first guess only: the file may grow while it is read.
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    TFileBytes bytes;
    try {
        bytes.data.reset(new char[capacity]);
        for (;;) {
            if (bytes.size == capacity) {
                const std::size_t grown = capacity * 2;
                std::unique_ptr<char[]> bigger(new char[grown]);
                std::memcpy(bigger.get(), bytes.data.get(), bytes.size);
                bytes.data = std::move(bigger);
                capacity = grown;
            }
            const ssize_t got = ::read(fd, bytes.data.get() + bytes.size, capacity - bytes.size);
            if (got < 0) {
                if (errno == EINTR) continue;
                RaiseOsError("Cannot read file", path, errno ? errno : EIO);
            }
            if (got == 0) break;
            bytes.size += static_cast<std::size_t>(got);
        }
    } catch (const std::bad_alloc&) {
        RaiseOsError("Cannot read file", path, ENOMEM);
    }
    return bytes;
}

// ---- Reader --------------------------------------------------------------

TTextReader::~TTextReader() { Close(); }

void TTextReader::Open(const std::string& path, int skipLines) {
    Close();
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) RaiseOsError("Cannot open file", path, errno ? errno : ENOENT);
    // A directory opens like a file here but cannot be read: refuse it now.
    struct stat st {};
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        RaiseOsError("Cannot open file", path, EISDIR);
    }
    // We read in large blocks of our own; a second buffer would only copy.
    std::setvbuf(f, nullptr, _IONBF, 0);
    file_ = f;
    path_ = path;
    buf_.resize(ReadBlock);
    pos_ = end_ = 0;
    fileEnded_ = false;
    try {
        for (int i = 0; i < skipLines; ++i) SkipLine();
    } catch (...) {
        Close();
        throw;
    }
}

void TTextReader::Close() noexcept {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    pos_ = end_ = 0;
    fileEnded_ = false;
    std::vector<char>().swap(buf_);
    line_.clear();
}

void TTextReader::CheckOpen() const {
    if (!file_) RaiseNotOpen();
}

bool TTextReader::Ensure(std::size_t n) {
    if (end_ - pos_ >= n) return true;
    CheckOpen();
    if (!fileEnded_) {
        const std::size_t have = end_ - pos_;
        if (pos_ > 0 && have > 0) std::memmove(buf_.data(), buf_.data() + pos_, have);
        pos_ = 0;
        end_ = have;
        if (buf_.size() < n) buf_.resize(n);
        while (end_ < n) {
            errno = 0;
            const std::size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, file_);
            if (got == 0) {
                if (std::ferror(file_)) RaiseOsError("Cannot read file", path_, errno ? errno : EIO);
                fileEnded_ = true;
                break;
            }
            end_ += got;
        }
    }
    return end_ > pos_;
}

bool TTextReader::Eof() { return !Ensure(1); }

bool TTextReader::SeekEof() {
    for (;;) {
        while (pos_ < end_ && IsDelimiter(buf_[pos_])) ++pos_;
        if (pos_ < end_) return false;
        if (!Ensure(1)) return true;
    }
}

std::string_view TTextReader::ReadLine() {
    line_.clear();
    for (;;) {
        if (!Ensure(1)) return line_;
        std::size_t i = pos_;
        while (i < end_ && buf_[i] != '\n' && buf_[i] != '\r') ++i;
        if (line_.size() < MaxLineLength) {
            const std::size_t room = MaxLineLength - line_.size();
            line_.append(buf_.data() + pos_, std::min(i - pos_, room));
        }
        pos_ = i;
        if (i < end_) break;
    }
    SkipLine();
    return line_;
}

void TTextReader::SkipLine() {
    for (;;) {
        if (!Ensure(1)) return;
        while (pos_ < end_ && buf_[pos_] != '\n' && buf_[pos_] != '\r') ++pos_;
        if (pos_ < end_) break;
    }
    if (buf_[pos_++] == '\r' && Ensure(1) && buf_[pos_] == '\n') ++pos_;
}

std::string_view TTextReader::ReadToken(std::size_t maxLen) {
    for (;;) {
        while (pos_ < end_ && IsDelimiter(buf_[pos_])) ++pos_;
        if (pos_ < end_) break;
        if (!Ensure(1)) return {};
    }
    // Room for the whole token and the character after it.
    Ensure(maxLen + 1);
    const std::size_t start = pos_;
    const std::size_t limit = std::min(end_, start + maxLen);
    while (pos_ < limit && !IsDelimiter(buf_[pos_])) ++pos_;
    return std::string_view(buf_.data() + start, pos_ - start);
}

double TTextReader::ReadNumber() {
    const std::string_view tok = ReadToken(TTextReader::MaxNumberLength);
    if (tok.empty()) return 0;  // the end of the file reads as 0
    double v = 0;
    const bool overlong = pos_ < end_ && !IsDelimiter(buf_[pos_]);
    if (overlong || !ParseFileNumber(tok, v)) throw EInputError(MsgInvalidNumericInput);
    return v;
}

void TTextReader::SkipChars(std::size_t n) {
    while (n > 0 && Ensure(1)) {
        const char c = buf_[pos_];
        if (c == '\r' || c == '\n') return;
        ++pos_;
        --n;
    }
}

void TTextReader::SkipToEnd() {
    CheckOpen();
    pos_ = end_ = 0;
    fileEnded_ = true;
}

// ---- Writer --------------------------------------------------------------

TTextWriter::~TTextWriter() { CloseQuietly(); }

void TTextWriter::Begin(std::FILE* file, const std::string& path, const std::string& tmpPath) {
    file_ = file;
    path_ = path;
    tmpPath_ = tmpPath;
    failed_ = false;
    buf_.clear();
    buf_.reserve(BufferLimit);
    // We buffer in large blocks of our own; a second buffer would only copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);
}

void TTextWriter::Create(const std::string& path) {
    CloseQuietly();
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) RaiseOsError("Cannot create file", path, errno ? errno : EIO);
    Begin(f, path, {});
}

void TTextWriter::CreateReplacing(const std::string& path) {
    namespace fs = std::filesystem;
    CloseQuietly();
    if (path.empty()) RaiseOsError("Cannot create file", path, ENOENT);
    std::error_code ec;
    // Replace what a link points to, not the link itself.
    std::string target = path;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved.string();
    }
    // Writing in place would fail on a file the user may not write to; the
    // rename below would not, and must not replace a protected file.
    if (fs::exists(target, ec) && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        RaiseOsError("Cannot create file", path, errno ? errno : EACCES);
    }
    std::random_device rd;
    std::FILE* f = nullptr;
    std::string tmp;
    int err = 0;
    for (int attempt = 0; attempt < 20 && !f; ++attempt) {
        tmp = target + ".tmp" + std::to_string(rd() % 1000000u);
        errno = 0;
        f = std::fopen(tmp.c_str(), "wbx");  // never reuse a file that exists
        err = errno ? errno : EIO;
        if (!f && err != EEXIST) break;
    }
    if (!f) {
        // A directory that takes no new files may still let its existing
        // file be rewritten in place: better that than no save at all.
        if ((err == EACCES || err == EPERM) && fs::is_regular_file(target, ec)) {
            Create(target);
            return;
        }
        RaiseOsError("Cannot create file", path, err);
    }
    // Keep the permissions of the file being replaced.
    const auto st = fs::status(target, ec);
    if (!ec && fs::exists(st)) fs::permissions(tmp, st.permissions(), ec);
    Begin(f, target, tmp);
}

void TTextWriter::Write(std::string_view text) {
    if (!file_) RaiseNotOpen();
    if (buf_.size() + text.size() > BufferLimit) Flush();
    if (text.size() >= BufferLimit) {
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
            failed_ = true;
            RaiseOsError("Cannot write file", path_, errno ? errno : EIO);
        }
        return;
    }
    buf_.append(text);
}

void TTextWriter::WriteBlanks(std::size_t n) {
    if (!file_) RaiseNotOpen();
    if (buf_.size() + n > BufferLimit) Flush();
    buf_.append(n, ' ');
}

void TTextWriter::Flush() {
    if (!file_) RaiseNotOpen();
    if (buf_.empty()) return;
    errno = 0;
    const std::size_t wrote = std::fwrite(buf_.data(), 1, buf_.size(), file_);
    const bool ok = wrote == buf_.size();
    buf_.clear();
    if (!ok) {
        failed_ = true;
        RaiseOsError("Cannot write file", path_, errno ? errno : EIO);
    }
}

void TTextWriter::Close() {
    if (!file_) return;
    // A write that failed has raised its error already; closing after it
    // (the usual clean-up) must not raise a second one.
    if (failed_) {
        CloseQuietly();
        return;
    }
    int err = 0;
    try {
        Flush();
    } catch (const EInOutError&) {
        CloseQuietly();
        throw;
    }
    if (std::fflush(file_) != 0) err = errno ? errno : EIO;
    // A replacement must be on the disk before it takes the old file's place.
    if (!err && !tmpPath_.empty() && ::fsync(fileno(file_)) != 0) err = errno ? errno : EIO;
    if (std::fclose(file_) != 0 && !err) err = errno ? errno : EIO;
    file_ = nullptr;
    if (err) {
        CloseQuietly();
        RaiseOsError("Cannot write file", path_, err);
    }
    if (!tmpPath_.empty()) {
        std::error_code ec;
        std::filesystem::rename(tmpPath_, path_, ec);
        if (ec) {
            std::filesystem::remove(tmpPath_, ec);
            tmpPath_.clear();
            RaiseOsError("Cannot replace file", path_, ec.value());
        }
        tmpPath_.clear();
    }
}

void TTextWriter::CloseQuietly() noexcept {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    buf_.clear();
    if (!tmpPath_.empty()) {
        std::error_code ec;
        std::filesystem::remove(tmpPath_, ec);
        tmpPath_.clear();
    }
}

void TTextWriter::CloseHandles(TTextReader& reader, TTextWriter& writer) noexcept {
    reader.Close();
    try {
        writer.Close();
    } catch (...) {
        // Whoever left the file open has given up on it.
    }
}

}  // namespace orvane
