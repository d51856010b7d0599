#include <cmath>
#include <limits>
#include <random>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

class OutputFile : public TFileTest {
protected:
    void Create(const std::string& path) {
        OpenOutputFile(g, path, g.ModelDef.numstate, g.States, true, g.Processes,
                       g.ModelDef.numprocess);
    }
    void WriteRow(double time) {
        WriteOutputRow(g, g.ModelDef.numstate, g.States, g.ModelDef.numprocess, g.Processes, time);
    }
    bool ReadRow(double& time) {
        return ReadOutputRow(g, time, drivers, states, g.ModelDef.numstate, processes,
                             g.ModelDef.numprocess);
    }
    void OpenForReading(const std::string& path) {
        OpenOutputFile(g, path, g.ModelDef.numstate, g.States, false, g.Processes,
                       g.ModelDef.numprocess);
    }
    drivearray drivers;
    statearray states;
    processarray processes;
};

}  // namespace

TEST_F(OutputFile, WritesHeaderAndRowsByteForByte) {
    const std::string path = PathOf("a.out");
    g.Drivers[1].value = 1.5;
    g.States[1].value = -2.5e-10;
    Create(path);
    WriteRow(0);
    WriteRow(1);
    WriteRow(0.000123456789012345);
    WriteRow(-1.23456789012345e-100);  // wider than the field: written whole
    CloseOutputFile(g);
    const auto lines = CrLfLines(ReadAll(path));
    ASSERT_EQ(lines.size(), 6u);
    const std::size_t columns = 1 + 8 + 19 + 126;
    EXPECT_EQ(lines[0].size(), columns * 21);
    EXPECT_EQ(lines[0].substr(0, 42), "                Time                  CO2 ");
    // "Daily Shortwave Radiation"-style names longer than 20 are cut.
    for (int i = 1; i <= g.ModelDef.numprocess; ++i) {
        const std::size_t col = 1 + 8 + 19 + (i - 1);
        EXPECT_EQ(lines[0].substr(col * 21, 21), PadLeft(g.Processes[i].name, 20) + " ");
        EXPECT_EQ(lines[1].substr(col * 21, 21), PadLeft(g.Processes[i].units, 20) + " ");
    }
    EXPECT_EQ(lines[1].substr(0, 21), "                year ");
    EXPECT_EQ(lines[2].substr(0, 42), "                   0  1.500000000000E+000 ");
    EXPECT_EQ(lines[3].substr(0, 21), std::string(19, ' ') + "1 ");
    EXPECT_EQ(lines[3].substr(9 * 21, 21), "-2.500000000000E-010 ");
    EXPECT_EQ(lines[3].size(), columns * 21);
    EXPECT_EQ(lines[4].substr(0, 21), "0.000123456789012345 ");
    EXPECT_EQ(lines[5].substr(0, 23), "-1.23456789012345E-100 ");
}

TEST_F(OutputFile, NamesLongerThanTheFieldAreCut) {
    statearray named = g.States;
    named[1].name = "A name that is much longer than twenty";
    OpenOutputFile(g, PathOf("n.out"), g.ModelDef.numstate, named, true, g.Processes,
                   g.ModelDef.numprocess);
    CloseOutputFile(g);
    const auto lines = CrLfLines(ReadAll(dir / "n.out"));
    EXPECT_EQ(lines[0].substr(9 * 21, 21), "A name that is much  ");
}

