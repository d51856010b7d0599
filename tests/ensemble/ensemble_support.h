// Shared set-up of the ensemble tests: a scratch folder, experiment files
// written into it around the shipped temperate site, and an analytic model
// that stands in for the site.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ensemble/engine.h"
#include "ensemble/experiment.h"

namespace orvane::ensemble::testing {

inline const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

class TScratch {
public:
    TScratch() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("orvane-ens-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TScratch() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The temperate site with the rising-CO2 drivers, a short run.
inline std::string SiteAndRun(double stop = 20) {
    return "[site]\nparameters = \"" + ExampleDir + "/temperate.par\"\ndrivers = \"" + ExampleDir +
           "/temperate-co2.drr\"\n\n[run]\nstop = " + std::to_string(stop) + "\n\n";
}

// A plain function in place of the model: y = sin x1 + 7 sin^2 x2 +
// 0.1 x3^4 sin x1 (Ishigami) at every output time t, scaled by (1 + t);
// a member with x1 above `failAbove` fails.
class TIshigami final : public IMemberModel {
public:
    TIshigami(int variables, int times, double failAbove = 1e300)
        : variables_(variables), times_(times), failAbove_(failAbove) {}
    TMemberOutcome Run(std::span<const double> x, std::span<double> out) override {
        if (x[0] > failAbove_) return {TFailKind::Math, "x1 too large: " + std::to_string(x[0])};
        const double y = std::sin(x[0]) + 7 * std::pow(std::sin(x[1]), 2) +
                         0.1 * std::pow(x[2], 4) * std::sin(x[0]);
        for (int v = 0; v < variables_; ++v)
            for (int t = 0; t < times_; ++t) out[static_cast<std::size_t>(v * times_ + t)] = (v + 1) * y * (1 + t);
        return {};
    }

private:
    int variables_;
    int times_;
    double failAbove_;
};

}  // namespace orvane::ensemble::testing
