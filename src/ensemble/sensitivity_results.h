// The result files of a sensitivity analysis, made from the members
// journal once every member has finished:
//
//   indices.csv      method,output,time,factor,index,value,lower,upper
//   convergence.csv  (Sobol') output,time,base_points,factor,index,value
//   collinearity.csv (local) output,factors,index
//   report.txt       the ranked report of the last output time
//
// Each file is written beside its place and renamed into it.
#pragma once

#include <cstddef>
#include <string>

#include "ensemble/experiment.h"
#include "ensemble/sensitivity/sens_types.h"

namespace orvane::ensemble {

// Analyses every output of the experiment and writes the files into `dir`;
// returns the report. Gathers as many outputs per pass over the journal as
// `memoryBudget` bytes hold. Raises EExperimentError when no output could
// be analysed (the ensemble's own files are written by then), EInOutError
// when a file cannot be written.
std::string WriteSensitivityResults(const TExperiment& e, const sens::TSensDesign& design,
                                    const std::string& journal, const std::string& dir, int threads,
                                    std::size_t memoryBudget = std::size_t{512} << 20);

}  // namespace orvane::ensemble
