#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <limits>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

class ParamFile : public TFileTest {
protected:
    void SetUp() override {
        TFileTest::SetUp();
        for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value = i * 100.25;
        for (int j = 1; j <= g.ModelDef.numparam; ++j) g.Params[j].value = -j / 7.0;
    }
    void Write(const std::string& path) {
        WriteParamFile(g, path, g.ModelDef.numparam, g.Params, g.ModelDef.numstate, g.States, 0);
    }
    bool Read(const std::string& path) {
        double residual = -1;
        return ReadParamFile(g, path, g.ModelDef.numparam, g.Params, g.ModelDef.numstate, g.States,
                             residual);
    }
    void ZeroValues() {
        for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value = 0;
        for (int j = 1; j <= g.ModelDef.numparam; ++j) g.Params[j].value = 0;
    }
    // The text of a correct file with the fixture's values.
    std::string WrittenText() {
        Write(PathOf("base.par"));
        return ReadAll(dir / "base.par");
    }
};

}  // namespace

TEST_F(ParamFile, WritesTheLayoutByteForByte) {
    g.ParamsChanged = true;
    g.States[1].value = 1.5;
    g.Params[1].value = -2.5;
    Write(PathOf("a.par"));
    EXPECT_FALSE(g.ParamsChanged);
    const auto lines = CrLfLines(ReadAll(dir / "a.par"));
    ASSERT_EQ(lines.size(), 109u);
    EXPECT_EQ(lines[0], "Veskor Orvane        3.3.6.5b            ");
    EXPECT_EQ(lines[1], PadRight(g.States[1].name, 20) + " 1.50000000000000E+0000 " +
                            PadRight(g.States[1].units, 20));
    EXPECT_EQ(lines[1].size(), 64u);
    EXPECT_EQ(lines[20], PadRight(g.Params[1].name, 20) + "-2.50000000000000E+0000 " +
                             PadRight(g.Params[1].units, 20));
    EXPECT_EQ(lines[108], "Total Residual       0.00000000000000E+0000");
}

TEST_F(ParamFile, RoundTripRestoresEveryValue) {
    g.States[3].value = std::numeric_limits<double>::quiet_NaN();
    g.Params[5].value = std::numeric_limits<double>::infinity();
    g.Params[6].value = -std::numeric_limits<double>::infinity();
    g.Params[7].value = 1e-300;
    const statearray states = g.States;
    const paramarray params = g.Params;
    Write(PathOf("rt.par"));
    ZeroValues();
    g.ParamsChanged = true;
    ASSERT_TRUE(Read(PathOf("rt.par")));
    EXPECT_FALSE(g.ParamsChanged);
    for (int i = 1; i <= g.ModelDef.numstate; ++i)
        EXPECT_EQ(FormatParamField(g.States[i].value), FormatParamField(states[i].value)) << i;
    for (int j = 1; j <= g.ModelDef.numparam; ++j)
        EXPECT_EQ(FormatParamField(g.Params[j].value), FormatParamField(params[j].value)) << j;
    EXPECT_TRUE(std::isnan(g.States[3].value));
    EXPECT_EQ(g.Params[6].value, -std::numeric_limits<double>::infinity());
    // Names and units in memory are never touched by a read.
    EXPECT_EQ(g.States[1].name, "Foliage Carbon");
}

TEST_F(ParamFile, HeaderDecidesCompatibility) {
    std::string text = WrittenText();
    const std::string body = text.substr(text.find("\r\n"));

    // Capitals and other spacing in the model field are accepted.
    WriteAll(dir / "caps.par", "VESKOR   ORVANE     " + std::string(" 3.3.6.5b  trailing") + body);
    ZeroValues();
    EXPECT_TRUE(Read(PathOf("caps.par")));
    EXPECT_EQ(g.States[2].value, 200.5);
    EXPECT_TRUE(sink.messages.empty());

    struct Case { const char* name; std::string header; };
    const Case refused[] = {
        {"version case", "Veskor Orvane        3.3.6.5B"},
        {"other model", "Other Model          3.3.6.5b"},
        {"short header", "Veskor Orvane"},
        {"empty file", ""},
    };
    for (const auto& c : refused) {
        WriteAll(dir / "x.par", c.header + body);
        ZeroValues();
        g.States[1].value = 7;
        g.ParamsChanged = true;
        sink.messages.clear();
        EXPECT_FALSE(Read(PathOf("x.par"))) << c.name;
        EXPECT_FALSE(g.ParamsChanged) << c.name;
        EXPECT_EQ(g.States[1].value, 7) << c.name;
        EXPECT_EQ(g.Params[1].value, 0) << c.name;
        ASSERT_EQ(sink.messages.size(), 1u) << c.name;
        EXPECT_EQ(sink.messages[0].kind, TMsgKind::Error);
        EXPECT_EQ(sink.messages[0].text, MsgParamFileIncompatible);
    }
}

