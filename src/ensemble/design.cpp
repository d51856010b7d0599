#include "ensemble/design.h"

#include <algorithm>
#include <boost/random/sobol.hpp>
#include <cmath>
#include <numeric>

#include "ensemble/random.h"

namespace orvane::ensemble {

namespace {

// Salts keep the streams of different purposes apart for the same seed.
constexpr uint64_t SaltRandom = 0x52414E44ull;   // per-member points
constexpr uint64_t SaltStrata = 0x4C485331ull;   // Latin hypercube permutations
constexpr uint64_t SaltInStrata = 0x4C485332ull; // positions within strata
constexpr uint64_t SaltShift = 0x534F424Cull;    // Sobol' digital shift

class TRandomDesign final : public IUnitCubeDesign {
public:
    TRandomDesign(std::size_t members, int dim, uint64_t seed)
        : members_(members), dim_(dim), seed_(seed) {}
    std::size_t Members() const override { return members_; }
    int Dimension() const override { return dim_; }
    void Point(std::size_t member, std::span<double> u) const override {
        std::mt19937_64 gen(StreamSeed(seed_, member, SaltRandom));
        for (int j = 0; j < dim_; ++j) u[static_cast<std::size_t>(j)] = UnitFromBits(gen());
    }

private:
    std::size_t members_;
    int dim_;
    uint64_t seed_;
};

class TLatinHypercube final : public IUnitCubeDesign {
public:
    TLatinHypercube(std::size_t members, int dim, uint64_t seed)
        : members_(members), dim_(dim), seed_(seed) {
        // One permutation of the strata per dimension (Fisher-Yates), made
        // once and then only read.
        strata_.resize(members * static_cast<std::size_t>(dim));
        for (int j = 0; j < dim; ++j) {
            std::mt19937_64 gen(StreamSeed(seed, static_cast<uint64_t>(j), SaltStrata));
            uint32_t* p = strata_.data() + static_cast<std::size_t>(j) * members;
            std::iota(p, p + members, 0u);
            for (std::size_t i = members; i > 1; --i) std::swap(p[i - 1], p[Below(gen, i)]);
        }
    }
    std::size_t Members() const override { return members_; }
    int Dimension() const override { return dim_; }
    void Point(std::size_t member, std::span<double> u) const override {
        std::mt19937_64 gen(StreamSeed(seed_, member, SaltInStrata));
        const double n = static_cast<double>(members_);
        for (int j = 0; j < dim_; ++j) {
            const double stratum = strata_[static_cast<std::size_t>(j) * members_ + member];
            // Kept inside its stratum even where the division rounds up.
            const double x = (stratum + UnitFromBits(gen())) / n;
            const double top = std::nextafter((stratum + 1) / n, 0.0);
            u[static_cast<std::size_t>(j)] = std::min(x, top);
        }
    }

private:
    std::size_t members_;
    int dim_;
    uint64_t seed_;
    std::vector<uint32_t> strata_;
};

class TSobolPoints final : public IUnitCubeDesign {
public:
    TSobolPoints(std::size_t members, int dim, uint64_t seed)
        : members_(members), dim_(dim), engine_(static_cast<std::size_t>(dim)) {
        std::mt19937_64 gen(StreamSeed(seed, 0, SaltShift));
        for (int j = 0; j < dim; ++j) shift_.push_back(gen());
    }
    std::size_t Members() const override { return members_; }
    int Dimension() const override { return dim_; }
    void Point(std::size_t member, std::span<double> u) const override {
        // A copy per point keeps the shared engine untouched; seeding jumps
        // straight to the point.
        boost::random::sobol engine = engine_;
        engine.seed(static_cast<uint64_t>(member));
        for (int j = 0; j < dim_; ++j) {
            u[static_cast<std::size_t>(j)] = UnitFromBits(engine() ^ shift_[static_cast<std::size_t>(j)]);
        }
    }

private:
    std::size_t members_;
    int dim_;
    boost::random::sobol engine_;
    std::vector<uint64_t> shift_;
};

}  // namespace

std::unique_ptr<IUnitCubeDesign> MakeRandomDesign(std::size_t members, int dimension,
                                                  uint64_t seed) {
    return std::make_unique<TRandomDesign>(members, dimension, seed);
}

std::unique_ptr<IUnitCubeDesign> MakeLatinHypercube(std::size_t members, int dimension,
                                                    uint64_t seed) {
    return std::make_unique<TLatinHypercube>(members, dimension, seed);
}

std::unique_ptr<IUnitCubeDesign> MakeSobolPoints(std::size_t members, int dimension,
                                                 uint64_t seed) {
    return std::make_unique<TSobolPoints>(members, dimension, seed);
}

int SobolMaxDimension() {
    return static_cast<int>(boost::random::detail::qrng_tables::sobol::max_dimension);
}

TQuantileDesign::TQuantileDesign(std::unique_ptr<IUnitCubeDesign> cube,
                                 std::vector<TDistribution> dists, std::vector<double> bases)
    : cube_(std::move(cube)), dists_(std::move(dists)), bases_(std::move(bases)) {}

void TQuantileDesign::Values(std::size_t member, std::span<double> values) const {
    cube_->Point(member, values);
    for (std::size_t j = 0; j < dists_.size(); ++j) values[j] = Quantile(dists_[j], values[j], bases_[j]);
}

void TTableDesign::Values(std::size_t member, std::span<double> values) const {
    const std::size_t f = static_cast<std::size_t>(factors_);
    std::copy_n(rows_.begin() + static_cast<std::ptrdiff_t>(member * f), f, values.begin());
}

}  // namespace orvane::ensemble
