// Shared set-up of the run tests: the test site in a fresh state, a scratch
// directory, driver files and reading output files back.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/site_fixture.h"

namespace orvane::testrun {

struct TOutputRow {
    double time = 0;
    drivearray drivers;
    statearray states;
    processarray processes;
};

// A scratch directory removed at the end of the test.
class TScratchDir {
public:
    TScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("orvane-run-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TScratchDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The catalogue and the test site, with times 0..2 step 1.
inline void LoadTestSite(TGlobals& g) {
    InitialiseGlobals(g);
    fixture::LoadSite(g);
}

// Writes a driver file with one row per (time, drivers) pair.
inline void WriteDrivers(TGlobals& g, const std::string& path,
                         const std::vector<std::pair<double, drivearray>>& rows) {
    OpenDriverFile(g, path, g.ModelDef.numdrive, g.Drivers, true);
    for (const auto& [t, d] : rows) WriteDriverRow(g, t, g.ModelDef.numdrive, d);
    CloseDriverFile(g);
}

inline drivearray SiteDrivers(const TGlobals& g) {
    drivearray d = g.Drivers;
    fixture::SetSiteDrivers(d);
    return d;
}

inline std::vector<TOutputRow> ReadOutput(TGlobals& g, const std::string& path) {
    std::vector<TOutputRow> rows;
    OpenOutputFile(g, path, g.ModelDef.numstate, g.States, false, g.Processes,
                   g.ModelDef.numprocess);
    for (;;) {
        TOutputRow r{0, g.Drivers, g.States, g.Processes};
        if (!ReadOutputRow(g, r.time, r.drivers, r.states, g.ModelDef.numstate, r.processes,
                           g.ModelDef.numprocess)) {
            break;
        }
        rows.push_back(r);
    }
    CloseOutputFile(g);
    return rows;
}

inline std::vector<double> RowTimes(const std::vector<TOutputRow>& rows) {
    std::vector<double> t;
    for (const auto& r : rows) t.push_back(r.time);
    return t;
}

// Values agree to the 13 significant digits the output file keeps.
inline bool SameTo13Digits(double a, double b) {
    return std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
}

}  // namespace orvane::testrun
