// Driver text checked row by row as the reader will take it.
#include <gtest/gtest.h>

#include "io/drivertext.h"

using namespace orvane;

namespace {

const char* Header = "Time CO2 Tamax\r\nyear ppmv deg C\r\n";

std::vector<std::pair<int, std::string>> Problems(const std::string& rows) {
    std::vector<std::pair<int, std::string>> out;
    for (const TDriverRowProblem& p : CheckDriverText(Header + rows, 2)) out.emplace_back(p.line, p.reason);
    return out;
}

using P = std::vector<std::pair<int, std::string>>;

}  // namespace

TEST(DriverText, RowsTheReaderTakesPass) {
    // Any spacing, CR LF or LF, blank lines, interpolation marks, the
    // editor's general format and the writer's 13-digit format, a closing
    // row of zeros with blank lines after it.
    EXPECT_EQ(Problems("0 370 20\r\n\r\n-25\t385   2.0E+001\n"
                       "3.000000000000E+001  4.000000000000E+002  2.1E1\n0 0 0\n\n"),
              P{});
    // A header that is not numbers is never read; an empty text is fine.
    EXPECT_TRUE(CheckDriverText("", 2).empty());
    EXPECT_TRUE(CheckDriverText("only a header", 2).empty());
}

TEST(DriverText, RowsTheReaderCannotTakeAreNamedByLine) {
    const std::string need = ", but a row holds 3 numbers (the time and 2 drivers)";
    EXPECT_EQ(Problems("0 370 20\nCO2 rises here\n"), (P{{4, "'CO2' is not a number"}}));
    EXPECT_EQ(Problems("0 370\n1 380 20\n"), (P{{3, "it holds 2 numbers" + need}}));
    EXPECT_EQ(Problems("0 370 20 5\n"), (P{{3, "it holds 4 numbers" + need}}));
    EXPECT_EQ(Problems("0 370 20,5\n"), (P{{3, "'20,5' is not a number"}}));
    EXPECT_EQ(Problems("0 370 20\n5 380 20\n-2 390 20\n"),
              (P{{5, "its time 2 comes before the time 5 of the row above it"}}));
    EXPECT_EQ(Problems("0 370 20\n0 0 0\n1 380 20\n2 390 20\n"),
              (P{{5, "the row of zeros on line 4 ends the data: this row would not be read"},
                 {6, "the row of zeros on line 4 ends the data: this row would not be read"}}));
    // One driver: "1 number", "1 driver".
    EXPECT_EQ(CheckDriverText("h\nu\n5\n", 1).front().reason,
              "it holds 1 number, but a row holds 2 numbers (the time and 1 driver)");
}