TEST_F(ParamFile, ShortAndLfOnlyFilesReadByPosition) {
    const std::string text = WrittenText();
    // Header and 10 state lines only: the rest reads as 0.
    std::size_t cut = 0;
    for (int i = 0; i < 11; ++i) cut = text.find("\r\n", cut) + 2;
    WriteAll(dir / "short.par", text.substr(0, cut));
    ASSERT_TRUE(Read(PathOf("short.par")));
    EXPECT_EQ(g.States[10].value, 1002.5);
    for (int i = 11; i <= g.ModelDef.numstate; ++i) EXPECT_EQ(g.States[i].value, 0) << i;
    for (int j = 1; j <= g.ModelDef.numparam; ++j) EXPECT_EQ(g.Params[j].value, 0) << j;

    // LF-only line ends and different names read the same, by position.
    std::string lf;
    for (char c : text)
        if (c != '\r') lf += c;
    const std::string name(g.States[1].name);
    lf.replace(lf.find(name), name.size(), "Something Else");
    WriteAll(dir / "lf.par", lf);
    ZeroValues();
    ASSERT_TRUE(Read(PathOf("lf.par")));
    EXPECT_EQ(g.States[1].value, 100.25);
    EXPECT_EQ(g.States[19].value, 1904.75);
    EXPECT_EQ(FormatGeneral(g.Params[88].value), "-12.5714285714286");
}

TEST_F(ParamFile, BadFieldsRaiseInputErrorAndCloseTheFile) {
    const std::string text = WrittenText();
    const std::size_t line3 = [&] {
        std::size_t p = 0;
        for (int i = 0; i < 3; ++i) p = text.find("\r\n", p) + 2;
        return p;
    }();
    const std::string tooLong(65, '1');
    const std::string longest = std::string(60, '0') + "12.5";  // 64 characters: still a number
    const struct { const char* name; std::string field; bool ok; } cases[] = {
        {"word", " abc.def              ", false},
        {"binary", std::string(" \x01\xff\xfe\x80garbage   ", 22), false},
        {"comma", " 1,5                  ", false},
        {"overlong", " " + tooLong, false},
        {"64 chars", " " + longest, true},
    };
    for (const auto& c : cases) {
        std::string bad = text;
        bad.replace(line3 + 20, 23, c.field);
        WriteAll(dir / "bad.par", bad);
        ZeroValues();
        const int fds = OpenDescriptorCount();
        if (c.ok) {
            EXPECT_TRUE(Read(PathOf("bad.par"))) << c.name;
            EXPECT_EQ(g.States[3].value, 12.5);
        } else {
            try {
                Read(PathOf("bad.par"));
                ADD_FAILURE() << c.name << " accepted";
            } catch (const EInputError& e) {
                EXPECT_EQ(e.Message(), "Invalid numeric input") << c.name;
            }
            // The values before the bad field stay stored.
            EXPECT_EQ(g.States[2].value, 200.5) << c.name;
            EXPECT_EQ(g.States[3].value, 0) << c.name;
        }
        EXPECT_EQ(OpenDescriptorCount(), fds) << c.name;
    }
}

TEST_F(ParamFile, UnopenableFileRaisesNamingIt) {
    std::filesystem::create_directory(dir / "folder.par");
    for (const std::string& path : {PathOf("none.par"), PathOf("folder.par")}) {
        g.ParamsChanged = true;
        try {
            Read(path);
            ADD_FAILURE() << path;
        } catch (const EInOutError& e) {
            EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
        }
        EXPECT_TRUE(g.ParamsChanged);  // nothing was read
    }
}

TEST_F(ParamFile, FailedWriteKeepsThePreviousFile) {
    const std::string path = PathOf("keep.par");
    Write(path);
    const std::string before = ReadAll(path);
    g.States[1].value = 999;
    g.ParamsChanged = true;

    // A file-size limit below the file's size fails the write like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    bool raised = false;
    try {
        Write(path);
    } catch (const EInOutError& e) {
        raised = true;
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(raised);
    EXPECT_TRUE(g.ParamsChanged);
    EXPECT_EQ(ReadAll(path), before);

    // A target that cannot be replaced (a directory) is refused likewise.
    std::filesystem::create_directory(dir / "sub.par");
    EXPECT_THROW(Write(PathOf("sub.par")), EInOutError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub.par"));
    // ... and a directory that does not exist, or no name at all.
    EXPECT_THROW(Write(PathOf("no/such/dir.par")), EInOutError);
    EXPECT_THROW(Write(""), EInOutError);

    // No temporary file is left behind by any of these.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);  // keep.par and sub.par
}

TEST_F(ParamFile, ReplacingKeepsPermissionsAndLinks) {
    namespace fs = std::filesystem;
    const std::string real = PathOf("real.par");
    Write(real);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, dir / "link.par");
    g.States[1].value = 42;
    Write(PathOf("link.par"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.par"));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    g.States[1].value = 0;
    ASSERT_TRUE(Read(real));
    EXPECT_EQ(g.States[1].value, 42);
}

TEST_F(ParamFile, WriteProtectedFileIsNotReplaced) {
    namespace fs = std::filesystem;
    const std::string path = PathOf("locked.par");
    Write(path);
    const std::string before = ReadAll(path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The directory itself accepts new files, so only the file's own
    // protection stands in the way.
    fs::permissions(dir, fs::perms::all);
    g.States[1].value = 999;

    // Whether the save is refused, as the file's owner would see it. Root may
    // write anything, so the check runs as an ordinary user when we are root.
    const auto refused = [&] {
        try {
            Write(path);
        } catch (const EInOutError& e) {
            return e.Message().find("Permission denied") != std::string::npos;
        }
        return false;
    };
    bool ok = false;
    if (::geteuid() == 0) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped && refused() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    } else {
        ok = refused();
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadAll(path), before);
}
