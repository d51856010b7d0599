#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "model/equations.h"
#include "model/site_fixture.h"

namespace orvane {
namespace {

constexpr int NumProcesses = 126;
constexpr int NumStates = 19;

struct TSite : fixture::TSiteArrays {
    void Evaluate(const TEvalContext& c = {}) { EvaluateModel(d, p, s, 0.0, x, false, c); }
    double operator[](int process) const { return x[process].value; }
};

// Processes 1..126 of the site with distinct season lengths and a few
// states moved off the steady state, computed independently of this code.
const double kReference[NumProcesses] = {
    0, -1.2624434389140333, -0.00056470588233992203, 0,
    -0.0023300970873786353, 0, 33.806489141815064, 60.860727950936074,
    15.736281584863718, 0.43351708797494121, 0.52255060265730968, 0.82096802427890125,
    19.222327170122526, 16.948826041029633, 16.294060823860633, -64.375141778755648,
    0.93118987835585365, 0, -2.7310968607625092, 901.7404905328184,
    506.68535208753963, 792.60000000000002, 14.710000000000001, 1408.4258426203576,
    4.9500000000000002, 4.5, 0.45000000000000001, 16.484705617823764,
    40, 1243.0814891418152, 1051.8826736522935, 943.39797570251085,
    28.893517087974942, 31.180220505569931, 32.712968024278901, 871.77500000000009,
    760, 522.66240000000005, 17.460000000000001, 30,
    23.891999999999999, 371.30648914181506, 291.88267365229353, 420.7355757025108,
    11.433517087974941, 1.1802205055699311, 8.8209680242789013, 312.5,
    223.42194570135746, 374.99929411764708, 10, 0.59766990291262134,
    7.5, 9000, 30, 275,
    187.59999999999999, 330, 6.0499999999999998, 0.66000000000000003,
    8, 250, 180, 300,
    5.5, 0.59999999999999998, 7.5, 25,
    7.6000000000000005, 30, 0.55000000000000004, 0.060000000000000005,
    0.5, 143.62527603093469, 166.37230318667349, 196.68777286993142,
    81.125276030934671, 121.687914046402, 121.687914046402, 62.5,
    44.684389140271492, 74.999858823529422, 0.74196780653509919, 308.80648914181506,
    247.19828451202204, 345.73571687898141, 10315, 60,
    25, 300, 40, 12,
    160, 9, 339.73562441351334, 227.51571969777427,
    225.34865588871247, 320.51329724339081, 377.57863482862058, 391.08881992898165,
    195.54440996449082, 544.59037600049646, 259.91955174324647, 216.59962645270539,
    9.7772204982245405, 13.429176840067734, 9.4275872166481296, 9.7772204982245405,
    804.50992774374299, 13.778810121644147, 22919.105, 761.39599999999996,
    125.99981116714689, 0.82909189866887045, 0.30110179326890663, 77.145568103718119,
    1.0639154218116893, 0.32520136458289328, 275, 9380,
    660, 11, 33, 16,
    97.230562789075407, 0.5988982067310934,
};

TEST(Equations, EveryProcessMatchesAnIndependentCalculation) {
    TSite site;
    site.d[dr::Sp].value = 140;
    site.d[dr::Ss].value = 160;
    site.d[dr::Tamax].value = 20;
    site.d[dr::Tamin].value = 4;
    site.d[dr::Ppt].value = 0.9;
    site.s[st::Ch].value = 12000;
    site.s[st::Na].value = 310;
    site.s[st::Nnh4].value = 1.2;
    site.s[st::Clw].value = 380;
    site.p[pa::aTau].value = 0.45;
    site.Evaluate();
    for (int i = 1; i <= NumProcesses; ++i) {
        const double want = kReference[i - 1];
        // Derivatives are small differences of large fluxes: compare them
        // against the size of those fluxes.
        const double tol = i <= NumStates ? 1e-9 : 1e-12 * std::fabs(want);
        EXPECT_NEAR(site[i], want, tol) << "process " << i << " " << site.x[i].symbol;
    }
}

// The other side of every switch the forest site does not reach: nitrogen-rich
// organs (maintenance respiration capped by carbon at the growth C:N), root
// C:N below qu0, part of the wood as sapwood, soil wetter than field capacity,
// no ammonium sorption, respiration at its optimum temperature, a southern
// site in its winter half-year, and an insoluble C:N below target.
TEST(Equations, OtherBranchesMatchAnIndependentCalculation) {
    TSite site;
    site.d[dr::Tamax].value = 35;
    site.d[dr::Tamin].value = 15;  // Ta = Tropt
    site.d[dr::Ppt].value = 1.5;
    site.s[st::Nf].value = 20;
    site.s[st::Nw].value = 60;
    site.s[st::Nr].value = 30;
    site.s[st::Ci].value = 5000;  // Ci / Na = 16.7 < qI = 20
    site.p[pa::h1].value = 2;
    site.p[pa::Wf].value = 0.15;
    site.p[pa::Deltad].value = -30;
    site.p[pa::daymid].value = 200;
    site.p[pa::Nnh4mx].value = 0;
    site.Evaluate();

    // Closed forms of the branches taken.
    const double W = site[pr::W];
    const double CNgf = (4.0 * 10) / (0.112 * 20), CNgw = (0.048125 * 50) / (0.00012 * 100),
                 CNgr = (1.77083 * 20) / (0.03125 * 40);
    EXPECT_EQ(site[pr::Hr], 1.0);
    EXPECT_EQ(site[pr::qU], 30.0);
    EXPECT_DOUBLE_EQ(site[pr::Csw], 2 * (250.0 / 50) * std::sqrt(9000.0));
    EXPECT_DOUBLE_EQ(site[pr::Nsw], site[pr::Csw] * 60 / 9000);
    EXPECT_DOUBLE_EQ(site[pr::Rfmet], 10.9338 * 250 / CNgf);
    EXPECT_DOUBLE_EQ(site[pr::Rwmet], 0.5 * 10.9338 * site[pr::Csw] / CNgw);
    EXPECT_DOUBLE_EQ(site[pr::Rrmet], 10.9338 * 600 / CNgr);
    EXPECT_DOUBLE_EQ(site[pr::Nnh4aq], 1.0 / (1.4e-05 * W));
    EXPECT_NEAR(site[pr::Nnh4s], 0.0, 1e-12);
    EXPECT_EQ(site[pr::FNia], 0.0);

    // Values worked out separately from the written equations.
    const struct {
        int process;
        double value;
    } expected[] = {
        {pr::Unh4, 25.063712232727372},   {pr::Qw, 0.9011017828685566},
        {pr::Qnh4, 7.151601453747859},    {pr::Ps, 1642.6320433054998},
        {pr::Jd, 0.8290896419930042},     {pr::rs, 571.4243447414667},
        {pr::FClambdaE, 253.76153857796726}, {pr::FClambdaI, 246.53780874027248},
        {pr::dNfdt, -10.0},               {pr::dNnh4dt, 28.16401334990468},
        {pr::dNadt, -21.31106930302467},
    };
    for (const auto& e : expected)
        EXPECT_NEAR(site[e.process], e.value, 1e-12 * std::fabs(e.value) + 1e-12)
            << site.x[e.process].symbol;
}

TEST(Equations, ForestSiteIsNearSteadyState) {
    TSite site;
    site.Evaluate();
    EXPECT_NEAR(site[pr::Ps], 1300, 0.01);
    EXPECT_NEAR(site[pr::NPPt], 793, 0.01);
    for (int i = 1; i <= NumStates; ++i) EXPECT_NEAR(site[i], 0.0, 0.005) << i;
}

// Identities that hold for any valid input, checked on random variations
// of the forest site (drivers, parameters and states scaled by 0.5..1.5).
TEST(Equations, BalanceIdentitiesHoldOnRandomInputs) {
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> scale(0.5, 1.5);
    for (int trial = 0; trial < 200; ++trial) {
        TSite site;
        for (int i = 1; i <= 8; ++i) site.d[i].value *= scale(rng);
        // Trmax stays above Tropt (the other way round has no respiration
        // temperature curve), and the soil stays above its wilting point.
        for (int i = 1; i <= 88; ++i)
            if (i != pa::Trmax && i != pa::rho && i != pa::z) site.p[i].value *= scale(rng);
        for (int i = 1; i <= NumStates; ++i) site.s[i].value *= scale(rng);
        site.Evaluate();
        const auto& v = site;
        auto near = [](double a, double b) { return 1e-9 * (1 + std::fabs(a) + std::fabs(b)); };
        SCOPED_TRACE(trial);

        EXPECT_NEAR(v[pr::NPPt], v[pr::Ps] - v[pr::Rpt], near(v[pr::NPPt], v[pr::Ps]));
        double vegC = 0, vegN = 0;
        for (int i : {pr::dCfdt, pr::dCwdt, pr::dCrdt, pr::dClfdt, pr::dClwdt, pr::dClrdt})
            vegC += v[i];
        for (int i : {pr::dNfdt, pr::dNwdt, pr::dNrdt, pr::dNlfdt, pr::dNlwdt, pr::dNlrdt})
            vegN += v[i];
        EXPECT_NEAR(vegC, v[pr::NPPt] - v[pr::lambdaCt], near(v[pr::Ps], v[pr::lambdaCt]));
        EXPECT_NEAR(vegN, v[pr::Unh4] - v[pr::lambdaNt], near(v[pr::Unh4], v[pr::tauN]));
        EXPECT_NEAR(v[pr::FClambdaS] + v[pr::FClambdaE] + v[pr::FClambdaI], v[pr::lambdaCt],
                    near(v[pr::lambdaCt], 0));
        EXPECT_NEAR(v[pr::dCsdt] + v[pr::dCedt] + v[pr::dCidt] + v[pr::dChdt],
                    v[pr::lambdaCt] - v[pr::Rst], near(v[pr::FCei], v[pr::FCie]));
        EXPECT_NEAR(v[pr::dNadt] + v[pr::dNhdt] + v[pr::dNnh4dt],
                    v[pr::lambdaNt] + site.d[dr::Dnh4].value - v[pr::Unh4] - v[pr::Qnh4],
                    near(v[pr::FNai], v[pr::FNia]));
        // The conductance network conserves what enters it.
        EXPECT_NEAR(v[pr::Gclf] + v[pr::Gclw] + v[pr::Gclr],
                    v[pr::Ps] - v[pr::Rfmet] - v[pr::Rwmet] - v[pr::Rrmet],
                    near(v[pr::Scf], v[pr::Tcf]));
        EXPECT_NEAR(v[pr::Gnlf] + v[pr::Gnlw] + v[pr::Gnlr], v[pr::tauN] + v[pr::Unh4],
                    near(v[pr::Snr], v[pr::Tnr]));
        EXPECT_GE(v[pr::Qw], 0.0);
        EXPECT_EQ(v[pr::Sp], site.d[dr::Ss].value);
    }
}

TEST(Equations, NegativeAndNaNStatesAreGuardedInTheCallersArray) {
    TSite guarded;
    guarded.s[st::Clw].value = -3;
    guarded.s[st::Nh].value = std::nan("");
    guarded.Evaluate();
    EXPECT_EQ(guarded.s[st::Clw].value, 1e-05);
    EXPECT_EQ(guarded.s[st::Nh].value, 1e-05);

    TSite direct;
    direct.s[st::Clw].value = 1e-05;
    direct.s[st::Nh].value = 1e-05;
    direct.Evaluate();
    for (int i = 1; i <= NumProcesses; ++i) EXPECT_EQ(guarded[i], direct[i]) << i;
    EXPECT_EQ(guarded[pr::Cwt], 9000 + 1e-05);

    // Zero is a valid amount and stays as it is.
    TSite zero;
    zero.s[st::Nnh4].value = 0;
    zero.Evaluate();
    EXPECT_EQ(zero.s[st::Nnh4].value, 0.0);
    EXPECT_EQ(zero[pr::Nnh4aq], 0.0);
}

TEST(Equations, HeldStatesGetZeroDerivativeWhileTheirFluxesAreStillDelivered) {
    TSite free;
    free.s[st::Clf].value = 40;  // off balance, so dCfdt is not 0 by itself
    free.Evaluate();
    ASSERT_NE(free[pr::dCfdt], 0.0);

    TSite held;
    held.s[st::Clf].value = 40;
    held.s[st::Cf].HoldConstant = true;
    held.Evaluate();
    EXPECT_EQ(held[pr::dCfdt], 0.0);
    EXPECT_FALSE(std::signbit(held[pr::dCfdt]));
    for (int i = 2; i <= NumProcesses; ++i) EXPECT_EQ(held[i], free[i]) << i;

    for (int i = 1; i <= NumStates; ++i) held.s[i].HoldConstant = true;
    held.Evaluate();
    for (int i = 1; i <= NumStates; ++i) EXPECT_EQ(held[i], 0.0) << i;
    EXPECT_EQ(held[pr::Gcf], free[pr::Gcf]);
}

TEST(Equations, SeasonLengthDriversFeedTheirOwnSide) {
    TSite base;
    base.d[dr::Sp].value = 150;
    base.d[dr::Ss].value = 200;
    base.Evaluate();
    EXPECT_EQ(base[pr::Sp], 200.0);

    // Driver 7 scales the soil only...
    TSite soil = base;
    soil.d[dr::Sp].value = 300;
    soil.Evaluate();
    EXPECT_DOUBLE_EQ(soil[pr::rs], 2 * base[pr::rs]);
    EXPECT_EQ(soil[pr::Ps], base[pr::Ps]);
    EXPECT_EQ(soil[pr::Unh4], base[pr::Unh4]);
    EXPECT_EQ(soil[pr::Sp], 200.0);

    // ...driver 8 the plant only.
    TSite plant = base;
    plant.d[dr::Ss].value = 100;
    plant.Evaluate();
    EXPECT_DOUBLE_EQ(plant[pr::Ps], base[pr::Ps] / 2);
    EXPECT_DOUBLE_EQ(plant[pr::Unh4], base[pr::Unh4] / 2);
    EXPECT_EQ(plant[pr::rs], base[pr::rs]);

    // No soil activity without a plant season: every soil transfer stops.
    TSite dormant = base;
    dormant.d[dr::Sp].value = 0;
    dormant.Evaluate();
    for (int i : {pr::FCse, pr::FCei, pr::FCie, pr::FCih, pr::Re, pr::Rh, pr::FNai, pr::FNia,
                  pr::FNah, pr::FNhi})
        EXPECT_EQ(dormant[i], 0.0) << i;
}

TEST(Equations, TimeAndFlagChangeNothingAndOnlyValuesAreWritten) {
    TSite a, b;
    a.Evaluate();
    EvaluateModel(b.d, b.p, b.s, 1234.5, b.x, true);
    for (int i = 1; i <= NumProcesses; ++i) EXPECT_EQ(a[i], b[i]) << i;

    // Names, units, symbols and counts are left alone; slots past 126 too.
    processarray x;
    x[1].symbol = "dCfdt";
    x[24].numparams = 10;
    x[127].value = 42;
    EvaluateModel(a.d, a.p, a.s, 0, x, false);
    EXPECT_EQ(x[1].symbol, "dCfdt");
    EXPECT_EQ(x[24].numparams, 10);
    EXPECT_EQ(x[127].value, 42.0);
}

TEST(Equations, ClampsAndSwitches) {
    // Dry year: soil water 70 mm, all precipitation evaporates.
    TSite dry;
    dry.d[dr::Ppt].value = 0;
    dry.Evaluate();
    EXPECT_EQ(dry[pr::W], 70.0);
    EXPECT_EQ(dry[pr::Qw], 0.0);
    EXPECT_EQ(dry[pr::Qnh4], 0.0);

    // Above the optimum temperature for respiration nothing respires.
    TSite hot;
    hot.p[pa::Trmax].value = 12;  // Ta is 12
    hot.Evaluate();
    EXPECT_EQ(hot[pr::Hr], 0.0);
    EXPECT_EQ(hot[pr::Rfmet] + hot[pr::Rwmet] + hot[pr::Rrmet], 0.0);
    TSite optimum;
    optimum.p[pa::Tropt].value = 12;
    optimum.Evaluate();
    EXPECT_DOUBLE_EQ(optimum[pr::Hr], 1.0);

    // Polar day and polar night, and the equator's 12 hours.
    auto ps = [](double latitude) {
        TSite s;
        s.p[pa::Deltad].value = latitude;
        s.Evaluate();
        return s[pr::Ps];
    };
    const double day = ps(80), night = ps(-80), equator = ps(0);
    EXPECT_NEAR(day / night, (0.125 * 24 + 2.196) / 2.196, 1e-12);
    EXPECT_NEAR(equator / night, (0.125 * 12 + 2.196) / 2.196, 1e-12);

    // Uptake never uses a root C:N below qu0, equal counting as below.
    TSite roots;
    roots.s[st::Nr].value = 20;  // C:N 30 = qu0
    roots.Evaluate();
    EXPECT_EQ(roots[pr::qU], 30.0);

    // A large leaf area makes all wood sapwood; a small one only part of it.
    TSite sap;
    sap.p[pa::h1].value = 2;
    sap.Evaluate();
    EXPECT_DOUBLE_EQ(sap[pr::Csw], 2 * 5 * std::sqrt(9000.0));
    EXPECT_DOUBLE_EQ(sap[pr::Nsw], sap[pr::Csw] * 30 / 9000);

    // All foliage nitrogen translocated: none leaves in litter.
    TSite tr;
    tr.p[pa::aTau].value = 1;
    tr.Evaluate();
    EXPECT_EQ(tr[pr::lambdaNSF], 0.0);
    EXPECT_EQ(tr[pr::lambdaNLF], 0.0);

    // No active soil nitrogen: no immobilisation, and no fault from Ci / Na.
    TSite bare;
    bare.s[st::Na].value = 0;
    bare.Evaluate();
    EXPECT_EQ(bare[pr::FNia], 0.0);
    EXPECT_EQ(bare[pr::FNai], 0.0);
}

TEST(Equations, StemVoltageAndMoistureFactor) {
    // Disconnected organs: the stem node carries the wood's own source.
    EXPECT_DOUBLE_EQ(StemVoltage(0, 0, 1, 2, 3, 10, 8, 6), 4.0);
    // Kirchhoff: with If at foliage only, the three storage fluxes add up to If.
    const double Ka = 5, Kb = 3, Kf = 2, Kw = 1, Kr = 4, If = 100;
    const double V = StemVoltage(Ka, Kb, Kf, Kw, Kr, If, 0, 0);
    const double Sf = (If + Ka * V) * Kf / (Kf + Ka);
    const double Sr = (Kb * V) * Kr / (Kr + Kb);
    EXPECT_NEAR(Sf + Kw * V + Sr, If, 1e-12);

    EXPECT_DOUBLE_EQ(MoistureFactor(100, 100, 50, 0.5, 1), 1.0);
    EXPECT_DOUBLE_EQ(MoistureFactor(50, 100, 50, 0.5, 1), 0.5);
    EXPECT_DOUBLE_EQ(MoistureFactor(150, 100, 50, 0.5, 1), 0.5);
    EXPECT_DOUBLE_EQ(MoistureFactor(75, 100, 50, 0.5, 1), std::pow(0.5, 0.25));
}

}  // namespace
}  // namespace orvane
