#include "obs/obsfile.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "io/numfmt.h"

namespace orvane {

namespace {

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsMissing(std::string_view text) { return text.empty() || text == "NA"; }

class TObsBuilder {
public:
    TObsBuilder(std::string_view file, const TVariableCatalogue& catalogue)
        : file_(file), catalogue_(catalogue) {}

    // The observed variable a header cell or a long-layout cell names.
    std::size_t Variable(const TCsvLine& line, const TCsvCell& cell) {
        const auto found = catalogue_.Find(cell.text);
        if (found.empty()) {
            std::string what = "unknown variable '" + cell.text + "'";
            const auto near = catalogue_.Closest(cell.text);
            if (!near.empty()) {
                what += " (closest:";
                for (std::size_t i = 0; i < near.size(); ++i) what += (i ? ", '" : " '") + near[i] + "'";
                what += ")";
            }
            RaiseAt(file_, line.line, cell.column, what);
        }
        if (found.size() > 1) {
            std::string what = "'" + cell.text + "' names more than one variable:";
            for (std::size_t i = 0; i < found.size(); ++i) {
                what += (i ? ", " : " ") + std::string(KindName(found[i]->kind)) + " '" +
                        std::string(found[i]->name) + "'";
            }
            what += "; use the name";
            RaiseAt(file_, line.line, cell.column, what);
        }
        const int column = found.front()->column;
        auto it = index_.find(column);
        if (it != index_.end()) return it->second;
        index_[column] = result_.variables.size();
        result_.variables.push_back({*found.front(), {}});
        return result_.variables.size() - 1;
    }

    // A number cell; `what` says what it should be in the message.
    double Number(const TCsvLine& line, const TCsvCell& cell, const char* what) {
        double v = 0;
        if (!ParseFileNumber(cell.text, v) || !std::isfinite(v)) {
            RaiseAt(file_, line.line, cell.column,
                    std::string(what) + " '" + cell.text + "' is not a number");
        }
        return v;
    }

    double Sd(const TCsvLine& line, const TCsvCell& cell) {
        const double sd = Number(line, cell, "the standard deviation");
        if (!(sd > 0)) {
            RaiseAt(file_, line.line, cell.column,
                    "the standard deviation '" + cell.text + "' is not greater than 0");
        }
        return sd;
    }

    void Add(std::size_t var, const TCsvLine& line, const TCsvCell& timeCell, double time,
             double value, double sd) {
        auto& seen = times_[var];
        const auto [it, fresh] = seen.emplace(time, line.line);
        if (!fresh) {
            RaiseAt(file_, line.line, timeCell.column,
                    "time " + timeCell.text + " is given twice for '" +
                        std::string(result_.variables[var].var.symbol) + "' (first on line " +
                        std::to_string(it->second) + ")");
        }
        result_.variables[var].points.push_back({time, value, sd, line.line});
    }

    TObservations Finish() {
        for (auto& v : result_.variables) {
            std::stable_sort(v.points.begin(), v.points.end(),
                             [](const TObservation& a, const TObservation& b) { return a.time < b.time; });
        }
        return std::move(result_);
    }

