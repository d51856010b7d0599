#include "obs/runtable.h"

#include <algorithm>

#include "io/numfmt.h"
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

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

TRunTable ReadRunTable(const std::string& path) {
    TRunTable t;
    t.path = path;
    TTextReader r;
    r.Open(path);
    t.names = HeaderCells(r.ReadLine());
    if (t.names.empty()) RaiseAt(path, 1, 1, "the output file has no header");
    t.units = HeaderCells(r.ReadLine());
    const std::size_t width = t.names.size();
    int lineNo = 2;
    while (!r.Eof()) {
        const std::string_view line = r.ReadLine();
        ++lineNo;
        std::size_t i = 0, count = 0;
        const std::size_t start = t.values.size();
        while (i < line.size()) {
            while (i < line.size() && IsDelimiter(line[i])) ++i;
            if (i == line.size()) break;
            std::size_t j = i;
            while (j < line.size() && !IsDelimiter(line[j])) ++j;
            double v = 0;
            if (count == width) {
                RaiseAt(path, lineNo, static_cast<int>(i) + 1,
                        "more values than the header has columns (" + std::to_string(width) + ")");
            }
            if (!ParseFileNumber(line.substr(i, j - i), v)) {
                std::string what(1, '\'');
                what.append(line.substr(i, j - i)).append("' is not a number");
                RaiseAt(path, lineNo, static_cast<int>(i) + 1, what);
            }
            t.values.push_back(v);
            ++count;
            i = j;
        }
        if (count == 0) continue;  // blank line
        if (count < width) {
            t.values.resize(start);
            RaiseAt(path, lineNo, static_cast<int>(line.size()) + 1,
                    std::to_string(count) + " values where the header has " + std::to_string(width) +
                        " columns");
        }
        t.lines.push_back(lineNo);
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
