// The three sensitivity designs: which factor values each member runs with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ensemble/sensitivity/sens_types.h"

namespace orvane::sens {

struct TSensFactor {
    std::string symbol;
    TQuantile quantile;  // Saltelli and Morris designs
    double base = 0;     // local design
};

// Saltelli design: base sample N from the first N points of a 2k-dimensional
// sequence (coordinates 0..k-1 make matrix A, k..2k-1 matrix B); group j
// holds A_j, B_j, then AB_j^i (A_j with factor i from B_j) for i = 0..k-1.
// N is rounded up to a power of two, with a note, so that the points keep
// the balance of a Sobol' sequence.
TSensDesign MakeSaltelliDesign(std::span<const TSensFactor> factors, std::size_t baseSamples,
                               const TPointGenerator& points);

// The note of a Saltelli design whose base sample is rounded up; empty
// when `baseSamples` (at least 1) is a power of two.
std::string SaltelliRoundingNote(std::size_t baseSamples, std::size_t factors);

// Morris design: r trajectories of k+1 members on a grid of p levels; each
// trajectory starts at random levels and moves every factor once, in random
// order, by floor(p/2) levels (up where it can, otherwise down). Levels are
// spread over [0, 1] for a factor with finite bounds; for one without, over
// the centres of p equally likely strata, so no value is infinite.
TSensDesign MakeMorrisDesign(std::span<const TSensFactor> factors, std::size_t trajectories,
                             std::size_t levels, std::uint64_t seed);

// Local design: member 0 at the base values, then for each factor the base
// moved by +step (forward), or by +step and -step (central), relative to
// the factor's base value.
TSensDesign MakeLocalDesign(std::span<const TSensFactor> factors, double relativeStep,
                            bool central);

// True where every member of the group ran and gave finite values of this
// output at every time (a local group also needs the base member).
std::vector<std::uint8_t> UsableGroups(const TSensDesign& design, const TOutputView& output);

// The members of group g (a local group without its base member 0).
inline std::size_t GroupFirstMember(const TSensDesign& design, std::size_t g) {
    return design.method == TSensMethod::Local ? 1 + g * design.groupSize : g * design.groupSize;
}

}  // namespace orvane::sens
