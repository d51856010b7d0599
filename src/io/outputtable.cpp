#include "io/outputtable.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "io/numfmt.h"
#include "io/textfile.h"
#include "model/errors.h"
#include "model/globals.h"

namespace orvane {

namespace {

constexpr std::size_t kMaxNumberLength = 64;  // as the stream reader takes numbers
constexpr std::size_t kColumnWidth = 21;      // of the output file's columns
constexpr int kMaxThreads = 8;

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Past the end of the line at `pos` (LF, CR LF or a lone CR).
std::size_t SkipLine(std::string_view b, std::size_t pos) {
    while (pos < b.size() && !IsLineEnd(b[pos])) ++pos;
    if (pos < b.size() && b[pos++] == '\r' && pos < b.size() && b[pos] == '\n') ++pos;
    return pos;
}

std::size_t SkipDelimiters(std::string_view b, std::size_t pos) {
    while (pos < b.size() && IsDelimiter(b[pos])) ++pos;
    return pos;
}

// The line `pos` lies on, counting the header lines.
std::size_t LineOf(std::string_view b, std::size_t pos) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < pos && i < b.size(); ++i) {
        if (b[i] == '\n' || (b[i] == '\r' && (i + 1 == b.size() || b[i + 1] != '\n'))) ++line;
    }
    return line;
}

// Eight digits at p as a number, eight at a time; false unless all eight
// are digits.
bool EightDigits(const char* p, std::uint64_t& out) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    if (((v & (0xF0 * ones)) | ((v + 0x06 * ones) & (0xF0 * ones))) != 0x30 * ones) return false;
    v -= 0x30 * ones;
    v = v * 10 + (v >> 8);  // pairs of digits
    out = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
           (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
    return true;
}

// The 13-digit field the writer puts in every column but the time's,
// "[-]d.ddddddddddddE[+-]ddd" and a delimiter after it, converted without
// looking for the token's end first. False for anything else, and for
// exponents where the conversion would not be exact: the general parser
// then reads the token.
bool ReadSci13(const char* p, const char* end, double& value, const char*& next) {
    const bool neg = *p == '-';
    const char* q = p + (neg ? 1 : 0);
    if (end - q < 20 || q[1] != '.' || q[14] != 'E' || !IsDelimiter(q[19])) return false;
    const unsigned lead = static_cast<unsigned char>(q[0]) - static_cast<unsigned>('0');
    const unsigned e2 = static_cast<unsigned char>(q[16]) - static_cast<unsigned>('0');
    const unsigned e1 = static_cast<unsigned char>(q[17]) - static_cast<unsigned>('0');
    const unsigned e0 = static_cast<unsigned char>(q[18]) - static_cast<unsigned>('0');
    std::uint64_t high = 0;
    std::uint64_t low = 0;  // q[6..13]; its last four digits complete the mantissa
    if (lead > 9 || e2 > 9 || e1 > 9 || e0 > 9 || (q[15] != '+' && q[15] != '-') || !EightDigits(q + 2, high) ||
        !EightDigits(q + 6, low))
        return false;
    const std::uint64_t m = lead * 1000000000000ull + high * 10000 + low % 10000;
    const int e = static_cast<int>(e2 * 100 + e1 * 10 + e0);
    double v = 0;
    if (m != 0 && !ScaleByPow10Exactly(m, (q[15] == '-' ? -e : e) - 12, v)) return false;
    value = neg ? -v : v;
    next = q + 19;
    return true;
}

// The number at p (not a delimiter); false if the token there is not one.
// `next` is left past the token, or past the first 65 characters of a longer one.
bool ReadField(const char* p, const char* end, double& value, const char*& next) {
    if (ReadSci13(p, end, value, next)) return true;
    next = p;
    while (next < end && !IsDelimiter(*next) && next - p <= static_cast<std::ptrdiff_t>(kMaxNumberLength)) ++next;
    const auto len = static_cast<std::size_t>(next - p);
    return len <= kMaxNumberLength && ParseFileNumber({p, len}, value);
}

