// Figures the README quotes, read from README.md itself: the tables under
// "<!-- figures: NAME -->", and whether a quoted figure agrees with a value
// to the last digit it writes.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvane::readme {

using TTable = std::vector<std::vector<std::string>>;

inline std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The table after the marker line: its rows of cells, the |---| line left out.
inline TTable ReadmeTable(const std::string& name) {
    std::ifstream in(std::string(ORVANE_SOURCE_DIR) + "/README.md");
    std::string line;
    while (std::getline(in, line) && line != "<!-- figures: " + name + " -->") {
    }
    TTable rows;
    while (std::getline(in, line) && !line.empty() && line[0] == '|') {
        if (line.find("---") != std::string::npos) continue;
        std::vector<std::string> cells;
        std::stringstream s(line.substr(1));
        std::string cell;
        while (std::getline(s, cell, '|')) cells.push_back(Trim(cell));
        rows.push_back(cells);
    }
    return rows;
}

// A figure agrees with `value` to half a unit of the last digit written
// ("404.2", "5.3e-9", "1500").
inline ::testing::AssertionResult Quotes(const std::string& figure, double value) {
    double quoted = 0;
    const auto [end, ec] = std::from_chars(figure.data(), figure.data() + figure.size(), quoted);
    if (ec != std::errc() || end != figure.data() + figure.size())
        return ::testing::AssertionFailure() << "'" << figure << "' is not a number";
    const auto e = figure.find_first_of("eE");
    const std::string mantissa = figure.substr(0, e);
    const auto dot = mantissa.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(mantissa.size() - dot - 1);
    const int exponent = e == std::string::npos ? 0 : std::stoi(figure.substr(e + 1));
    const double halfUnit = 0.5 * std::pow(10.0, exponent - decimals) * (1 + 1e-12);
    if (std::fabs(value - quoted) <= halfUnit) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the README says " << figure << ", the run gives "
                                         << value;
}

}  // namespace orvane::readme
