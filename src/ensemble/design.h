// Designs: where each member's factor values come from.
//
// A design answers for member i alone: its values depend only on the
// design's settings (seed included) and on i, never on which thread asks,
// in which order, or how the members are split between threads, processes
// or shards. Every method is const and may be called from many threads at
// once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ensemble/distribution.h"

namespace orvane::ensemble {

// Factor values per member.
class IDesign {
public:
    virtual ~IDesign() = default;
    virtual std::size_t Members() const = 0;
    virtual int Factors() const = 0;
    // Members that belong together (a trajectory or block of a sensitivity
    // design); work is handed out, and split, in whole groups. Members() is a
    // multiple of it.
    virtual std::size_t GroupSize() const { return 1; }
    // The values of member i (Factors() of them, in the experiment's order).
    virtual void Values(std::size_t member, std::span<double> values) const = 0;
};

// Points of the unit cube, each coordinate in the open interval (0, 1).
class IUnitCubeDesign {
public:
    virtual ~IUnitCubeDesign() = default;
    virtual std::size_t Members() const = 0;
    virtual int Dimension() const = 0;
    virtual void Point(std::size_t member, std::span<double> u) const = 0;
};

// Independent uniform points.
std::unique_ptr<IUnitCubeDesign> MakeRandomDesign(std::size_t members, int dimension,
                                                  uint64_t seed);
// Latin hypercube: in every dimension each of the `members` equal strata
// holds exactly one point.
std::unique_ptr<IUnitCubeDesign> MakeLatinHypercube(std::size_t members, int dimension,
                                                    uint64_t seed);
// Sobol' low-discrepancy points (Joe-Kuo directions) with a random digital
// shift drawn from the seed; member i is point i of the sequence.
std::unique_ptr<IUnitCubeDesign> MakeSobolPoints(std::size_t members, int dimension,
                                                 uint64_t seed);
// The largest dimension MakeSobolPoints accepts.
int SobolMaxDimension();

// Unit-cube points turned into factor values by each factor's quantile
// function.
class TQuantileDesign final : public IDesign {
public:
    TQuantileDesign(std::unique_ptr<IUnitCubeDesign> cube, std::vector<TDistribution> dists,
                    std::vector<double> bases);
    std::size_t Members() const override { return cube_->Members(); }
    int Factors() const override { return static_cast<int>(dists_.size()); }
    void Values(std::size_t member, std::span<double> values) const override;

private:
    std::unique_ptr<IUnitCubeDesign> cube_;
    std::vector<TDistribution> dists_;
    std::vector<double> bases_;
};

// Values given directly: row i is member i.
class TTableDesign final : public IDesign {
public:
    TTableDesign(int factors, std::vector<double> rows)
        : factors_(factors), rows_(std::move(rows)) {}
    std::size_t Members() const override {
        return factors_ > 0 ? rows_.size() / static_cast<std::size_t>(factors_) : 0;
    }
    int Factors() const override { return factors_; }
    void Values(std::size_t member, std::span<double> values) const override;

private:
    int factors_;
    std::vector<double> rows_;
};

}  // namespace orvane::ensemble
