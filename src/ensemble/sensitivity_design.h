// The sensitivity methods of an experiment file ([design] method = "local",
// "morris" or "sobol"): their settings, their designs as the engine runs
// them, and what the runner says about them before it starts.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "ensemble/design.h"
#include "ensemble/experiment.h"
#include "ensemble/sensitivity/sens_types.h"

namespace orvane::ensemble {

bool IsSensitivityMethod(const std::string& method);

// The [design] keys each method reads beyond method, members and seed.
inline constexpr const char* LocalKeys[] = {"step"};
inline constexpr const char* LocalTextKeys[] = {"differences"};
inline constexpr const char* MorrisKeys[] = {"trajectories", "levels", "bootstrap"};
inline constexpr const char* SobolKeys[] = {"bootstrap"};

inline constexpr double DefaultLocalStep = 1e-3;
inline constexpr std::size_t DefaultTrajectories = 20;
inline constexpr std::size_t DefaultLevels = 4;
inline constexpr std::size_t DefaultBootstrap = 1000;
inline constexpr double Confidence = 0.95;
// Bounds that keep a design and its bootstrap within memory.
inline constexpr std::size_t MaxSensitivityMembers = std::size_t{1} << 24;
inline constexpr double MaxLevels = 1000;
inline constexpr double MaxBootstrap = 100000;
inline constexpr double MaxBootstrapDraws = 256.0 * 1024 * 1024;  // 512 MiB of counts

// A message (and the key it concerns) when the experiment's sensitivity
// settings cannot be used; empty when they can.
std::string CheckSensitivitySettings(const TExperiment& e, std::string& key);

// How many members the design runs, without building it.
std::size_t SensitivityMembers(const TExperiment& e);

// One line about the design for the runner, and a note when the base
// sample is rounded up (empty otherwise).
std::string SensitivityDesignText(const TExperiment& e);
std::string SensitivityNote(const TExperiment& e);

// The files a method adds to the results folder, as the runner lists them
// (", indices.csv, ..."; empty for other methods).
const char* SensitivityFiles(const std::string& method);

// The design, from the factors' distributions (Morris, Sobol') or their
// base values (local). Raises EExperimentError for settings it cannot use.
sens::TSensDesign MakeSensitivityDesign(const TExperiment& e, std::span<const double> bases);

// The design as the engine runs it: groups of members handed out whole.
class TSensitivityDesign final : public IDesign {
public:
    explicit TSensitivityDesign(sens::TSensDesign d) : d_(std::move(d)) {}
    std::size_t Members() const override { return d_.members; }
    int Factors() const override { return static_cast<int>(d_.factors); }
    // A local design's base member belongs to every group: no whole groups.
    std::size_t GroupSize() const override {
        return d_.method == sens::TSensMethod::Local ? 1 : d_.groupSize;
    }
    void Values(std::size_t member, std::span<double> values) const override;
    const sens::TSensDesign& Design() const { return d_; }

private:
    sens::TSensDesign d_;
};

std::unique_ptr<IDesign> MakeSensitivityIDesign(const TExperiment& e, std::span<const double> bases);

// The bootstrap of the experiment's analysis.
sens::TBootstrapOptions SensitivityBootstrap(const TExperiment& e, int threads);

}  // namespace orvane::ensemble
