#include "ensemble/journal.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "model/errors.h"

namespace orvane::ensemble {

static_assert(std::endian::native == std::endian::little, "the journal is written little-endian");

namespace {

constexpr char HeaderMagic[4] = {'O', 'R', 'V', 'J'};
constexpr uint32_t Version = 1;
constexpr uint32_t RecordMagic = 0x524D564Fu;  // "OVMR"
constexpr std::size_t HeaderSize = 4 + 4 + 8 + 4 * 3 + 8;
// A message longer than this is cut; a longer length marks a damaged record.
constexpr uint32_t MaxMessage = 1 << 16;

[[noreturn]] void RaiseIo(const char* what, const std::string& path, int err) {
    throw EInOutError(std::string(what) + " \"" + path + "\": " + std::generic_category().message(err));
}

template <class T>
void Put(std::string& b, T v) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    b.append(bytes, sizeof(T));
}

uint64_t Checksum(const char* p, std::size_t n) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(p[i]);
        h *= 0x100000001B3ull;
    }
    return h;
}

std::string EncodeHeader(const TJournalHeader& h) {
    std::string b(HeaderMagic, 4);
    Put(b, Version);
    Put(b, h.hash);
    Put(b, static_cast<uint32_t>(h.shape.factors));
    Put(b, static_cast<uint32_t>(h.shape.variables));
    Put(b, static_cast<uint32_t>(h.shape.times));
    Put(b, h.firstMember);
    return b;
}

bool DecodeHeader(const std::string& b, TJournalHeader& h) {
    if (b.size() != HeaderSize || b.compare(0, 4, HeaderMagic, 4) != 0) return false;
    uint32_t version = 0;
    uint32_t f = 0, v = 0, t = 0;
    std::memcpy(&version, b.data() + 4, 4);
    std::memcpy(&h.hash, b.data() + 8, 8);
    std::memcpy(&f, b.data() + 16, 4);
    std::memcpy(&v, b.data() + 20, 4);
    std::memcpy(&t, b.data() + 24, 4);
    std::memcpy(&h.firstMember, b.data() + 28, 8);
    h.shape = {static_cast<int>(f), static_cast<int>(v), static_cast<int>(t)};
    return version == Version;
}

bool SameHeader(const TJournalHeader& a, const TJournalHeader& b) {
    return a.hash == b.hash && a.shape.factors == b.shape.factors &&
           a.shape.variables == b.shape.variables && a.shape.times == b.shape.times &&
           a.firstMember == b.firstMember;
}

// Reads exactly n bytes; false when the file ends first.
bool ReadExactly(std::FILE* f, char* p, std::size_t n) { return std::fread(p, 1, n, f) == n; }

}  // namespace

// ---- Writer -----------------------------------------------------------------

TJournalWriter::TJournalWriter(const std::string& path, const TJournalHeader& header)
    : path_(path), header_(header) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        long long end = 0;
        {
            TJournalReader reader(path);
            if (!SameHeader(reader.Header(), header)) {
                throw EJournalMismatch("the journal \"" + path + "\" belongs to another experiment");
            }
            TMemberRecord r;
            while (reader.Next(r)) {
                ++members_;
                if (!r.outcome.Ok()) ++failed_;
            }
            end = reader.GoodEnd();
        }
        // Drop a torn record left by a kill.
        if (::truncate(path.c_str(), end) != 0) RaiseIo("Cannot write file", path, errno);
        file_ = std::fopen(path.c_str(), "ab");
        if (!file_) RaiseIo("Cannot write file", path, errno ? errno : EIO);
        return;
    }
    file_ = std::fopen(path.c_str(), "wbx");
    if (!file_) RaiseIo("Cannot create file", path, errno ? errno : EIO);
    const std::string h = EncodeHeader(header);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) RaiseIo("Cannot write file", path, errno ? errno : EIO);
    Flush();
}

TJournalWriter::~TJournalWriter() {
    if (file_) std::fclose(file_);
}

