// Experiments of several sites: each site's members are the members its own
// single-site experiment would run, a site's own observations are where its
// calculation starts, and mistakes in [[site]] tables say where they are.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <sstream>

#include "ensemble/ensemble_run.h"
#include "ensemble/experiment_write.h"
#include "ensemble/results_read.h"
#include "ensemble_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

const std::string Rest =
    "[run]\nstop = 5\n[steady_state]\n"
    "[[factor]]\nkind = \"process\"\nsymbol = \"Ps\"\ndistribution = \"relative\"\npercent = 10\n"
    "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.8\nmax = 2.2\n"
    "[design]\nmethod = \"lhs\"\nmembers = 6\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n";

std::string Site(const std::string& name, const std::string& par, const std::string& extra = "") {
    return "[[site]]\nname = \"" + name + "\"\nparameters = \"" + ExampleDir + "/" + par + ".par\"\ndrivers = \"" +
           ExampleDir + "/" + par + ".drr\"\n" + extra;
}

std::string Single(const std::string& par) {
    return "[site]\nparameters = \"" + ExampleDir + "/" + par + ".par\"\ndrivers = \"" + ExampleDir + "/" + par +
           ".drr\"\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::vector<double> Slab(const std::string& file, const char* var, std::size_t site, bool sites) {
    int nc = 0, id = 0;
    EXPECT_EQ(nc_open(file.c_str(), NC_NOWRITE, &nc), NC_NOERR);
    EXPECT_EQ(nc_inq_varid(nc, var, &id), NC_NOERR);
    std::vector<double> v(6 * 6);
    const std::size_t start[3] = {site, 0, 0};
    const std::size_t count[3] = {1, 6, 6};
    EXPECT_EQ(nc_get_vara_double(nc, id, sites ? start : start + 1, sites ? count : count + 1, v.data()), NC_NOERR);
    nc_close(nc);
    return v;
}

class Sites : public ::testing::Test {
protected:
    TEnsembleOutcome Run(const std::string& name, const std::string& text, std::size_t summaryMemory = 1 << 20) {
        TEnsembleOptions o;
        o.outDir = dir.File(name);
        o.threads = 2;
        o.summaryMemory = summaryMemory;
        return RunEnsemble(ReadExperiment(dir.Write(name + ".toml", text)), o);
    }
    std::string Read(const std::string& name, const char* file) { return ReadBytes(dir.File(name + "/" + file)); }
    TScratch dir;
};

TEST_F(Sites, EachSiteRunsTheMembersOfItsOwnExperiment) {
    // A summary gathered a slice at a time, each pass reading its site alone.
    EXPECT_EQ(Run("both", Site("temperate", "temperate") + Site("boreal", "boreal") + Rest, 8).counts.members, 12u);
    Run("temperate", Single("temperate") + Rest);
    Run("boreal", Single("boreal") + Rest);

    const auto both = Lines(Read("both", "members.csv"));
    const auto t = Lines(Read("temperate", "members.csv"));
    const auto b = Lines(Read("boreal", "members.csv"));
    ASSERT_EQ(both.size(), 13u);
    EXPECT_EQ(both[0], "site," + t[0]);
    for (std::size_t i = 1; i <= 6; ++i) {
        EXPECT_EQ(both[i], "temperate," + t[i]);
        EXPECT_EQ(both[i + 6], "boreal," + b[i]);
    }
    // Relative distributions move each site around its own values.
    EXPECT_NE(t[1].substr(t[1].find(",ok,,")), b[1].substr(b[1].find(",ok,,")));

    const auto sumBoth = Lines(Read("both", "summary.csv"));
    const auto sumT = Lines(Read("temperate", "summary.csv"));
    const auto sumB = Lines(Read("boreal", "summary.csv"));
    ASSERT_EQ(sumBoth.size(), 2 * sumT.size() - 1);
    EXPECT_EQ(sumBoth[0], "site," + sumB[0]);
    for (std::size_t i = 1; i < sumT.size(); ++i) {
        EXPECT_EQ(sumBoth[i], "temperate," + sumT[i]);
        EXPECT_EQ(sumBoth[i + sumT.size() - 1], "boreal," + sumB[i]);
    }

    EXPECT_EQ(Slab(dir.File("both/trajectories.nc"), "Cw", 1, true),
              Slab(dir.File("boreal/trajectories.nc"), "Cw", 0, false));
    EXPECT_EQ(Slab(dir.File("both/trajectories.nc"), "NPPt", 0, true),
              Slab(dir.File("temperate/trajectories.nc"), "NPPt", 0, false));
    // Readers of one site's layout refuse it rather than misread it.
    EXPECT_THROW(ReadTrajectoriesInfo(dir.File("both/trajectories.nc")), EInOutError);
}

