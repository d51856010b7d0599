#include "obs/variables.h"

#include <algorithm>
#include <cctype>

namespace orvane {

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + cost});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace

const char* KindName(TVariableKind kind) {
    switch (kind) {
        case TVariableKind::Driver: return "driver";
        case TVariableKind::State: return "state";
        case TVariableKind::Process: return "process";
    }
    return "";
}

TVariableCatalogue::TVariableCatalogue(const TGlobals& g) {
    const TModelDef& d = g.ModelDef;
    int column = 1;
    for (int i = 1; i <= d.numdrive; ++i) {
        const auto& v = g.Drivers[i];
        vars_.push_back({TVariableKind::Driver, v.symbol, v.name, v.units, column++});
    }
    for (int i = 1; i <= d.numstate; ++i) {
        const auto& v = g.States[i];
        vars_.push_back({TVariableKind::State, v.symbol, v.name, v.units, column++});
    }
    for (int i = 1; i <= d.numprocess; ++i) {
        const auto& v = g.Processes[i];
        vars_.push_back({TVariableKind::Process, v.symbol, v.name, v.units, column++});
    }
}

std::vector<const TVariableInfo*> TVariableCatalogue::Find(std::string_view text) const {
    std::vector<const TVariableInfo*> found;
    for (const auto& v : vars_) {
        if (v.symbol == text || v.name == text) found.push_back(&v);
    }
    if (!found.empty()) return found;
    for (const auto& v : vars_) {
        if (SameIgnoringCase(v.symbol, text) || SameIgnoringCase(v.name, text)) found.push_back(&v);
    }
    return found;
}

std::vector<std::string> TVariableCatalogue::Closest(std::string_view text, std::size_t count) const {
    struct TCandidate {
        std::size_t distance;
        std::string_view text;
    };
    std::vector<TCandidate> all;
    for (const auto& v : vars_) {
        all.push_back({EditDistance(text, v.symbol), v.symbol});
        all.push_back({EditDistance(text, v.name), v.name});
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const TCandidate& a, const TCandidate& b) { return a.distance < b.distance; });
    std::vector<std::string> out;
    for (const auto& c : all) {
        if (out.size() == count) break;
        if (std::find(out.begin(), out.end(), c.text) == out.end()) out.emplace_back(c.text);
    }
    return out;
}

}  // namespace orvane
