#include "calc/calc_fields.h"

#include "io/numfmt.h"
#include "model/errors.h"

namespace orvane::calcfields {

std::string FieldName(char kind, const char* symbol) {
    const char* prefix = kind == 's' ? "MeState" : kind == 'd' ? "MeDrive" : kind == 'p' ? "MePar_" : "Me";
    return std::string(prefix) + symbol;
}

bool IsInputField(char kind, const char* symbol) {
    const std::string name = FieldName(kind, symbol);
    for (std::span<const char* const> group : InputOrder)
        for (const char* n : group)
            if (name == n) return true;
    return false;
}

bool ShownValueValid(double v) {
    try {
        return IsValidValue(StrToFloat(FormatGeneral(v, 6)));
    } catch (const EConvertError&) {
        return false;  // not a number, or not finite
    }
}

std::vector<TBoundField> BindFields(const TGlobals& g) {
    std::vector<TBoundField> fields;
    for (const TCalcGroupSpec* group : Groups) {
        for (auto column : {group->left, group->right}) {
            for (const TCalcFieldSpec& f : column) {
                const TVarKind kind = KindOf(f.kind);
                fields.push_back({kind, GetArrayIndex(g, kind, f.symbol)});
            }
        }
    }
    return fields;
}

int CountInvalidShown(const TSteadyStateCalc& calc, const std::vector<TBoundField>& fields) {
    int invalid = 0;
    for (const TBoundField& f : fields)
        if (!ShownValueValid(calc.ShownValue(f.kind, f.index))) ++invalid;
    return invalid;
}

}  // namespace orvane::calcfields
