// The members journal: every finished member appended in member order, so
// that an ensemble killed at any moment keeps what it had finished and
// --resume continues after the last whole record. The result files are made
// from it at the end.
//
// Layout (little-endian): a header (magic "ORVJ", version, experiment hash,
// factors, variables, times, first member), then one record per member:
// magic "OVMR", member, failure kind, message length and text, the factor
// values, a flag and the outputs when the member succeeded, and an FNV-1a
// checksum of the record. A record cut short by a kill, or one whose
// checksum does not match, ends the journal: it and anything after it are
// dropped on resume.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "ensemble/engine.h"
#include "model/errors.h"

namespace orvane::ensemble {

struct TJournalHeader {
    uint64_t hash = 0;         // of the experiment (TExperiment::hash)
    TMemberShape shape;
    uint64_t firstMember = 0;  // the member the journal starts with
};

// Appends members; the journal is created when it does not exist. Raises
// EInOutError on any failure of the file.
class TJournalWriter final : public IMemberSink {
public:
    // Opens `path` for appending. An existing journal must have the same
    // header (else EJournalMismatch); its whole records are kept and a torn
    // tail is cut off. Members() then says how many it holds.
    TJournalWriter(const std::string& path, const TJournalHeader& header);
    ~TJournalWriter() override;
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    std::size_t Members() const { return members_; }
    // Of those, the ones that failed.
    std::size_t Failed() const { return failed_; }
    void Append(const TMemberRecord& record) override;
    void Flush() override;
    void Close();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    TJournalHeader header_;
    std::size_t members_ = 0;
    std::size_t failed_ = 0;
    std::string buf_;
};

class EJournalMismatch : public EOrvaneError {
public:
    using EOrvaneError::EOrvaneError;
};

// Reads a journal's records in order, up to the first torn or damaged one.
class TJournalReader {
public:
    explicit TJournalReader(const std::string& path);
    ~TJournalReader();
    TJournalReader(const TJournalReader&) = delete;
    TJournalReader& operator=(const TJournalReader&) = delete;

    const TJournalHeader& Header() const { return header_; }
    // The next whole record; false at the end (or at a torn record).
    bool Next(TMemberRecord& record);
    // Back to the first record.
    void Rewind();
    // The file offset after the last whole record read.
    long long GoodEnd() const { return goodEnd_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    TJournalHeader header_;
    long long dataStart_ = 0;
    long long goodEnd_ = 0;
    uint64_t next_ = 0;  // the member the next record must hold
    std::string buf_;
};

// Whether a journal exists at `path` with a readable header.
bool ReadJournalHeader(const std::string& path, TJournalHeader& header);

}  // namespace orvane::ensemble
