#include "io/drivertext.h"

#include <algorithm>
#include <cmath>

#include "io/numfmt.h"
#include "io/textfile.h"

namespace orvane {

namespace {

bool IsDelimiter(char c) { return static_cast<unsigned char>(c) <= 32; }

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsDelimiter(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsDelimiter(line[i])) ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<TDriverRowProblem> CheckDriverText(std::string_view text, int numdrive) {
    std::vector<TDriverRowProblem> problems;
    const std::size_t wanted = static_cast<std::size_t>(numdrive) + 1;
    const std::string need = "a row holds " + Count(wanted, "number", "numbers") +
                             " (the time and " + Count(wanted - 1, "driver", "drivers") + ")";
    double lastTime = -1;
    int zeroRowLine = 0;  // the all-zero row that ended the data
    int line = 0;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view row = text.substr(at, end - at);
        at = end + 1;
        if (++line <= 2) continue;  // the header lines are not read
        const std::vector<std::string_view> tokens = Tokens(row);
        if (tokens.empty()) continue;
        if (zeroRowLine) {
            problems.push_back({line, "the row of zeros on line " + std::to_string(zeroRowLine) +
                                          " ends the data: this row would not be read"});
            continue;
        }
        std::vector<double> values;
        std::string bad;
        for (std::string_view t : tokens) {
            double v = 0;
            if (t.size() > TTextReader::MaxNumberLength || !ParseFileNumber(t, v)) {
                bad = std::string(t);
                break;
            }
            values.push_back(v);
        }
        if (!bad.empty()) {
            problems.push_back({line, "'" + bad + "' is not a number"});
        } else if (values.size() != wanted) {
            problems.push_back({line, "it holds " + Count(values.size(), "number", "numbers") +
                                          ", but " + need});
        } else if (std::all_of(values.begin(), values.end(), [](double v) { return v == 0; })) {
            zeroRowLine = line;
        } else if (std::fabs(values[0]) < lastTime) {
            problems.push_back({line, "its time " + FormatGeneral(std::fabs(values[0])) +
                                          " comes before the time " + FormatGeneral(lastTime) +
                                          " of the row above it"});
        } else {
            lastTime = std::fabs(values[0]);
        }
    }
    return problems;
}

}  // namespace orvane
