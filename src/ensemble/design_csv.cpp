#include "ensemble/design_csv.h"

#include <cmath>
#include <fstream>

#include "io/numfmt.h"

namespace orvane::ensemble {

namespace {

std::string Trim(std::string s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && blank(s[i])) ++i;
    s.erase(0, i);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(Trim(line.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

}  // namespace

void ReadDesignCsv(const std::string& path, TExperiment& e, bool membersGiven) {
    const auto fail = [&](int line, const std::string& message) {
        throw EExperimentError(path + ":" + std::to_string(line) + ": " + message);
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EExperimentError("cannot read the design file \"" + path + "\"");
    std::string line;
    int lineNo = 0;
    std::vector<std::string> header;
    while (header.empty() && std::getline(in, line)) {
        ++lineNo;
        if (!Trim(line).empty()) header = Split(line);
    }
    if (header.empty()) fail(1, "the design file is empty: it needs a header of factor symbols");

    // Column of each factor.
    const std::size_t nf = e.factors.size();
    std::vector<int> column(nf, -1);
    for (std::size_t c = 0; c < header.size(); ++c) {
        int match = -1;
        for (std::size_t f = 0; f < nf; ++f) {
            const TFactor& factor = e.factors[f];
            if (header[c] == factor.symbol ||
                header[c] == std::string(FactorKindName(factor.kind)) + ":" + factor.symbol) {
                match = static_cast<int>(f);
            }
        }
        if (match < 0) fail(lineNo, "column \"" + header[c] + "\" is not a factor of the experiment");
        if (column[static_cast<std::size_t>(match)] >= 0) fail(lineNo, "column \"" + header[c] + "\" is given twice");
        column[static_cast<std::size_t>(match)] = static_cast<int>(c);
    }
    for (std::size_t f = 0; f < nf; ++f) {
        if (column[f] < 0) fail(lineNo, "the design file has no column for factor \"" + e.factors[f].symbol + "\"");
    }

    std::vector<double> values;
    std::size_t rows = 0;
    const std::size_t wanted = membersGiven ? e.design.members : SIZE_MAX;
    while (rows < wanted && std::getline(in, line)) {
        ++lineNo;
        if (Trim(line).empty()) continue;
        const std::vector<std::string> fields = Split(line);
        if (fields.size() != header.size()) {
            fail(lineNo, "the row has " + std::to_string(fields.size()) + " values and the header " +
                             std::to_string(header.size()) + " columns");
        }
        for (std::size_t f = 0; f < nf; ++f) {
            const std::string& text = fields[static_cast<std::size_t>(column[f])];
            double v = 0;
            if (!ParseFileNumber(text, v) || !std::isfinite(v)) {
                fail(lineNo, "\"" + text + "\" (factor " + e.factors[f].symbol + ") is not a finite number");
            }
            values.push_back(v);
        }
        ++rows;
    }
    if (rows == 0) fail(lineNo, "the design file has no rows of values");
    if (membersGiven && rows < e.design.members) {
        fail(lineNo, "the design file has " + std::to_string(rows) + " rows, and " +
                         std::to_string(e.design.members) + " members are asked for");
    }
    e.design.members = rows;
    e.design.values = std::move(values);
}

}  // namespace orvane::ensemble
