// The parameter file: a header naming the model and version, one fixed-column
// line per state and per parameter, and the residual line.
#include <algorithm>
#include <string>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "io/textfile.h"
#include "model/errors.h"

namespace orvane {

namespace {

constexpr std::size_t TextWidth = 20;
constexpr const char* ResidualTitle = "Total Residual";

std::string WithoutBlanks(std::string_view s) {
    std::string out;
    for (const char c : s)
        if (c != ' ') out.push_back(c);
    return out;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
        return up(x) == up(y);
    });
}

void AppendValueLine(std::string& out, std::string_view name, double value,
                     std::string_view units) {
    char field[FormatBufferSize];
    out += PadRight(name, TextWidth);
    out.append(field, FormatParamFieldTo(field, value));
    out += ' ';
    out += PadRight(units, TextWidth);
    out += "\r\n";
}

// The value field of one line: the name column is skipped by position, the
// units column likewise, and the rest of the line ignored.
double ReadValueLine(TTextReader& r) {
    r.SkipChars(TextWidth);
    const double v = r.ReadNumber();
    r.SkipChars(TextWidth);
    r.SkipLine();
    return v;
}

}  // namespace

void WriteParamFile(TGlobals& g, const std::string& path, int numparam, const paramarray& params,
                    int numstate, const statearray& states, double residual) {
    numstate = std::clamp(numstate, 0, MaxStates);
    numparam = std::clamp(numparam, 0, MaxParams);

    std::string text;
    text.reserve(static_cast<std::size_t>(numstate + numparam + 2) * 70);
    text += PadRight(g.ModelDef.modelname, TextWidth);
    text += ' ';
    text += PadRight(g.ModelDef.versionnumber, TextWidth);
    text += "\r\n";
    for (int i = 1; i <= numstate; ++i)
        AppendValueLine(text, states[i].name, states[i].value, states[i].units);
    for (int j = 1; j <= numparam; ++j)
        AppendValueLine(text, params[j].name, params[j].value, params[j].units);
    char field[FormatBufferSize];
    text += PadRight(ResidualTitle, TextWidth);
    text.append(field, FormatParamFieldTo(field, residual));
    text += "\r\n";

    // Written beside the target and put in its place only when complete, so
    // a full disk or a refused write never costs the user the previous file.
    TTextWriter w;
    w.CreateReplacing(path);
    w.Write(text);
    w.Close();
    g.ParamsChanged = false;
}

bool ReadParamFile(TGlobals& g, const std::string& path, int numparam, paramarray& params,
                   int numstate, statearray& states, double& residual) {
    numstate = std::clamp(numstate, 0, MaxStates);
    numparam = std::clamp(numparam, 0, MaxParams);

    TTextReader r;
    r.Open(path);
    g.ParamsChanged = false;

    const std::string header(r.ReadLine());
    const std::string_view head(header);
    std::string version = "Unknown";
    if (SameTextNoCase(WithoutBlanks(head.substr(0, 21)), WithoutBlanks(g.ModelDef.modelname))) {
        std::string_view rest = head.size() > 21 ? head.substr(21) : std::string_view();
        version = std::string(rest.substr(0, rest.find(' ')));
    }
    if (version != g.ModelDef.versionnumber) {
        r.Close();
        ShowMessage(g, TMsgKind::Error, MsgParamFileIncompatible);
        return false;
    }

    // Values go straight into the arrays: if a field is not a number, those
    // read before it stay stored.
    for (int i = 1; i <= numstate; ++i) states[i].value = ReadValueLine(r);
    for (int j = 1; j <= numparam; ++j) params[j].value = ReadValueLine(r);
    r.SkipChars(TextWidth);
    residual = r.ReadNumber();
    r.SkipLine();
    r.Close();
    return true;
}

}  // namespace orvane
