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

// ---- Records ----------------------------------------------------------------

// Fixed part of a record: magic, member, kind, message length.
constexpr std::size_t RecordHead = 4 + 8 + 1 + 4;

void EncodeRecord(const TMemberRecord& r, const TMemberShape& shape, std::string& b) {
    const std::size_t start = b.size();
    Put(b, RecordMagic);
    Put(b, static_cast<uint64_t>(r.member));
    Put(b, static_cast<uint8_t>(r.outcome.kind));
    const std::string& msg = r.outcome.message;
    const uint32_t len = static_cast<uint32_t>(std::min<std::size_t>(msg.size(), MaxMessage));
    Put(b, len);
    b.append(msg.data(), len);
    for (int j = 0; j < shape.factors; ++j) Put(b, r.factors[static_cast<std::size_t>(j)]);
    const bool outputs = r.outcome.Ok() && r.outputs.size() == shape.Outputs();
    Put(b, static_cast<uint8_t>(outputs ? 1 : 0));
    if (outputs) b.append(reinterpret_cast<const char*>(r.outputs.data()), r.outputs.size() * sizeof(double));
    Put(b, Checksum(b.data() + start, b.size() - start));
}

std::size_t RecordBytesNeeded(const char* p, std::size_t have, const TMemberShape& shape) {
    if (have < RecordHead) return RecordHead;
    uint32_t len = 0;
    std::memcpy(&len, p + 13, 4);
    if (len > MaxMessage) return 0;
    const std::size_t flagAt = RecordHead + len + static_cast<std::size_t>(shape.factors) * 8;
    if (have <= flagAt) return flagAt + 1;
    const std::size_t outputs = p[flagAt] == 1 ? shape.Outputs() * 8 : 0;
    return flagAt + 1 + outputs + 8;
}

bool DecodeRecord(const char* p, std::size_t size, const TMemberShape& shape, TMemberRecord& r) {
    if (RecordBytesNeeded(p, size, shape) != size) return false;
    uint32_t magic = 0;
    uint64_t member = 0;
    uint8_t kind = 0;
    uint32_t len = 0;
    std::memcpy(&magic, p, 4);
    std::memcpy(&member, p + 4, 8);
    std::memcpy(&kind, p + 12, 1);
    std::memcpy(&len, p + 13, 4);
    if (magic != RecordMagic || kind >= FailKindCount) return false;
    uint64_t sum = 0;
    std::memcpy(&sum, p + size - 8, 8);
    if (sum != Checksum(p, size - 8)) return false;

    const std::size_t nf = static_cast<std::size_t>(shape.factors);
    const std::size_t flagAt = RecordHead + len + nf * 8;
    const std::size_t no = p[flagAt] == 1 ? shape.Outputs() : 0;
    r.member = static_cast<std::size_t>(member);
    r.outcome.kind = static_cast<TFailKind>(kind);
    r.outcome.message.assign(p + RecordHead, len);
    r.factors.resize(nf);
    std::memcpy(r.factors.data(), p + RecordHead + len, nf * 8);
    r.outputs.resize(no);
    if (no) std::memcpy(r.outputs.data(), p + flagAt + 1, no * 8);
    return true;
}

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
    EncodeRecord(r, header_.shape, buf_);
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

void TJournalReader::Rewind() { Seek({dataStart_, header_.firstMember}); }

void TJournalReader::Seek(const TPlace& place) {
    std::fseek(file_, static_cast<long>(place.offset), SEEK_SET);
    goodEnd_ = place.offset;
    next_ = place.member;
}

bool TJournalReader::Next(TMemberRecord& r) {
    buf_.clear();
    for (;;) {
        const std::size_t need = RecordBytesNeeded(buf_.data(), buf_.size(), header_.shape);
        if (need == 0) return false;
        if (need <= buf_.size()) break;
        const std::size_t have = buf_.size();
        buf_.resize(need);
        if (!ReadExactly(file_, buf_.data() + have, need - have)) return false;
    }
    if (!DecodeRecord(buf_.data(), buf_.size(), header_.shape, r) || r.member != next_) return false;
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
