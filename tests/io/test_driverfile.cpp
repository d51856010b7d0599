#include <cmath>
#include <limits>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

const std::string Header = "h1\r\nh2\r\n";

class DriverFile : public TFileTest {
protected:
    // Opens a driver file with the given data rows and starts a new pass.
    void OpenRows(const std::string& rows, const std::string& name = "d.drr") {
        WriteAll(dir / name, Header + rows);
        OpenDriverFile(g, PathOf(name), g.ModelDef.numdrive, g.Drivers, false);
        g.PrevDriverTime = 0;
        g.NextDriverTime = 0;
    }
    // The first driver in force at time t.
    double At(double t) {
        GetDrivers(g, g.Drivers, t);
        return g.Drivers[1].value;
    }
    static std::string Row(double t, double v) {
        return FormatGeneral(t) + " " + FormatGeneral(v) + " 2 3 4 5 6 7 8\r\n";
    }
};

}  // namespace

TEST_F(DriverFile, CreatesHeaderAndRowsByteForByte) {
    const std::string path = PathOf("new.drr");
    OpenDriverFile(g, path, g.ModelDef.numdrive, g.Drivers, true);
    for (int i = 1; i <= 8; ++i) g.Drivers[i].value = i == 1 ? 1.5 : -i * 1e-10;
    WriteDriverRow(g, 0, g.ModelDef.numdrive, g.Drivers);
    g.Drivers[1].value = std::numeric_limits<double>::quiet_NaN();
    WriteDriverRow(g, -2, g.ModelDef.numdrive, g.Drivers);
    CloseDriverFile(g);
    const auto lines = CrLfLines(ReadAll(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Time                 CO2                  Daily Air Temp max   "
                        "Daily Air Temp min   Daily Shortwave Rad. Precipitation        "
                        "NH4 Deposition       Plant Act Seas Leng  Soil Act Seas Leng   ");
    EXPECT_EQ(lines[1].substr(0, 21), "year                 ");
    EXPECT_EQ(lines[1].substr(21, 21), PadRight(g.Drivers[1].units, 20) + " ");
    EXPECT_EQ(lines[2].substr(0, 42), "0.000000000000E+000  1.500000000000E+000  ");
    EXPECT_EQ(lines[2].substr(42, 21), "-2.000000000000E-010 ");
    EXPECT_EQ(lines[2].size(), 9u * 21);
    EXPECT_EQ(lines[3].substr(0, 42), "-2.000000000000E+000 NAN                  ");

    // And the reader takes back exactly what was written.
    OpenDriverFile(g, path, g.ModelDef.numdrive, g.Drivers, false);
    double t = -1;
    ASSERT_TRUE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
    EXPECT_EQ(t, 0);
    EXPECT_EQ(g.Drivers[1].value, 1.5);
    EXPECT_EQ(g.Drivers[8].value, -8e-10);
    ASSERT_TRUE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
    EXPECT_EQ(t, -2);
    EXPECT_TRUE(std::isnan(g.Drivers[1].value));
    EXPECT_FALSE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
    CloseDriverFile(g);
}

TEST_F(DriverFile, StepwiseAndInterpolatedRows) {
    OpenRows(Row(0, 10) + Row(1, 20));
    EXPECT_EQ(At(0.5), 10);
    EXPECT_EQ(At(1), 20);
    EXPECT_EQ(g.Drivers[2].value, 2);

    OpenRows(Row(0, 10) + Row(-1, 20));
    EXPECT_EQ(At(0), 10);
    EXPECT_EQ(At(0.5), 15);
    EXPECT_EQ(At(0.75), 17.5);
    EXPECT_EQ(At(1), 20);

    // Interpolation between two negative rows, then a step row.
    OpenRows(Row(0, 0.5) + Row(-2, 10) + Row(-4, 30) + Row(5, 100));
    EXPECT_EQ(At(1), 5.25);
    EXPECT_EQ(At(3), 20);
    EXPECT_EQ(At(4.5), 30);
    EXPECT_EQ(At(5), 100);
}

TEST_F(DriverFile, RowsBeforeTheFirstAndAfterTheLast) {
    // A first row at time 5: from time 0 on its values are used.
    OpenRows(Row(5, 50) + Row(6, 60));
    EXPECT_EQ(At(0), 50);
    EXPECT_EQ(At(5.5), 50);
    EXPECT_EQ(At(6), 60);
    // After the last row it stays in force, however far past the run's end
    // the request goes, and whatever the stop time.
    g.StopTime = 2;
    EXPECT_EQ(At(4), 60);
    EXPECT_EQ(At(1e9), 60);
    EXPECT_EQ(At(std::numeric_limits<double>::infinity()), 60);
    EXPECT_EQ(g.PrevDrivers[1].value, 60);

    // The last row interpolated: held once reached, never extrapolated.
    OpenRows(Row(0, 10) + Row(-1, 20));
    g.StopTime = 0;
    EXPECT_EQ(At(0), 10);
    EXPECT_EQ(At(0.5), 15);
    EXPECT_EQ(At(3), 20);
    EXPECT_EQ(At(100), 20);
    EXPECT_FALSE(std::isnan(g.Drivers[1].value));
}

TEST_F(DriverFile, AllZeroRowEndsTheData) {
    for (int i = 1; i <= 8; ++i) g.NextDrivers[i].value = 0;
    OpenRows("0 0 0 0 0 0 0 0 0\r\n" + Row(1, 20));
    g.Drivers[1].value = 99;
    EXPECT_EQ(At(0), 0);
    EXPECT_EQ(At(3), 0);

    OpenRows(Row(0, 10) + "0.0 0 0 0 0 -0 0 0 0\r\n" + Row(1, 20));
    EXPECT_EQ(At(1), 10);
    double t = 0;
    OpenRows(Row(0, 10) + "0 0 0 0 0 0 0 0 0\r\n" + Row(1, 20));
    EXPECT_TRUE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
    EXPECT_FALSE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
    EXPECT_FALSE(ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers));
}