// One chunk's rows: those starting at or after `begin` and before `limit`
// (a row begun there is read to its end, wherever that is).
struct TChunk {
    std::size_t first = 0;  // where its first row starts
    std::size_t stop = 0;   // where the row after its last one starts
    std::vector<double> values;
    std::vector<int> lines;  // rows as lines: each row's line, from the chunk's first
    int lineCount = 0;       // rows as lines: the lines the chunk began
    TOutputReadProblem problem;
    std::size_t problemPos = 0;

    void Fail(TOutputReadProblem::TKind kind, std::size_t field, std::size_t fields, std::size_t pos,
              const char* text = nullptr, const char* textEnd = nullptr) {
        problem.kind = kind;
        problem.field = field;
        problem.fields = fields;
        problemPos = pos;
        if (text) {
            const auto len = static_cast<std::size_t>(textEnd - text);
            problem.text.assign(text, std::min(len, kMaxNumberLength));
            problem.textCut = len > kMaxNumberLength;
        }
    }
};

using TKind = TOutputReadProblem::TKind;

// Rows as the output file reader takes them: a stream of numbers, `cols`
// to a row, the rest of the line after a row's last skipped.
void ParseRows(std::string_view b, std::size_t begin, std::size_t limit, std::size_t cols,
               double minTime, TChunk& out) {
    const char* const base = b.data();
    const char* const end = base + b.size();
    std::size_t pos = SkipDelimiters(b, begin);
    out.first = pos;
    out.stop = b.size();
    while (pos < limit && pos < b.size()) {
        const std::size_t at = out.values.size();
        out.values.resize(at + cols);
        double* row = out.values.data() + at;
        std::size_t j = 0;
        const char* p = base + pos;
        const char* lastEnd = p;
        for (; j < cols; ++j) {
            while (p < end && IsDelimiter(*p)) ++p;
            if (p == end) break;
            const char* next = nullptr;
            if (!ReadField(p, end, row[j], next)) {
                out.values.resize(at);
                // A field the file ends in, short of the row's last: the row
                // was cut off while it was being written.
                const bool cut = next == end && j + 1 < cols;
                out.Fail(cut ? TKind::CutOffRow : TKind::BadNumber, j + 1, cols,
                         cut ? b.size() : static_cast<std::size_t>(p - base), p, next);
                return;
            }
            p = lastEnd = next;
        }
        if (j < cols) {
            // The file ends inside the row. With a line end after its last
            // field the missing values read as 0; without one the row was cut
            // off, and it is not data.
            if (std::none_of(lastEnd, end, IsLineEnd)) {
                out.values.resize(at);
                out.Fail(TKind::CutOffRow, j, cols, b.size());
                return;
            }
            std::fill(row + j, row + cols, 0.0);
        }
        if (row[0] < minTime) out.values.resize(at);
        pos = SkipDelimiters(b, SkipLine(b, static_cast<std::size_t>(p - base)));
    }
    out.stop = std::min(pos, b.size());
}

// Rows as lines: every line that is not blank holds one row, `cols` values,
// no more and no fewer.
void ParseLines(std::string_view b, std::size_t begin, std::size_t limit, std::size_t cols, double minTime,
                TChunk& out) {
    const char* const base = b.data();
    std::size_t pos = begin;
    out.first = begin;
    out.stop = limit;
    while (pos < limit) {
        std::size_t lineEnd = pos;
        while (lineEnd < b.size() && !IsLineEnd(b[lineEnd])) ++lineEnd;
        const char* const end = base + lineEnd;
        const std::size_t at = out.values.size();
        std::size_t j = 0;
        const char* p = base + pos;
        for (;; ++j) {
            while (p < end && IsDelimiter(*p)) ++p;
            if (p == end) break;
            if (j == cols) {
                out.values.resize(at);
                out.Fail(TKind::LongRow, j + 1, cols, static_cast<std::size_t>(p - base));
                return;
            }
            if (j == 0) out.values.resize(at + cols);
            const char* next = nullptr;
            if (!ReadField(p, end, out.values[at + j], next)) {
                out.values.resize(at);
                out.Fail(TKind::BadNumber, j + 1, cols, static_cast<std::size_t>(p - base), p, next);
                return;
            }
            p = next;
        }
        if (j > 0 && j < cols) {
            out.values.resize(at);
            out.Fail(TKind::ShortRow, j, cols, lineEnd);
            return;
        }
        if (j > 0 && out.values[at] < minTime) out.values.resize(at);
        if (j > 0 && out.values.size() > at) out.lines.push_back(out.lineCount);
        ++out.lineCount;
        pos = SkipLine(b, lineEnd);
    }
}