void TJournalWriter::Append(const TMemberRecord& r) {
    if (!file_) throw EInOutError("The journal \"" + path_ + "\" is closed");
    buf_.clear();
    Put(buf_, RecordMagic);
    Put(buf_, static_cast<uint64_t>(r.member));
    Put(buf_, static_cast<uint8_t>(r.outcome.kind));
    const std::string& msg = r.outcome.message;
    const uint32_t len = static_cast<uint32_t>(std::min<std::size_t>(msg.size(), MaxMessage));
    Put(buf_, len);
    buf_.append(msg.data(), len);
    for (int j = 0; j < header_.shape.factors; ++j) Put(buf_, r.factors[static_cast<std::size_t>(j)]);
    const bool outputs = r.outcome.Ok() && r.outputs.size() == header_.shape.Outputs();
    Put(buf_, static_cast<uint8_t>(outputs ? 1 : 0));
    if (outputs) buf_.append(reinterpret_cast<const char*>(r.outputs.data()), r.outputs.size() * sizeof(double));
    Put(buf_, Checksum(buf_.data(), buf_.size()));
    if (std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) {
        RaiseIo("Cannot write file", path_, errno ? errno : EIO);
    }
    ++members_;
    if (!r.outcome.Ok()) ++failed_;
}

void TJournalWriter::Flush() {
    if (file_ && std::fflush(file_) != 0) RaiseIo("Cannot write file", path_, errno ? errno : EIO);
}

void TJournalWriter::Close() {
    if (!file_) return;
    Flush();
    const int fd = fileno(file_);
    const bool synced = ::fsync(fd) == 0;
    const int err = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!synced || !closed) RaiseIo("Cannot write file", path_, err ? err : EIO);
}

// ---- Reader -----------------------------------------------------------------

TJournalReader::TJournalReader(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) RaiseIo("Cannot open file", path, errno ? errno : ENOENT);
    std::string h(HeaderSize, '\0');
    if (!ReadExactly(file_, h.data(), h.size()) || !DecodeHeader(h, header_)) {
        std::fclose(file_);
        file_ = nullptr;
        throw EJournalMismatch("\"" + path + "\" is not a members journal of this program");
    }
    dataStart_ = goodEnd_ = static_cast<long long>(HeaderSize);
    next_ = header_.firstMember;
}

TJournalReader::~TJournalReader() {
    if (file_) std::fclose(file_);
}

void TJournalReader::Rewind() {
    std::fseek(file_, static_cast<long>(dataStart_), SEEK_SET);
    goodEnd_ = dataStart_;
    next_ = header_.firstMember;
}

bool TJournalReader::Next(TMemberRecord& r) {
    // Fixed part: magic, member, kind, message length.
    constexpr std::size_t head = 4 + 8 + 1 + 4;
    buf_.resize(head);
    if (!ReadExactly(file_, buf_.data(), head)) return false;
    uint32_t magic = 0;
    uint64_t member = 0;
    uint8_t kind = 0;
    uint32_t len = 0;
    std::memcpy(&magic, buf_.data(), 4);
    std::memcpy(&member, buf_.data() + 4, 8);
    std::memcpy(&kind, buf_.data() + 12, 1);
    std::memcpy(&len, buf_.data() + 13, 4);
    if (magic != RecordMagic || member != next_ || len > MaxMessage || kind >= FailKindCount) return false;
    const std::size_t nf = static_cast<std::size_t>(header_.shape.factors);
    const std::size_t rest = len + nf * 8 + 1;
    buf_.resize(head + rest);
    if (!ReadExactly(file_, buf_.data() + head, rest)) return false;
    const bool outputs = buf_.back() == 1;
    const std::size_t no = outputs ? header_.shape.Outputs() : 0;
    buf_.resize(head + rest + no * 8 + 8);
    if (!ReadExactly(file_, buf_.data() + head + rest, no * 8 + 8)) return false;
    uint64_t sum = 0;
    std::memcpy(&sum, buf_.data() + buf_.size() - 8, 8);
    if (sum != Checksum(buf_.data(), buf_.size() - 8)) return false;

    r.member = static_cast<std::size_t>(member);
    r.outcome.kind = static_cast<TFailKind>(kind);
    r.outcome.message.assign(buf_.data() + head, len);
    r.factors.resize(nf);
    std::memcpy(r.factors.data(), buf_.data() + head + len, nf * 8);
    r.outputs.resize(no);
    if (no) std::memcpy(r.outputs.data(), buf_.data() + head + rest, no * 8);
    goodEnd_ += static_cast<long long>(buf_.size());
    ++next_;
    return true;
}

bool ReadJournalHeader(const std::string& path, TJournalHeader& header) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    try {
        TJournalReader r(path);
        header = r.Header();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvane::ensemble
