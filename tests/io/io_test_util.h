// Shared fixture of the file tests: a fresh directory per test, the model's
// catalogue in a TGlobals, and a sink that records every message shown.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/catalogue.h"
#include "model/globals.h"

namespace orvane::testing {

struct TRecordedMessage {
    TMsgKind kind;
    std::string text;
};

class TRecordingSink : public IMessageSink {
public:
    void ShowMessage(TMsgKind kind, const std::string& text) override {
        messages.push_back({kind, text});
    }
    std::vector<TRecordedMessage> messages;
};

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteAll(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// Lines of a file written with CR LF; fails the test on a bare LF.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end with CR LF";
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    for (const auto& l : lines) EXPECT_EQ(l.find('\n'), std::string::npos);
    return lines;
}

inline int OpenDescriptorCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

class TFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("orvane_io_" + std::to_string(::getpid()) + "_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        InitialiseGlobals(g);
        g.Messages = &sink;
    }
    void TearDown() override {
        g.DriverReader.Close();
        g.DriverWriter.CloseQuietly();
        g.OutputReader.Close();
        g.OutputWriter.CloseQuietly();
        std::filesystem::remove_all(dir);
    }
    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
    TGlobals g;
    TRecordingSink sink;
};

}  // namespace orvane::testing
