// The model's catalogue: names, units, symbols and parameter ownership of
// every driver, state, process and parameter.
#pragma once

#include <string_view>

#include "model/catalogue_data.h"
#include "model/globals.h"

namespace orvane {

// Fills ModelDef and the names, units, symbols and numparams of States,
// Processes, Params and Drivers. Values are left as they are.
void ModelDefinition(TGlobals& g);

// Where the parameters of process p begin in Params: the k-th parameter of
// process p is Params[ParamOffset(p) + k]. 0 for p <= numstate + 1.
int ParamOffset(int p);

// Start-up of the shared values: initial run values, the catalogue, and the
// driver copies PrevDrivers / NextDrivers.
void InitialiseGlobals(TGlobals& g);

}  // namespace orvane
