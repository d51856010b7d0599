// The steady-state window's fields: 17 groups of 158 value fields, each
// bound to one variable by kind and symbol, and which of them take entries.
// Shared by the window, which lays them out, and by analyses that drive the
// calculator as the window does and check what it would show.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "calc/calculate.h"

namespace orvane::calcfields {

// 's' state, 'd' driver, 'p' parameter, 'r' process (a rate, flux or stock).
struct TCalcFieldSpec {
    char kind;
    const char* symbol;
};

struct TCalcGroupSpec {
    const char* name;
    const char* caption;
    std::span<const TCalcFieldSpec> left;
    std::span<const TCalcFieldSpec> right;  // empty: a one-column group
};

// The fields of each group. A wide group holds its entries in the left
// column and its results in the right one.
inline constexpr TCalcFieldSpec GbStateLeft[] = {
    {'s', "Cf"}, {'s', "Nf"}, {'s', "Cw"}, {'s', "Nw"}, {'s', "Cr"}, {'s', "Nr"}, {'s', "Clf"},
    {'s', "Nlf"}, {'s', "Clw"}, {'s', "Nlw"}, {'s', "Clr"}, {'s', "Nlr"}, {'s', "Nh"},
    {'s', "Nnh4"}};
inline constexpr TCalcFieldSpec GbStateRight[] = {
    {'s', "Cs"}, {'s', "Ce"}, {'s', "Ci"}, {'s', "Ch"}, {'s', "Na"}};
inline constexpr TCalcFieldSpec GbDriverLeft[] = {
    {'d', "Ca"}, {'d', "Tamax"}, {'d', "Tamin"}, {'d', "I"}, {'d', "Ppt"}, {'d', "Dnh4"},
    {'d', "Sp"}, {'d', "Ss"}};
inline constexpr TCalcFieldSpec GbGPPLeft[] = {
    {'r', "Ps"}, {'p', "daymid"}, {'p', "mf"}, {'p', "Deltad"}, {'p', "kappaL"}, {'p', "Ww"},
    {'p', "Wf"}, {'p', "Psiw"}, {'p', "Psif"}, {'p', "Sc"}};
inline constexpr TCalcFieldSpec GbNUptakeLeft[] = {
    {'p', "qu0"}, {'p', "knh4"}, {'r', "Unh4"}, {'p', "Unh4max"}};
inline constexpr TCalcFieldSpec GbTranslocationLeft[] = {
    {'p', "aTau"}, {'r', "tauN"}};
inline constexpr TCalcFieldSpec GbNPPLeft[] = {
    {'r', "NPPf"}, {'r', "NPPw"}, {'r', "NPPr"}, {'p', "sigmaF"}, {'p', "sigmaW"},
    {'p', "sigmaR"}};
inline constexpr TCalcFieldSpec GbNPPRight[] = {
    {'r', "NPPt"}, {'r', "lambdaCFT"}, {'r', "lambdaNFT"}, {'r', "lambdaCWT"}, {'r', "lambdaNWT"},
    {'r', "lambdaCRT"}, {'r', "lambdaNRT"}, {'p', "AlambdaF"}, {'p', "AlambdaW"},
    {'p', "AlambdaR"}};
inline constexpr TCalcFieldSpec GbSapwoodLeft[] = {
    {'p', "h1"}, {'p', "h2"}, {'r', "Csw"}};
inline constexpr TCalcFieldSpec GbPRespLeft[] = {
    {'p', "rg"}, {'p', "aWR"}, {'r', "Rpt"}, {'p', "rm"}};
inline constexpr TCalcFieldSpec GbRespTempLeft[] = {
    {'p', "gammar"}, {'p', "Trmax"}, {'p', "Tropt"}, {'r', "Hr"}};
inline constexpr TCalcFieldSpec GbGrowthLeft[] = {
    {'p', "kGCF"}, {'p', "kGNF"}, {'p', "kGCW"}, {'p', "kGNW"}, {'p', "kGCR"}, {'p', "kGNR"},
    {'p', "aGCF"}, {'p', "aGNF"}, {'p', "aGCW"}, {'p', "aGNW"}, {'p', "aGCR"}, {'p', "aGNR"},
    {'p', "bGCF"}, {'p', "bGNF"}, {'p', "bGCW"}, {'p', "bGNW"}, {'p', "bGCR"}, {'p', "bGNR"}};
inline constexpr TCalcFieldSpec GbGrowthRight[] = {
    {'r', "Gcf"}, {'r', "Gnf"}, {'r', "Gcw"}, {'r', "Gnw"}, {'r', "Gcr"}, {'r', "Gnr"},
    {'p', "gCFm"}, {'p', "gNFm"}, {'p', "gCWm"}, {'p', "gNWm"}, {'p', "gCRm"}, {'p', "gNRm"}};
inline constexpr TCalcFieldSpec GbAllocationLeft[] = {
    {'p', "aTCW"}, {'p', "KCa"}, {'p', "KCb"}, {'p', "Kcf"}, {'p', "Kcw"}, {'p', "Kcr"},
    {'p', "aTNW"}, {'p', "KNa"}, {'p', "KNb"}, {'p', "Knf"}, {'p', "Knw"}, {'p', "Knr"}};
inline constexpr TCalcFieldSpec GbAllocationRight[] = {
    {'r', "Tcf"}, {'r', "Tcw"}, {'r', "Tcr"}, {'r', "Tnf"}, {'r', "Tnw"}, {'r', "Tnr"},
    {'p', "aTCF"}, {'p', "aTCR"}, {'p', "aTNF"}, {'p', "aTNR"}};
inline constexpr TCalcFieldSpec GbSoilPropertiesLeft[] = {
    {'r', "Cst"}, {'r', "Nst"}, {'p', "z"}, {'p', "rho"}};
inline constexpr TCalcFieldSpec GbImmobLeft[] = {
    {'p', "kIm"}, {'r', "FNia"}, {'p', "VImax"}, {'p', "qI"}};
inline constexpr TCalcFieldSpec GbSoilCLeft[] = {
    {'p', "Ase"}, {'p', "Aie"}, {'p', "Aei"}, {'p', "Aih"}};
inline constexpr TCalcFieldSpec GbSoilCRight[] = {
    {'r', "FCse"}, {'r', "FCie"}, {'r', "FNai"}, {'r', "FClambdaS"}, {'r', "FClambdaE"},
    {'r', "FCei"}, {'r', "FCih"}, {'r', "FNah"}, {'r', "FClambdaI"}};
inline constexpr TCalcFieldSpec GbSRespLeft[] = {
    {'p', "Q10d"}, {'p', "beta"}, {'r', "Rst"}, {'r', "Re"}, {'r', "Rh"}, {'r', "FNhi"},
    {'p', "Ah"}};
inline constexpr TCalcFieldSpec GbWaterLeachingLeft[] = {
    {'p', "p"}, {'p', "Ep"}, {'r', "Qw"}};
inline constexpr TCalcFieldSpec GbDissNH4Left[] = {
    {'p', "etanh4"}, {'r', "Nnh4aq"}, {'r', "Nnh4s"}, {'r', "Qnh4"}, {'p', "Nnh4mx"}};

inline constexpr TCalcGroupSpec GbState{"GbState", "State Variables", GbStateLeft, GbStateRight};
inline constexpr TCalcGroupSpec GbDriver{"GbDriver", "Driver Variables", GbDriverLeft, {}};
inline constexpr TCalcGroupSpec GbGPP{"GbGPP", "Photosynthesis", GbGPPLeft, {}};
inline constexpr TCalcGroupSpec GbNUptake{"GbNUptake", "Nitrogen Uptake", GbNUptakeLeft, {}};
inline constexpr TCalcGroupSpec GbTranslocation{"GbTranslocation", "Retranslocation",
                                          GbTranslocationLeft, {}};
inline constexpr TCalcGroupSpec GbNPP{"GbNPP", "NPP and Litterfall", GbNPPLeft, GbNPPRight};
inline constexpr TCalcGroupSpec GbSapwood{"GbSapwood", "Sapwood ", GbSapwoodLeft, {}};
inline constexpr TCalcGroupSpec GbPResp{"GbPResp", "Plant Respiration", GbPRespLeft, {}};
inline constexpr TCalcGroupSpec GbRespTemp{"GbRespTemp",
                                          "Plant Respiration Temperature Response Function",
                                          GbRespTempLeft, {}};
inline constexpr TCalcGroupSpec GbGrowth{"GbGrowth", "Growth Parameters",
                                          GbGrowthLeft, GbGrowthRight};
inline constexpr TCalcGroupSpec GbAllocation{"GbAllocation", "Allocation Parameters",
                                          GbAllocationLeft, GbAllocationRight};
inline constexpr TCalcGroupSpec GbSoilProperties{"GbSoilProperties", "Soil Properties",
                                          GbSoilPropertiesLeft, {}};
inline constexpr TCalcGroupSpec GbImmob{"GbImmob", "Immobilization", GbImmobLeft, {}};
inline constexpr TCalcGroupSpec GbSoilC{"GbSoilC", "Soil Organic Matter Transformations",
                                          GbSoilCLeft, GbSoilCRight};
inline constexpr TCalcGroupSpec GbSResp{"GbSResp", "Soil Respiration", GbSRespLeft, {}};
inline constexpr TCalcGroupSpec GbWaterLeaching{"GbWaterLeaching", "Water Leaching",
                                          GbWaterLeachingLeft, {}};
inline constexpr TCalcGroupSpec GbDissNH4{"GbDissNH4", "Dissolved NH4", GbDissNH4Left, {}};

// Every group, in the order they stand in the window's scrolling area.
inline constexpr const TCalcGroupSpec* Groups[] = {
    &GbState, &GbDriver, &GbGPP, &GbNUptake, &GbTranslocation, &GbNPP,
    &GbSapwood, &GbPResp, &GbRespTemp, &GbGrowth, &GbAllocation, &GbSoilProperties,
    &GbImmob, &GbSoilC, &GbSResp, &GbWaterLeaching, &GbDissNH4};

// The entries by field name, in keyboard order within their group; every
// other field shows a result.
inline constexpr const char* Inputs0[] = {
    "MeStateCf", "MeStateNf", "MeStateCw", "MeStateNw", "MeStateCr", "MeStateNr", "MeStateClf",
    "MeStateNlf", "MeStateClw", "MeStateNlw", "MeStateClr", "MeStateNlr", "MeStateNh",
    "MeStateNnh4"};
inline constexpr const char* Inputs1[] = {
    "MePs", "MePar_daymid", "MePar_mf", "MePar_Deltad", "MePar_kappaL", "MePar_Ww", "MePar_Wf",
    "MePar_Psiw", "MePar_Psif"};
inline constexpr const char* Inputs2[] = {
    "MePar_qu0", "MePar_knh4"};
inline constexpr const char* Inputs3[] = {
    "MePar_aTau"};
inline constexpr const char* Inputs4[] = {
    "MeNPPf", "MeNPPw", "MeNPPr", "MePar_sigmaF", "MePar_sigmaW", "MePar_sigmaR"};
inline constexpr const char* Inputs5[] = {
    "MePar_h1", "MePar_h2"};
inline constexpr const char* Inputs6[] = {
    "MePar_rg", "MePar_aWR"};
inline constexpr const char* Inputs7[] = {
    "MePar_gammar", "MePar_Trmax", "MePar_Tropt"};
inline constexpr const char* Inputs8[] = {
    "MePar_kGCF", "MePar_kGNF", "MePar_kGCW", "MePar_kGNW", "MePar_kGCR", "MePar_kGNR",
    "MePar_aGCF", "MePar_aGNF", "MePar_aGCW", "MePar_aGNW", "MePar_aGCR", "MePar_aGNR",
    "MePar_bGCF", "MePar_bGNF", "MePar_bGCW", "MePar_bGNW", "MePar_bGCR", "MePar_bGNR"};
inline constexpr const char* Inputs9[] = {
    "MePar_aTCW", "MePar_KCa", "MePar_KCb", "MePar_Kcf", "MePar_Kcw", "MePar_Kcr", "MePar_aTNW",
    "MePar_KNa", "MePar_KNb", "MePar_Knf", "MePar_Knw", "MePar_Knr"};
inline constexpr const char* Inputs10[] = {
    "MeCst", "MeNst", "MePar_z", "MePar_rho"};
inline constexpr const char* Inputs11[] = {
    "MePar_kIm"};
inline constexpr const char* Inputs12[] = {
    "MePar_Ase", "MePar_Aie", "MePar_Aei", "MePar_Aih"};
inline constexpr const char* Inputs13[] = {
    "MePar_Q10d", "MePar_beta"};
inline constexpr const char* Inputs14[] = {
    "MePar_p", "MePar_Ep"};
inline constexpr const char* Inputs15[] = {
    "MePar_etanh4"};
inline constexpr std::span<const char* const> InputOrder[] = {
    Inputs0, Inputs1, Inputs2, Inputs3, Inputs4, Inputs5, Inputs6, Inputs7,
    Inputs8, Inputs9, Inputs10, Inputs11, Inputs12, Inputs13, Inputs14, Inputs15};

constexpr TVarKind KindOf(char kind) {
    return kind == 's'   ? KindState
           : kind == 'd' ? KindDriver
           : kind == 'p' ? KindParam
                         : KindProcess;
}

// A field's object name: MeState, MeDrive, MePar_ or Me, then the symbol.
std::string FieldName(char kind, const char* symbol);

// Whether the field of this kind and symbol takes entries.
bool IsInputField(char kind, const char* symbol);

// What the window's check makes of a value it shows: the value written with
// 6 significant digits reads back as a number >= 0.
bool ShownValueValid(double v);

// The variable each of the 158 fields shows, in window order, bound through
// the catalogue held by g.
struct TBoundField {
    TVarKind kind;
    int index;
};
std::vector<TBoundField> BindFields(const TGlobals& g);

// How many fields would show an invalid value of the calculator's ShownSet.
int CountInvalidShown(const TSteadyStateCalc& calc, const std::vector<TBoundField>& fields);

}  // namespace orvane::calcfields
