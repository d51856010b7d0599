// The output file of a run must not be one of its input files: creating it
// would replace the parameters or the drivers with model output.
#pragma once

#include <string>

#include "model/globals.h"

namespace orvane {

// True when both names lead to one file: the same path, or another path, a
// symbolic link or a hard link to it. Empty names lead nowhere.
bool SameFile(const std::string& a, const std::string& b);

// What is wrong with `output` as the output file beside these input files,
// or "" when nothing is.
std::string OutputFileClash(const std::string& output, const std::string& paramFile,
                            const std::string& driverFile);

// Raises ERunTimeError with OutputFileClash's message for the run's files.
// Called before any file of the run is opened.
void CheckRunFiles(const TGlobals& g);

}  // namespace orvane