int ThreadCount(const TOutputReadOptions& options, std::size_t bytes) {
    int wanted = options.threads > 0 ? options.threads
                                     : static_cast<int>(std::min(std::thread::hardware_concurrency(), 8u));
    wanted = std::clamp(wanted, 1, kMaxThreads);
    const std::size_t bySize = bytes / std::max<std::size_t>(options.minChunkBytes, 1);
    return static_cast<int>(std::clamp<std::size_t>(bySize, 1, static_cast<std::size_t>(wanted)));
}

}  // namespace

TOutputTable OutputTableColumns(const TGlobals& g) {
    TOutputTable t;
    auto add = [&t](std::string_view name, std::string_view units) {
        t.names.emplace_back(name);
        t.units.emplace_back(units);
    };
    add("Time", g.ModelDef.timeunit);
    for (int i = 1; i <= g.ModelDef.numdrive; ++i) add(g.Drivers[i].name, g.Drivers[i].units);
    for (int i = 1; i <= g.ModelDef.numstate; ++i) add(g.States[i].name, g.States[i].units);
    for (int i = 1; i <= g.ModelDef.numprocess; ++i) add(g.Processes[i].name, g.Processes[i].units);
    return t;
}

namespace {

// A field as a message quotes it: bytes beyond ASCII as \xNN, so that the
// message stays readable whatever the file holds.
std::string Quoted(std::string_view text, bool cut) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string q = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 127) {
            q += "\\x";
            q += kHex[u >> 4];
            q += kHex[u & 15];
        } else {
            q += c;
        }
    }
    if (cut) q += "...";
    return q + "\"";
}

}  // namespace

std::string TOutputReadProblem::Message(const std::string& path) const {
    const std::string where = "File \"" + path + "\", line " + std::to_string(line);
    switch (kind) {
        case TKind::None:
            return {};
        case TKind::BadNumber:
            return std::string(MsgInvalidNumericInput) + "\n" + where + ", field " + std::to_string(field) + ": " +
                   Quoted(text, textCut);
        case TKind::CutOffRow:
            return "The last row is cut off: it has " + std::to_string(field) + " of " + std::to_string(fields) +
                   " values and no line end.\n" + where;
        case TKind::ShortRow:
        case TKind::LongRow:
            return "A row has " + std::string(kind == TKind::ShortRow ? std::to_string(field) : "more") +
                   " values where the header has " + std::to_string(fields) + " columns.\n" + where;
    }
    return {};
}

TOutputReadProblem ReadOutputTable(const std::string& path, TOutputTable& table,
                                   const TOutputReadOptions& options) {
    const TFileBytes bytes = ReadFileBytes(path);
    try {
        return ParseOutputTable(bytes.View(), table, options);
    } catch (const std::bad_alloc&) {
        table.values.clear();
        throw EInOutError("Cannot read file \"" + path + "\": " + std::generic_category().message(ENOMEM));
    }
}

