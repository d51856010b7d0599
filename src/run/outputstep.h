// The output time step: its check and the correction the program applies
// when the check fails. Shared by the workbench and the command-line runner.
#pragma once

#include <string>

#include "model/globals.h"

namespace orvane {

inline constexpr const char* SuffixOutputStepIncreased = " Output time step increased to time step.";
inline constexpr const char* SuffixOutputStepDecreased = " Output time step decreased to run length.";
inline constexpr const char* SuffixOutputStepChanged =
    " Output time step changed to current time step.";

// Raises EOutputStepTooSmall when x < TimeStep, EOutputStepTooLarge when
// x > StopTime - StartTime, and EOutputStepNotMultiple when x / TimeStep is
// more than 0.001 away from a whole number (or is not a number at all).
void CheckOutputStep(const TGlobals& g, double x);

// Checks g.OutputStep and, when it fails, replaces it by the corrected value
// (which is not checked again). Returns the text of the information message
// to show: the error's message followed by what was done; empty when the
// output step was fine. Errors other than the three output-step kinds pass on.
std::string CorrectOutputStep(TGlobals& g);

}  // namespace orvane
