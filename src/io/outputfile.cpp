// The output file: two header lines, then one row per output step with the
// time, every driver, every state and every process in 21-character columns.
#include <algorithm>
#include <cstring>
#include <string>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/errors.h"

namespace orvane {

namespace {

constexpr std::size_t FieldWidth = 20;

void AppendHeading(std::string& line, std::string_view text) {
    line += PadLeft(text, FieldWidth);
    line += ' ';
}

// Numbers are right-justified but never cut: a number wider than its field
// (a general-format time can reach 22 characters) is written whole, since
// readers take tokens, not columns. `out` is blank already and has room for
// FormatBufferSize + 1 characters; returns the end of what was written.
char* PutNumber(char* out, const char* text, std::size_t n) {
    if (n < FieldWidth) out += FieldWidth - n;
    std::memcpy(out, text, n);
    return out + n + 1;
}

}  // namespace

void OpenOutputFile(TGlobals& g, const std::string& path, int numstate, const statearray& states,
                    bool create, const processarray& processes, int numprocess) {
    TTextWriter::CloseHandles(g.OutputReader, g.OutputWriter);
    if (!create) {
        g.OutputReader.Open(path, 2);  // past the two header lines
        return;
    }
    const int numdrive = std::clamp(g.ModelDef.numdrive, 0, MaxDrivers);
    numstate = std::clamp(numstate, 0, MaxStates);
    numprocess = std::clamp(numprocess, 0, MaxProcesses);
    std::string header;
    header.reserve(static_cast<std::size_t>(2 + numdrive + numstate + numprocess) * 2 *
                   (FieldWidth + 1));
    AppendHeading(header, "Time");
    for (int i = 1; i <= numdrive; ++i) AppendHeading(header, g.Drivers[i].name);
    for (int i = 1; i <= numstate; ++i) AppendHeading(header, states[i].name);
    for (int i = 1; i <= numprocess; ++i) AppendHeading(header, processes[i].name);
    header += "\r\n";
    AppendHeading(header, g.ModelDef.timeunit);
    for (int i = 1; i <= numdrive; ++i) AppendHeading(header, g.Drivers[i].units);
    for (int i = 1; i <= numstate; ++i) AppendHeading(header, states[i].units);
    for (int i = 1; i <= numprocess; ++i) AppendHeading(header, processes[i].units);
    header += "\r\n";
    g.OutputWriter.Create(path);
    g.OutputWriter.Write(header);
}

void WriteOutputRow(TGlobals& g, int numstate, const statearray& states, int numprocess,
                    const processarray& processes, double time) {
    const int numdrive = std::clamp(g.ModelDef.numdrive, 0, MaxDrivers);
    numstate = std::clamp(numstate, 0, MaxStates);
    numprocess = std::clamp(numprocess, 0, MaxProcesses);
    // ~150 numbers a row: formatted into one blank buffer sized for the
    // widest fields, written once.
    const std::size_t fields = static_cast<std::size_t>(1 + numdrive + numstate + numprocess);
    std::string line(fields * (FormatBufferSize + 1) + 2, ' ');
    char* p = line.data();
    char field[FormatBufferSize];
    p = PutNumber(p, field, FormatGeneralTo(field, time, 15));
    for (int i = 1; i <= numdrive; ++i)
        p = PutNumber(p, field, FormatSci13To(field, g.Drivers[i].value));
    for (int i = 1; i <= numstate; ++i)
        p = PutNumber(p, field, FormatSci13To(field, states[i].value));
    for (int i = 1; i <= numprocess; ++i)
        p = PutNumber(p, field, FormatSci13To(field, processes[i].value));
    *p++ = '\r';
    *p++ = '\n';
    g.OutputWriter.Write(std::string_view(line.data(), static_cast<std::size_t>(p - line.data())));
}

bool ReadOutputRow(TGlobals& g, double& time, drivearray& drivers, statearray& states,
                   int numstate, processarray& processes, int numprocess) {
    TTextReader& r = g.OutputReader;
    if (!r.IsOpen()) throw EInOutError("Cannot read the output file: no output file is open.");
    // Trailing blank lines are not rows: treating them as one would add a
    // row of zeros to every display of a hand-edited file.
    if (r.SeekEof()) return false;
    const int numdrive = std::clamp(g.ModelDef.numdrive, 0, MaxDrivers);
    numstate = std::clamp(numstate, 0, MaxStates);
    numprocess = std::clamp(numprocess, 0, MaxProcesses);
    time = r.ReadNumber();
    for (int i = 1; i <= numdrive; ++i) drivers[i].value = r.ReadNumber();
    for (int i = 1; i <= numstate; ++i) states[i].value = r.ReadNumber();
    for (int i = 1; i <= numprocess; ++i) processes[i].value = r.ReadNumber();
    r.SkipLine();
    return true;
}

void CloseOutputFile(TGlobals& g) {
    g.OutputReader.Close();
    g.OutputWriter.Close();
}

}  // namespace orvane