TOutputReadProblem ParseOutputTable(std::string_view b, TOutputTable& table, const TOutputReadOptions& options) {
    const std::size_t cols = table.Columns();
    table.values.clear();
    if (options.rowLines) options.rowLines->clear();
    if (cols == 0) return {};
    const std::size_t start = SkipLine(b, SkipLine(b, 0));
    const int threads = ThreadCount(options, b.size() - start);

    // Chunks begin at line starts. Each is read as if a row began there;
    // that holds unless the row before ran on past it (a row short of
    // fields takes the next line's), and then the rest is read again in
    // order from where that row ended.
    std::vector<std::size_t> bounds{start};
    for (int i = 1; i < threads; ++i) {
        const std::size_t guess = start + (b.size() - start) / static_cast<std::size_t>(threads) * static_cast<std::size_t>(i);
        const std::size_t lf = b.find('\n', std::max(guess, bounds.back()));
        if (lf == std::string_view::npos) break;
        if (lf + 1 > bounds.back() && lf + 1 < b.size()) bounds.push_back(lf + 1);
    }
    bounds.push_back(b.size());
    const std::size_t n = bounds.size() - 1;

    std::vector<TChunk> chunks(n);
    std::vector<std::exception_ptr> failures(n);
    const std::size_t rowBytes = cols * kColumnWidth;
    auto parse = [&](std::size_t i) {
        try {
            // The first chunk's values become the table's: room for all.
            const std::size_t span = (i == 0 ? b.size() : bounds[i + 1]) - bounds[i];
            chunks[i].values.reserve(span / rowBytes * cols + cols);
            (options.rowsAreLines ? ParseLines : ParseRows)(b, bounds[i], bounds[i + 1], cols, options.minTime,
                                                            chunks[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    };
    {
        std::vector<std::thread> workers;
        for (std::size_t i = 1; i < n; ++i) {
            try {
                workers.emplace_back(parse, i);
            } catch (const std::exception&) {
                parse(i);  // no thread to be had: read it here instead
            }
        }
        parse(0);
        for (auto& w : workers) w.join();
    }
    for (const auto& f : failures)
        if (f) std::rethrow_exception(f);

    TChunk& whole = chunks[0];
    // Lines are counted from the first header line.
    const int firstLine = static_cast<int>(LineOf(b, start));
    if (options.rowLines) {
        for (std::size_t i = 0, base = 0; i < n && !(i > 0 && chunks[i - 1].problem); ++i) {
            for (const int l : chunks[i].lines) options.rowLines->push_back(firstLine + static_cast<int>(base) + l);
            base += static_cast<std::size_t>(chunks[i].lineCount);
        }
    }
    for (std::size_t i = 1; i < n && !whole.problem && whole.stop < b.size(); ++i) {
        TChunk* c = &chunks[i];
        TChunk rest;
        const bool misaligned = c->first != whole.stop;
        if (misaligned) {
            ParseRows(b, whole.stop, b.size(), cols, options.minTime, rest);
            c = &rest;
        }
        whole.values.insert(whole.values.end(), c->values.begin(), c->values.end());
        whole.stop = c->stop;
        whole.problem = std::move(c->problem);
        whole.problemPos = c->problemPos;
        if (misaligned) break;
    }
    table.values = std::move(whole.values);
    if (whole.problem) {
        whole.problem.line = LineOf(b, whole.problemPos);
        std::size_t lineStart = std::min(whole.problemPos, b.size());
        while (lineStart > 0 && !IsLineEnd(b[lineStart - 1])) --lineStart;
        whole.problem.column = whole.problemPos - lineStart + 1;
    }
    return whole.problem;
}

namespace {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + '"';
}

// The output file's own form of the value if it reads back as the same
// number, else the shortest form that does.
void AppendAsOutputFile(std::string& line, double v, bool isTime) {
    char buf[FormatBufferSize];
    const std::size_t len = isTime ? FormatGeneralTo(buf, v, 15) : FormatSci13To(buf, v);
    double back = 0;
    if (std::isfinite(v) && !(ParseFileNumber({buf, len}, back) && back == v)) {
        line += FormatShortest(v);
    } else {
        line.append(buf, len);
    }
}

}  // namespace

void WriteOutputTableCsv(const std::string& path, const TOutputTable& table, TCsvValues form) {
    TTextWriter w;
    w.CreateReplacing(path);
    std::string line;
    auto header = [&](const std::vector<std::string>& texts) {
        line.clear();
        for (std::size_t c = 0; c < texts.size(); ++c) {
            if (c > 0) line += ',';
            line += CsvField(texts[c]);
        }
        line += "\r\n";
        w.Write(line);
    };
    header(table.names);
    header(table.units);
    const std::size_t cols = table.Columns();
    for (std::size_t r = 0; r < table.Rows(); ++r) {
        line.clear();
        const double* row = table.Row(r);
        for (std::size_t c = 0; c < cols; ++c) {
            if (c > 0) line += ',';
            if (form == TCsvValues::AsOutputFile) {
                AppendAsOutputFile(line, row[c], c == 0);
            } else if (!std::isnan(row[c])) {
                line += FormatShortest(row[c]);
            }
        }
        line += "\r\n";
        w.Write(line);
    }
    w.Close();
}

}  // namespace orvane