TEST_F(DriverFile, TolerantReading) {
    // Trailing blank lines, tabs, LF-only lines, 21-character general-format
    // columns and a row split over two lines all read alike.
    const std::string plain = Row(0, 2.5) + Row(1, 3.5);
    const std::string variants[] = {
        plain + "\r\n\r\n   \r\n",
        "0\t2.5\t2\t3\t4\t5\t6\t7\t8\n1 3.5 2 3 4 5 6 7 8\n",
        PadRight("0", 21) + PadRight("2.5", 21) + "2 3 4 5 6 7 8\r\n" + PadRight("1", 21) +
            PadRight("3.5", 21) + "2 3 4 5 6 7 8",
        "0 2.5 2 3 4\r\n5 6 7 8 ignored rest\r\n" + Row(1, 3.5),
    };
    for (const auto& v : variants) {
        OpenRows(v);
        EXPECT_EQ(At(0), 2.5) << v;
        EXPECT_EQ(g.Drivers[8].value, 8) << v;
        EXPECT_EQ(At(1), 3.5) << v;
        EXPECT_EQ(At(7), 3.5) << v;
    }
}

TEST_F(DriverFile, MissingFileShowsMessageThenReadsFail) {
    OpenDriverFile(g, PathOf("absent.drr"), g.ModelDef.numdrive, g.Drivers, false);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].kind, TMsgKind::Error);
    EXPECT_EQ(sink.messages[0].text, "Cannot read driver file. File does not exist.");
    EXPECT_FALSE(g.DriverReader.IsOpen());
    g.PrevDriverTime = g.NextDriverTime = 0;
    EXPECT_THROW(GetDrivers(g, g.Drivers, 0), EInOutError);
    CloseDriverFile(g);  // closing nothing is harmless

    // A path that exists but cannot be read as a file leaves nothing open.
    EXPECT_THROW(OpenDriverFile(g, dir.string(), g.ModelDef.numdrive, g.Drivers, false),
                 EInOutError);
    EXPECT_FALSE(g.DriverReader.IsOpen());
}

TEST_F(DriverFile, BadFieldLeavesReaderStateAsItWas) {
    OpenRows(Row(0, 10) + Row(1, 20) + "2 30 2 3 x 5 6 7 8\r\n" + Row(3, 40));
    EXPECT_EQ(At(0.5), 10);
    try {
        At(1.5);
        FAIL();
    } catch (const EInputError& e) {
        EXPECT_EQ(e.Message(), "Invalid numeric input");
    }
    // The bad row stored nothing: the row read before it is still the next one.
    EXPECT_EQ(g.NextDriverTime, 1);
    EXPECT_EQ(g.NextDrivers[1].value, 20);

    // Garbage bytes and a token longer than 64 characters fail the same way.
    OpenRows(std::string("0 1 2 \x80\x81\x82 4 5 6 7 8\r\n"));
    EXPECT_THROW(At(0), EInputError);
    OpenRows("0 1 2 " + std::string(100, '9') + " 4 5 6 7 8\r\n");
    EXPECT_THROW(At(0), EInputError);
}

TEST_F(DriverFile, RowCutShortAtEndReadsZeros) {
    OpenRows("0 1 2 3");
    EXPECT_EQ(At(0), 1);
    EXPECT_EQ(g.Drivers[3].value, 3);
    EXPECT_EQ(g.Drivers[4].value, 0);
}
