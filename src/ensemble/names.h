// Finding variables by symbol for experiment files, and the names and units
// results carry.
#pragma once

#include <string>
#include <vector>

#include "calc/calculate.h"
#include "ensemble/experiment.h"

namespace orvane::ensemble {

// Up to three names of `candidates` closest to `name` (case aside first,
// then by edit distance), for "did you mean" hints.
std::vector<std::string> ClosestNames(const std::string& name,
                                      const std::vector<std::string>& candidates);

// The catalogue's kind of a factor's kind, and the index of a factor's
// variable in it (0: none).
TVarKind CatalogueKind(TFactorKind kind);
int FactorIndex(const TGlobals& g, TFactorKind kind, const std::string& symbol);

// The symbols of one kind, and the kinds ("state", "parameter", "driver",
// "process") that have a symbol.
std::vector<std::string> SymbolsOfKind(const TGlobals& g, TVarKind kind);
std::vector<std::string> KindsOfSymbol(const TGlobals& g, const std::string& symbol);

// The processes the steady-state calculation takes as entries, as a list.
std::string ProcessEntries();
// Whether the steady-state calculation derives this state ('s') or
// parameter ('p'): it shows it, but not as an entry.
bool IsDerivedBySteadyState(char kind, const std::string& symbol);

// Output variables: a driver, state or process (state derivatives included)
// of the output file's columns.
const char* RowPartName(TRowPart part);
std::vector<TRowVariable> FindOutputSymbol(const TGlobals& g, const std::string& symbol);
std::vector<std::string> OutputSymbols(const TGlobals& g);
// Fills the units and long name of an output from the catalogue.
void DescribeOutput(const TGlobals& g, TOutputVariable& out);

}  // namespace orvane::ensemble