TEST_F(OutputFile, ReadsBackEveryRowTo13Digits) {
    const std::string path = PathOf("rt.out");
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> val(-1e6, 1e6);
    std::vector<std::vector<double>> written;
    Create(path);
    for (int row = 0; row < 50; ++row) {
        std::vector<double> vals;
        for (int i = 1; i <= 8; ++i) vals.push_back(g.Drivers[i].value = val(rng));
        for (int i = 1; i <= 19; ++i) vals.push_back(g.States[i].value = val(rng) * 1e-20);
        for (int i = 1; i <= 126; ++i) vals.push_back(g.Processes[i].value = val(rng) * 1e20);
        if (row == 3) {
            g.Processes[5].value = std::numeric_limits<double>::quiet_NaN();
            g.Processes[6].value = -std::numeric_limits<double>::infinity();
        }
        WriteRow(row * 0.1);
        written.push_back(vals);
    }
    CloseOutputFile(g);

    OpenForReading(path);
    double time = -1;
    for (int row = 0; row < 50; ++row) {
        ASSERT_TRUE(ReadRow(time)) << row;
        EXPECT_EQ(FormatGeneral(time), FormatGeneral(row * 0.1));
        std::size_t k = 0;
        for (int i = 1; i <= 8; ++i)
            EXPECT_EQ(FormatSci13(drivers[i].value), FormatSci13(written[row][k++]));
        for (int i = 1; i <= 19; ++i)
            EXPECT_EQ(FormatSci13(states[i].value), FormatSci13(written[row][k++]));
        for (int i = 1; i <= 126; ++i) {
            if (row == 3 && (i == 5 || i == 6)) {
                ++k;
                continue;
            }
            EXPECT_EQ(FormatSci13(processes[i].value), FormatSci13(written[row][k++]));
        }
        if (row == 3) {
            EXPECT_TRUE(std::isnan(processes[5].value));
            EXPECT_EQ(processes[6].value, -std::numeric_limits<double>::infinity());
        }
    }
    EXPECT_FALSE(ReadRow(time));
    CloseOutputFile(g);
}

TEST_F(OutputFile, EndOfFileCases) {
    Create(PathOf("e.out"));
    g.Drivers[1].value = 4;
    WriteRow(2);
    CloseOutputFile(g);
    const std::string text = ReadAll(dir / "e.out");
    double time = 0;

    // Trailing blank lines add no row.
    WriteAll(dir / "blank.out", text + "\r\n  \r\n\t\r\n");
    OpenForReading(PathOf("blank.out"));
    EXPECT_TRUE(ReadRow(time));
    EXPECT_FALSE(ReadRow(time));

    // A row cut short at the end of the file reads its missing values as 0.
    WriteAll(dir / "cut.out", text + "3 5 6");
    OpenForReading(PathOf("cut.out"));
    EXPECT_TRUE(ReadRow(time));
    processes[126].value = 9;
    EXPECT_TRUE(ReadRow(time));
    EXPECT_EQ(time, 3);
    EXPECT_EQ(drivers[2].value, 6);
    EXPECT_EQ(drivers[3].value, 0);
    EXPECT_EQ(processes[126].value, 0);
    EXPECT_FALSE(ReadRow(time));

    // Header only.
    WriteAll(dir / "head.out", text.substr(0, text.find("\r\n", text.find("\r\n") + 2) + 2));
    OpenForReading(PathOf("head.out"));
    EXPECT_FALSE(ReadRow(time));

    // A number cut in the middle, and binary garbage, are input errors.
    for (const std::string& tail : {std::string("3 5 1.5E+"), std::string("3 \x01\x02\xff\xfe")}) {
        WriteAll(dir / "bad.out", text + tail);
        OpenForReading(PathOf("bad.out"));
        EXPECT_TRUE(ReadRow(time));
        EXPECT_THROW(ReadRow(time), EInputError);
    }
    CloseOutputFile(g);
    EXPECT_THROW(ReadRow(time), EInOutError);
}

TEST_F(OutputFile, WriteFailuresAreReported) {
    // A device that is always full: the failure surfaces at the latest on close.
    // The error is raised once; the clean-up close after it raises nothing.
    for (int rows : {1, 100}) {
        bool raised = false;
        try {
            Create("/dev/full");
            for (int i = 0; i < rows; ++i) WriteRow(i);
            CloseOutputFile(g);
        } catch (const EInOutError& e) {
            raised = true;
            EXPECT_NE(e.Message().find("/dev/full"), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("No space left on device"), std::string::npos);
        }
        EXPECT_TRUE(raised) << rows;
        EXPECT_NO_THROW(CloseOutputFile(g));
        EXPECT_FALSE(g.OutputWriter.IsOpen());
    }

    EXPECT_THROW(Create(PathOf("missing/dir/x.out")), EInOutError);
    EXPECT_THROW(WriteRow(0), EInOutError);
    EXPECT_THROW(OpenForReading(PathOf("absent.out")), EInOutError);
}
