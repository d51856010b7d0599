// Bootstrap support of the estimators: which groups each resample draws,
// percentile intervals, and work spread over threads so that the results
// do not depend on how many threads there are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ensemble/sensitivity/sens_types.h"

namespace orvane::sens {

// How often each of n groups is drawn in each resample: counts[r * n + j].
// Resample r depends only on the seed, r and n.
std::vector<std::uint16_t> ResampleCounts(std::uint64_t seed, std::size_t resamples, std::size_t n);

// The two-sided percentile interval at `confidence` of the finite values
// (linear interpolation between order statistics); NaN bounds when fewer
// than two values are finite. Reorders `values`.
void PercentileInterval(std::span<double> values, double confidence, TIndexValue& into);

// Runs task(0) ... task(tasks - 1) on up to `threads` threads (0: every
// core). Each task must write only its own results. The first error of a
// task is raised again here after every thread has stopped.
void ParallelFor(std::size_t tasks, unsigned threads, const std::function<void(std::size_t)>& task);

// The indices of the usable groups among the first `limit` groups.
std::vector<std::size_t> UsableIndices(std::span<const std::uint8_t> usable, std::size_t limit);

// Raises ESensitivityError when fewer than `needed` groups are usable.
void CheckEnoughGroups(const std::string& analysis, std::size_t usable, std::size_t groups,
                       std::size_t needed, const char* groupName);

}  // namespace orvane::sens
