// Output files of a known shape for the fit and comparison tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "io/fileio.h"
#include "model/catalogue.h"

namespace orvane::testobs {

class TScratch {
public:
    TScratch() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("orvane-obs-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TScratch() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes an output file with a row at each time; `fill` sets the values of
// that row in g (all zero before).
inline void WriteOutput(TGlobals& g, const std::string& path, const std::vector<double>& times,
                        const std::function<void(TGlobals&, double)>& fill) {
    OpenOutputFile(g, path, g.ModelDef.numstate, g.States, true, g.Processes, g.ModelDef.numprocess);
    for (double t : times) {
        for (int i = 1; i <= g.ModelDef.numdrive; ++i) g.Drivers[i].value = 0;
        for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value = 0;
        for (int i = 1; i <= g.ModelDef.numprocess; ++i) g.Processes[i].value = 0;
        fill(g, t);
        WriteOutputRow(g, g.ModelDef.numstate, g.States, g.ModelDef.numprocess, g.Processes, t);
    }
    CloseOutputFile(g);
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace orvane::testobs
