// The driver file: two header lines, then rows of a time and one value per
// driver. The shared reader keeps the row in force (PrevDrivers) and the row
// after it (NextDrivers); a negative time marks interpolation towards a row.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "io/driversteps.h"
#include "io/drivertable.h"
#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/errors.h"

namespace orvane {

namespace {

constexpr std::size_t TextWidth = 20;

int DriverCount(int n) { return std::clamp(n, 0, MaxDrivers); }

void AppendColumn(std::string& line, std::string_view text) {
    line += PadRight(text, TextWidth);
    line += ' ';
}

}  // namespace

void OpenDriverFile(TGlobals& g, const std::string& path, int numdrive, const drivearray& drivers,
                    bool create) {
    TTextWriter::CloseHandles(g.DriverReader, g.DriverWriter);
    numdrive = DriverCount(numdrive);
    if (!create) {
        std::error_code ec;
        if (path.empty() || !std::filesystem::exists(path, ec)) {
            ShowMessage(g, TMsgKind::Error, MsgDriverFileMissing);
            return;
        }
        g.DriverReader.Open(path, 2);  // past the two header lines
        return;
    }
    std::string header;
    AppendColumn(header, "Time");
    for (int i = 1; i <= numdrive; ++i) AppendColumn(header, drivers[i].name);
    header += "\r\n";
    AppendColumn(header, g.ModelDef.timeunit);
    for (int i = 1; i <= numdrive; ++i) AppendColumn(header, drivers[i].units);
    header += "\r\n";
    g.DriverWriter.Create(path);
    g.DriverWriter.Write(header);
}

bool ReadDriverRecord(TTextReader& r, int numdrive, double& time, double* values) {
    numdrive = DriverCount(numdrive);
    if (r.Eof()) return false;
    // Read the whole row first, so that a bad field leaves the caller's
    // values as they were.
    const double t = r.ReadNumber();
    double read[MaxDrivers + 1];
    bool allZero = t == 0;
    for (int i = 1; i <= numdrive; ++i) {
        read[i] = r.ReadNumber();
        allZero = allZero && read[i] == 0;
    }
    r.SkipLine();
    if (allZero) {
        // An all-zero row ends the data: nothing after it is ever read.
        r.SkipToEnd();
        return false;
    }
    time = t;
    for (int i = 1; i <= numdrive; ++i) values[i] = read[i];
    return true;
}

bool ReadDriverRow(TGlobals& g, double& time, int numdrive, drivearray& drivers) {
    TTextReader& r = g.DriverReader;
    if (!r.IsOpen()) throw EInOutError("Cannot read the driver file: no driver file is open.");
    numdrive = DriverCount(numdrive);
    double values[MaxDrivers + 1];
    if (!ReadDriverRecord(r, numdrive, time, values)) return false;
    for (int i = 1; i <= numdrive; ++i) drivers[i].value = values[i];
    return true;
}

void GetDrivers(TGlobals& g, drivearray& target, double t) {
    const int numdrive = DriverCount(g.ModelDef.numdrive);
    StepDrivers({g.PrevDriverTime, g.NextDriverTime, g.PrevDrivers, g.NextDrivers}, target, t,
                numdrive, [&](double& time, drivearray& row) {
                    return ReadDriverRow(g, time, numdrive, row);
                });
}

void WriteDriverRow(TGlobals& g, double time, int numdrive, const drivearray& drivers) {
    numdrive = DriverCount(numdrive);
    std::string line;
    line.reserve(static_cast<std::size_t>(numdrive + 1) * (TextWidth + 1) + 2);
    char field[FormatBufferSize];
    const auto column = [&](double v) {
        const std::size_t n = FormatSci13To(field, v);
        line.append(field, n);
        if (n < TextWidth) line.append(TextWidth - n, ' ');
        line += ' ';
    };
    column(time);
    for (int i = 1; i <= numdrive; ++i) column(drivers[i].value);
    line += "\r\n";
    g.DriverWriter.Write(line);
}

void CloseDriverFile(TGlobals& g) {
    g.DriverReader.Close();
    g.DriverWriter.Close();
}

}  // namespace orvane