TEST_F(Sites, EachSiteHasItsOwnSensitivityIndices) {
    std::string rest = Rest;
    const std::string lhs = "method = \"lhs\"\nmembers = 6";
    rest.replace(rest.find(lhs), lhs.size(), "method = \"sobol\"\nmembers = 8\nbootstrap = 50");
    Run("both", Site("temperate", "temperate") + Site("boreal", "boreal") + rest);
    Run("boreal", Single("boreal") + rest);
    for (const char* f : {"indices.csv", "convergence.csv"}) {
        const auto both = Lines(Read("both", f));
        const auto b = Lines(Read("boreal", f));
        ASSERT_EQ(both.size(), 2 * b.size() - 1) << f;
        EXPECT_EQ(both[0], "site," + b[0]);
        for (std::size_t i = 1; i < b.size(); ++i) EXPECT_EQ(both[i + b.size() - 1], "boreal," + b[i]) << f;
    }
    const std::string report = Read("both", "report.txt");
    EXPECT_EQ(report.rfind("Site temperate\r\n\r\n", 0), 0u);
    EXPECT_NE(report.find("\r\nSite boreal\r\n\r\n" + Read("boreal", "report.txt")), std::string::npos);
}

TEST_F(Sites, ASiteCalculatesFromItsOwnObservations) {
    // The entry is the base of a relative factor around it.
    EXPECT_EQ(Run("lower", Site("temperate", "temperate", "[site.steady_state]\nPs = 1300\nat_time = 0\n") + Rest)
                  .counts.ok, 6u);
    for (const std::string& row : Lines(Read("lower", "members.csv"))) {
        if (row.rfind("temperate,", 0) != 0) continue;
        const double ps = std::stod(row.substr(row.find(",ok,,") + 5));
        EXPECT_GE(ps, 1300 * 0.9);
        EXPECT_LE(ps, 1300 * 1.1);
    }
}

TEST(SitesExperiment, ShippedExampleReads) {
    const TExperiment e = ReadExperiment(ExampleDir + "/two-sites-co2.toml");
    ASSERT_EQ(e.sites.size(), 2u);
    EXPECT_TRUE(e.siteList);
    EXPECT_EQ(e.sites[1].name, "boreal");
    ASSERT_EQ(e.sites[1].entries.size(), 1u);
    EXPECT_EQ(e.sites[1].entries[0].symbol, "Ps");
    EXPECT_EQ(e.sites[1].entries[0].value, 800);
    EXPECT_TRUE(e.sites[0].entries.empty());

    // Written out and read again, it is the same experiment of two sites.
    TScratch dir;
    const std::string copy = dir.File("copy.toml");
    WriteExperiment(e, copy);
    const TExperiment back = ReadExperiment(copy);
    ASSERT_EQ(back.sites.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back.sites[i].name, e.sites[i].name);
        EXPECT_TRUE(std::filesystem::equivalent(back.sites[i].parameterFile, e.sites[i].parameterFile));
        EXPECT_EQ(back.sites[i].entries.size(), e.sites[i].entries.size());
    }
    EXPECT_EQ(back.sites[1].entries[0].value, 800);
}

TEST(SitesExperiment, MistakesInSiteTablesSayWhere) {
    TScratch dir;
    const auto message = [&](const std::string& text) {
        const std::string path = dir.Write("m.toml", text);
        try {
            ReadExperiment(path);
        } catch (const EExperimentError& err) {
            const std::string what = err.what();  // its first line
            return what.substr(path.size() + 1, what.find('\n') - path.size() - 1);
        }
        return std::string("read");
    };
    const std::string noName = "[[site]]\nparameters = \"" + ExampleDir + "/temperate.par\"\ndrivers = \"" + ExampleDir +
                               "/temperate.drr\"\n";
    EXPECT_EQ(message(noName + noName + Rest),
              "4: two sites are named \"temperate\": give each [[site]] a \"name\" of its own");
    const std::string withoutStep = Rest.substr(0, Rest.find("[steady_state]")) +
                                    Rest.substr(Rest.find("[[factor]]\nkind = \"parameter\""));
    EXPECT_EQ(message(Site("a", "temperate", "[site.steady_state]\nPs = 1\n") + withoutStep),
              "5: site \"a\" has steady-state entries, and the experiment no [steady_state] table to use them");
    EXPECT_EQ(message(Site("a", "temperate", "[site.steady_state]\nPss = 1\n") + Rest).substr(0, 70),
              "6: \"Pss\" is not a state, parameter or process; the closest names are: ");
    EXPECT_EQ(message(Site("a", "temperate", "[site.steady_state]\nCs = 1\n") + Rest),
              "6: \"Cs\" is derived by the steady-state step, so it cannot be an entry");
    EXPECT_EQ(message(Site("a", "temperate", "[site.steady_state]\n\"driver:Ca\" = 1\n") + Rest).substr(0, 48),
              "6: \"driver\" is not a kind of steady-state entry:");
}

}  // namespace
}  // namespace orvane::ensemble
