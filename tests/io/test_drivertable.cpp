// The driver table and its cursor against the shared driver reader: for
// every file and every time asked, the same values to the last bit.
#include <bit>
#include <cstdint>
#include <vector>

#include "io/drivertable.h"
#include "io/fileio.h"
#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

const std::string Header = "h1\r\nh2\r\n";

class DriverTable : public TFileTest {
protected:
    // Steps the reader and a cursor through the same requests and compares
    // all ten slots of the target after each one.
    void ExpectSameAsReader(const std::string& path, const std::vector<double>& times) {
        const TDriverTable table = TDriverTable::Read(path, g.ModelDef.numdrive);
        TDriverCursor cursor(table, g.NextDrivers);
        cursor.Restart();
        drivearray fromTable = g.Drivers;
        OpenDriverFile(g, path, g.ModelDef.numdrive, g.Drivers, false);
        g.PrevDriverTime = g.NextDriverTime = 0;
        for (double t : times) {
            GetDrivers(g, g.Drivers, t);
            cursor.Get(fromTable, t);
            for (int i = 1; i <= MaxDrivers; ++i) {
                ASSERT_EQ(std::bit_cast<uint64_t>(g.Drivers[i].value),
                          std::bit_cast<uint64_t>(fromTable[i].value))
                    << path << " at t=" << t << ", driver " << i;
            }
        }
        CloseDriverFile(g);
    }

    std::string File(const std::string& name, const std::string& rows) {
        WriteAll(dir / name, Header + rows);
        return PathOf(name);
    }
};

std::vector<double> Times(double stop, double step) {
    std::vector<double> t;
    for (double x = 0; x <= stop; x += step) t.push_back(x);
    return t;
}

}  // namespace

TEST_F(DriverTable, ExampleFilesStepLikeTheReader) {
    for (const char* name : {"temperate.drr", "temperate-co2.drr", "boreal.drr"}) {
        const std::string path = std::string(ORVANE_SOURCE_DIR) + "/examples/" + name;
        ExpectSameAsReader(path, Times(250, 0.25));
        ExpectSameAsReader(path, Times(250, 1.0 / 3.0));
    }
}

TEST_F(DriverTable, EdgeFilesStepLikeTheReader) {
    const std::string r8 = " 2 3 4 5 6 7 8\r\n";
    const std::vector<std::string> files = {
        // stepwise, interpolated, a first row after the start, mixed
        "0 10" + r8 + "1 20" + r8 + "3 40" + r8,
        "0 10" + r8 + "-1 20" + r8 + "-4 50" + r8 + "6 60" + r8 + "-7.5 0" + r8,
        "5 10" + r8 + "-8 20" + r8,
        // an all-zero row alone, one in the middle, blank lines at the end
        "0 0 0 0 0 0 0 0 0\r\n1 5" + r8,
        "0 10" + r8 + "0 0 0 0 0 0 0 0 0\r\n2 20" + r8,
        "0 10" + r8 + "-2 20" + r8 + "\r\n\r\n   \r\n",
        // wide columns, tabs, a short row continued on the next line, a row
        // cut off by the end of the file (its missing numbers read as 0)
        "0                    2.5                  3   4 5 6 7 8 9\r\n",
        "0\t10\t2\t3\t4\r\n5 6 7 8\r\n-2 20" + r8,
        "0 10" + r8 + "-3 20 1 2",
        // repeated times and a time of -0
        "0 10" + r8 + "1 20" + r8 + "1 30" + r8 + "-0 40" + r8 + "-2 50" + r8,
        "",
    };
    int n = 0;
    for (const std::string& rows : files) {
        // Built in steps: GCC 12 warns falsely about "literal" + std::string.
        std::string name = "e";
        name += std::to_string(n++);
        name += ".drr";
        ExpectSameAsReader(File(name, rows),
                           {0, 0, 0.5, 1, 1, 1.5, 2, 2.75, 3, 4, 5, 5.5, 7, 7.5, 8, 100});
    }
}

TEST_F(DriverTable, CursorRestartsAndScaledColumns) {
    const std::string path = File("s.drr", "0 10 2 3 4 5 6 7 8\r\n-2 20 2 3 4 5 6 7 8\r\n");
    TDriverTable table = TDriverTable::Read(path, g.ModelDef.numdrive);
    ASSERT_EQ(table.Rows().size(), 2u);
    table.ScaleColumn(1, 2.0);
    table.OffsetColumn(2, -1.0);
    TDriverCursor cursor(table, g.NextDrivers);
    drivearray d = g.Drivers;
    for (int pass = 0; pass < 2; ++pass) {
        cursor.Restart();
        cursor.Get(d, 0);
        EXPECT_EQ(d[1].value, 20);
        EXPECT_EQ(d[2].value, 1);
        cursor.Get(d, 1);
        EXPECT_EQ(d[1].value, 30);
        cursor.Get(d, 9);
        EXPECT_EQ(d[1].value, 40);
    }
    EXPECT_EQ(d[3].name, g.Drivers[3].name);
}

TEST_F(DriverTable, BadFieldNamesRowAndFile) {
    const std::string path = File("bad.drr", "0 1 2 3 4 5 6 7 8\r\n1 2 x 4 5 6 7 8 9\r\n");
    try {
        TDriverTable::Read(path, g.ModelDef.numdrive);
        FAIL() << "no error";
    } catch (const EInputError& e) {
        EXPECT_EQ(e.Message(), "Invalid numeric input in data row 2 of driver file \"" + path + "\"");
    }
    EXPECT_THROW(TDriverTable::Read(PathOf("missing.drr"), 8), EInOutError);
}
