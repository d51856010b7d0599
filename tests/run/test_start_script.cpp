// scripts/start.sh without a display says so, and how to get one, before it
// installs or builds anything.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct TOutcome {
    int code = -1;
    std::string text;
};

TOutcome Start(const std::string& environment) {
    const std::string cmd = "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + environment +
                            " timeout 60 '" ORVANE_SOURCE_DIR "/scripts/start.sh' 2>&1 </dev/null";
    TOutcome o;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return o;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) o.text += buf;
    const int status = pclose(p);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

TEST(StartScript, WithoutADisplaySaysHowToGetOne) {
    for (const char* environment : {"-u DISPLAY", "DISPLAY=:9876"}) {
        const TOutcome o = Start(environment);
        EXPECT_EQ(o.code, 1) << environment << "\n" << o.text;
        EXPECT_NE(o.text.find("needs a graphical display"), std::string::npos) << o.text;
        EXPECT_NE(o.text.find("scripts/deps.sh --gui"), std::string::npos) << o.text;
        EXPECT_NE(o.text.find("Xvfb :1 -screen 0 1366x768x24 &"), std::string::npos) << o.text;
    }
}

}  // namespace
