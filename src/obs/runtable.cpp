#include "obs/runtable.h"

#include <algorithm>

#include "io/textfile.h"
#include "obs/csvtext.h"

namespace orvane {

namespace {

constexpr std::size_t ColumnWidth = 21;

std::string Trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return std::string(s);
}

// Header cells are fixed columns, since names hold blanks.
std::vector<std::string> HeaderCells(std::string_view line) {
    std::vector<std::string> cells;
    for (std::size_t at = 0; at < line.size(); at += ColumnWidth) {
        cells.push_back(Trimmed(line.substr(at, ColumnWidth)));
    }
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    return cells;
}

// The line starting at `pos`, and `pos` moved past its end (LF, CR LF or a
// lone CR).
std::string_view NextLine(std::string_view b, std::size_t& pos) {
    const std::size_t start = std::min(pos, b.size());
    std::size_t end = b.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = b.size();
    pos = end;
    if (pos < b.size() && b[pos++] == '\r' && pos < b.size() && b[pos] == '\n') ++pos;
    return b.substr(start, end - start);
}

}  // namespace

TRunTable ReadRunTable(const std::string& path) {
    TRunTable t;
    t.path = path;
    const TFileBytes bytes = ReadFileBytes(path);
    std::size_t pos = 0;
    t.names = HeaderCells(NextLine(bytes.View(), pos));
    if (t.names.empty()) RaiseAt(path, 1, 1, "the output file has no header");
    t.units = HeaderCells(NextLine(bytes.View(), pos));
    TOutputReadOptions options;
    options.rowsAreLines = true;
    options.rowLines = &t.lines;
    const TOutputReadProblem p = ParseOutputTable(bytes.View(), t, options);
    const auto line = static_cast<int>(p.line);
    const auto column = static_cast<int>(p.column);
    const std::string width = std::to_string(t.Columns());
    switch (p.kind) {
        case TOutputReadProblem::TKind::None:
            break;
        case TOutputReadProblem::TKind::LongRow:
            RaiseAt(path, line, column, "more values than the header has columns (" + width + ")");
        case TOutputReadProblem::TKind::ShortRow:
        case TOutputReadProblem::TKind::CutOffRow:
            RaiseAt(path, line, column, std::to_string(p.field) + " values where the header has " + width + " columns");
        case TOutputReadProblem::TKind::BadNumber:
            RaiseAt(path, line, column, "'" + p.text + (p.textCut ? "..." : "") + "' is not a number");
    }
    return t;
}

bool InterpolateAt(const TRunTable& table, std::size_t column, double t, double& value) {
    const auto b = BracketTime(table.Rows(), [&table](std::size_t r) { return table.Time(r); }, t);
    if (!b) return false;
    value = Interpolate(*b, table.At(b->lo, column), table.At(b->hi, column));
    return true;
}

}  // namespace orvane
