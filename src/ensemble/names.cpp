#include "ensemble/names.h"

#include <algorithm>
#include <cctype>

#include "calc/calc_fields.h"

namespace orvane::ensemble {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& name,
                                      const std::vector<std::string>& candidates) {
    const std::string lname = Lower(name);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& c : candidates) {
        const std::string lc = Lower(c);
        // In half steps: the same letters in another case, then one name
        // inside the other, are the likeliest slips.
        std::size_t d = 2 * EditDistance(lname, lc);
        if (lc == lname) d = 0;
        else if (lname.size() >= 2 && (lc.find(lname) != std::string::npos || lname.find(lc) != std::string::npos)) d = std::min<std::size_t>(d, 1);
        if (d <= 2 * std::max<std::size_t>(2, name.size() / 2)) scored.emplace_back(d, c);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> out;
    for (const auto& [d, c] : scored) {
        if (out.size() == 3) break;
        if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
    }
    return out;
}

TVarKind CatalogueKind(TFactorKind k) {
    switch (k) {
        case TFactorKind::State: return KindState;
        case TFactorKind::Parameter: return KindParam;
        case TFactorKind::Driver: return KindDriver;
        case TFactorKind::Process: return KindProcess;
    }
    return KindParam;
}

int FactorIndex(const TGlobals& g, TFactorKind kind, const std::string& symbol) {
    return GetArrayIndex(g, CatalogueKind(kind), symbol);
}

std::vector<std::string> SymbolsOfKind(const TGlobals& g, TVarKind kind) {
    std::vector<std::string> out;
    const TModelDef& m = g.ModelDef;
    switch (kind) {
        case KindDriver:
            for (int i = 1; i <= m.numdrive; ++i) out.emplace_back(g.Drivers[i].symbol);
            break;
        case KindState:
            for (int i = 1; i <= m.numstate; ++i) out.emplace_back(g.States[i].symbol);
            break;
        case KindParam:
            for (int i = 1; i <= m.numparam; ++i) out.emplace_back(g.Params[i].symbol);
            break;
        case KindProcess:
            for (int i = m.numstate + 1; i <= m.numprocess; ++i) out.emplace_back(g.Processes[i].symbol);
            break;
        default: break;
    }
    return out;
}

std::vector<std::string> KindsOfSymbol(const TGlobals& g, const std::string& symbol) {
    std::vector<std::string> kinds;
    const std::pair<TVarKind, const char*> all[] = {
        {KindState, "state"}, {KindParam, "parameter"}, {KindDriver, "driver"}, {KindProcess, "process"}};
    for (const auto& [k, name] : all)
        if (GetArrayIndex(g, k, symbol) != 0) kinds.emplace_back(name);
    return kinds;
}

std::string ProcessEntries() {
    std::string list;
    for (const auto* group : calcfields::Groups)
        for (auto column : {group->left, group->right})
            for (const auto& f : column)
                if (f.kind == 'r' && calcfields::IsInputField(f.kind, f.symbol))
                    list += (list.empty() ? "" : ", ") + std::string(f.symbol);
    return list;
}

bool IsDerivedBySteadyState(char kind, const std::string& symbol) {
    for (const auto* group : calcfields::Groups)
        for (auto column : {group->left, group->right})
            for (const auto& f : column)
                if (f.kind == kind && symbol == f.symbol) return !calcfields::IsInputField(f.kind, f.symbol);
    return false;
}

const char* RowPartName(TRowPart part) {
    switch (part) {
        case TRowPart::Driver: return "driver";
        case TRowPart::State: return "state";
        case TRowPart::Process: return "process";
    }
    return "?";
}

std::vector<TRowVariable> FindOutputSymbol(const TGlobals& g, const std::string& symbol) {
    std::vector<TRowVariable> found;
    const TModelDef& m = g.ModelDef;
    for (int i = 1; i <= m.numdrive; ++i)
        if (g.Drivers[i].symbol == symbol) found.push_back({TRowPart::Driver, i});
    for (int i = 1; i <= m.numstate; ++i)
        if (g.States[i].symbol == symbol) found.push_back({TRowPart::State, i});
    for (int i = 1; i <= m.numprocess; ++i)
        if (g.Processes[i].symbol == symbol) found.push_back({TRowPart::Process, i});
    return found;
}

std::vector<std::string> OutputSymbols(const TGlobals& g) {
    std::vector<std::string> out;
    const TModelDef& m = g.ModelDef;
    for (int i = 1; i <= m.numdrive; ++i) out.emplace_back(g.Drivers[i].symbol);
    for (int i = 1; i <= m.numstate; ++i) out.emplace_back(g.States[i].symbol);
    for (int i = 1; i <= m.numprocess; ++i) out.emplace_back(g.Processes[i].symbol);
    return out;
}

void DescribeOutput(const TGlobals& g, TOutputVariable& out) {
    const int i = out.var.index;
    switch (out.var.part) {
        case TRowPart::Driver:
            out.units = g.Drivers[i].units;
            out.longName = g.Drivers[i].name;
            break;
        case TRowPart::State:
            out.units = g.States[i].units;
            out.longName = g.States[i].name;
            break;
        case TRowPart::Process:
            out.units = g.Processes[i].units;
            out.longName = g.Processes[i].name;
            break;
    }
}

}  // namespace orvane::ensemble
