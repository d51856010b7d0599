// Readers and writers of the model's three text files: parameter (*.par),
// driver (*.drr) and output (*.out) files. The driver and output files are
// the shared handles in TGlobals; one of each is open at a time.
#pragma once

#include <string>

#include "model/globals.h"

namespace orvane {

// ---- Parameter file ------------------------------------------------------

// Writes the whole file beside the target and replaces the target only when
// the write is complete, so a failed write never destroys the previous file.
// Clears g.ParamsChanged. Raises EInOutError on failure.
void WriteParamFile(TGlobals& g, const std::string& path, int numparam, const paramarray& params,
                    int numstate, const statearray& states, double residual);

// Reads values by position. Returns false (after showing the incompatibility
// message) for a file of another model or version; then nothing has changed.
// Clears g.ParamsChanged in every case. Raises EInputError for a field that is
// not a number (values read before it stay stored), EInOutError if unreadable.
bool ReadParamFile(TGlobals& g, const std::string& path, int numparam, paramarray& params,
                   int numstate, statearray& states, double& residual);

inline constexpr const char* MsgParamFileIncompatible =
    "The parameter file selected is not compatible with this model. No parameters read.";

// ---- Driver file ---------------------------------------------------------

inline constexpr const char* MsgDriverFileMissing = "Cannot read driver file. File does not exist.";

// create=false: opens for reading and skips the two header lines; a missing
// file shows MsgDriverFileMissing and opens nothing (an unreadable one raises
// EInOutError). create=true: creates the file and writes the two header lines
// from the names and units in `drivers`.
void OpenDriverFile(TGlobals& g, const std::string& path, int numdrive, const drivearray& drivers,
                    bool create);
// Reads the next data row into time and drivers[1..numdrive].value. False at
// the end of the data (end of file, or an all-zero row).
bool ReadDriverRow(TGlobals& g, double& time, int numdrive, drivearray& drivers);
// Makes `target` hold the drivers in force at time t (stepwise or
// interpolated); after the last row, the last row stays in force for ever
// (NextDriverTime is then +infinity and nothing more is read).
void GetDrivers(TGlobals& g, drivearray& target, double t);
void WriteDriverRow(TGlobals& g, double time, int numdrive, const drivearray& drivers);
void CloseDriverFile(TGlobals& g);

// ---- Output file ---------------------------------------------------------

// create=true: creates the file and writes its two header lines (drivers from
// g.Drivers, states and processes from the arrays given). create=false: opens
// it for reading and skips the header lines.
void OpenOutputFile(TGlobals& g, const std::string& path, int numstate, const statearray& states,
                    bool create, const processarray& processes, int numprocess);
// Appends one row: time, g.Drivers, the states and the processes.
void WriteOutputRow(TGlobals& g, int numstate, const statearray& states, int numprocess,
                    const processarray& processes, double time);
// Reads one row; false at the end of the file (blank lines at its end are
// not rows). Values missing at the end of the file read as 0; a field that is
// not a number raises EInputError.
bool ReadOutputRow(TGlobals& g, double& time, drivearray& drivers, statearray& states,
                   int numstate, processarray& processes, int numprocess);
void CloseOutputFile(TGlobals& g);

}  // namespace orvane