    TObservations& Result() { return result_; }

private:
    std::string_view file_;
    const TVariableCatalogue& catalogue_;
    TObservations result_;
    std::map<int, std::size_t> index_;                 // output column -> variable
    std::map<std::size_t, std::map<double, int>> times_;  // variable -> time -> line
};

const TCsvCell* CellAt(const TCsvLine& line, int i) {
    return i >= 0 && i < static_cast<int>(line.cells.size()) ? &line.cells[static_cast<std::size_t>(i)]
                                                             : nullptr;
}

void CheckWidth(const TCsvLine& line, std::size_t width, std::string_view file) {
    if (line.cells.size() > width) {
        RaiseAt(file, line.line, line.cells[width].column,
                "more cells than the header has columns (" + std::to_string(width) + ")");
    }
}

void ReadLong(const std::vector<TCsvLine>& lines, std::string_view file, TObsBuilder& b) {
    const TCsvLine& header = lines.front();
    int cVar = -1, cTime = -1, cValue = -1, cSd = -1;
    for (std::size_t i = 0; i < header.cells.size(); ++i) {
        const std::string h = Lowered(header.cells[i].text);
        int* slot = h == "variable" ? &cVar : h == "time" ? &cTime : h == "value" ? &cValue
                  : h == "sd" ? &cSd : nullptr;
        if (!slot) {
            RaiseAt(file, header.line, header.cells[i].column,
                    "unknown column '" + header.cells[i].text +
                        "' (a file of one observation per row has the columns variable, time, value "
                        "and sd)");
        }
        if (*slot >= 0) RaiseAt(file, header.line, header.cells[i].column, "column '" + h + "' given twice");
        *slot = static_cast<int>(i);
    }
    if (cTime < 0 || cValue < 0) {
        RaiseAt(file, header.line, 1, "the header needs the columns variable, time and value");
    }
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const TCsvLine& line = lines[k];
        CheckWidth(line, header.cells.size(), file);
        const TCsvCell* var = CellAt(line, cVar);
        const TCsvCell* time = CellAt(line, cTime);
        const TCsvCell* value = CellAt(line, cValue);
        const TCsvCell* sd = CellAt(line, cSd);
        if (!var || var->text.empty()) {
            RaiseAt(file, line.line, var ? var->column : 1, "the variable is missing");
        }
        const std::size_t v = b.Variable(line, *var);
        if (!time) RaiseAt(file, line.line, line.cells.back().column, "the time is missing");
        const double t = b.Number(line, *time, "the time");
        if (!value || IsMissing(value->text)) continue;
        const double y = b.Number(line, *value, "the value");
        const double s = sd && !IsMissing(sd->text) ? b.Sd(line, *sd) : NAN;
        b.Add(v, line, *time, t, y, s);
    }
}

void ReadWide(const std::vector<TCsvLine>& lines, std::string_view file, TObsBuilder& b) {
    const TCsvLine& header = lines.front();
    struct TColumn {
        std::size_t var = 0;
        bool isSd = false;
    };
    std::vector<TColumn> columns(header.cells.size());
    int cTime = -1;
    std::map<std::size_t, int> valueCol, sdCol;  // variable -> index of its column
    for (std::size_t i = 0; i < header.cells.size(); ++i) {
        const TCsvCell& cell = header.cells[i];
        if (Lowered(cell.text) == "time") {
            if (cTime >= 0) RaiseAt(file, header.line, cell.column, "column 'time' given twice");
            cTime = static_cast<int>(i);
            continue;
        }
        if (cell.text.empty()) RaiseAt(file, header.line, cell.column, "a column without a name");
        TCsvCell named = cell;
        bool isSd = false;
        const std::string low = Lowered(cell.text);
        if (low.size() > 3 && low.compare(low.size() - 3, 3, "_sd") == 0) {
            named.text.resize(named.text.size() - 3);
            isSd = true;
        }
        const std::size_t v = b.Variable(header, named);
        auto& seen = isSd ? sdCol : valueCol;
        if (seen.count(v)) {
            RaiseAt(file, header.line, cell.column,
                    std::string(isSd ? "a second standard deviation column" : "a second column") +
                        " for '" + std::string(b.Result().variables[v].var.symbol) + "' (first in column " +
                        std::to_string(header.cells[static_cast<std::size_t>(seen[v])].column) + ")");
        }
        seen[v] = static_cast<int>(i);
        columns[i] = {v, isSd};
    }
    if (cTime < 0) {
        RaiseAt(file, header.line, 1,
                "the header has no 'time' column (one observation per row needs the columns "
                "variable, time, value)");
    }
    for (const auto& [v, col] : sdCol) {
        if (!valueCol.count(v)) {
            RaiseAt(file, header.line, header.cells[static_cast<std::size_t>(col)].column,
                    "a standard deviation column without a column for '" +
                        std::string(b.Result().variables[v].var.symbol) + "'");
        }
    }
    std::vector<int> sdIndex(header.cells.size(), -1);
    for (const auto& [v, col] : valueCol) {
        if (sdCol.count(v)) sdIndex[static_cast<std::size_t>(col)] = sdCol[v];
    }
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const TCsvLine& line = lines[k];
        CheckWidth(line, header.cells.size(), file);
        const TCsvCell* time = CellAt(line, cTime);
        if (!time) RaiseAt(file, line.line, line.cells.back().column, "the time is missing");
        const double t = b.Number(line, *time, "the time");
        for (std::size_t i = 0; i < line.cells.size(); ++i) {
            if (static_cast<int>(i) == cTime) continue;
            const TCsvCell& cell = line.cells[i];
            if (columns[i].isSd) {
                if (!IsMissing(cell.text)) b.Sd(line, cell);  // checked even where the value is missing
                continue;
            }
            if (IsMissing(cell.text)) continue;
            const double y = b.Number(line, cell, "the value");
            const TCsvCell* sd = CellAt(line, sdIndex[i]);
            const double s = sd && !IsMissing(sd->text) ? b.Sd(line, *sd) : NAN;
            b.Add(columns[i].var, line, *time, t, y, s);
        }
    }
}

}  // namespace

bool TObservedVariable::HasSd() const {
    if (points.empty()) return false;
    for (const auto& p : points) {
        if (std::isnan(p.sd)) return false;
    }
    return true;
}

TObservations ObservationsFromLines(const std::vector<TCsvLine>& lines, std::string_view file,
                                    const TVariableCatalogue& catalogue) {
    if (lines.empty()) RaiseAt(file, 1, 1, "the file has no header row");
    TObsBuilder b(file, catalogue);
    b.Result().path = std::string(file);
    bool hasVariable = false, hasValue = false;
    for (const auto& c : lines.front().cells) {
        const std::string h = Lowered(c.text);
        hasVariable = hasVariable || h == "variable";
        hasValue = hasValue || h == "value";
    }
    if (hasVariable && hasValue) ReadLong(lines, file, b);
    else ReadWide(lines, file, b);
    return b.Finish();
}

TObservations ParseObservations(std::string_view text, std::string_view file,
                                const TVariableCatalogue& catalogue) {
    return ObservationsFromLines(ParseCsvText(text, file), file, catalogue);
}

TObservations ReadObservationFile(const std::string& path, const TVariableCatalogue& catalogue) {
    return ObservationsFromLines(ReadCsvFile(path), path, catalogue);
}

}  // namespace orvane
