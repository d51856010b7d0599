#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <cmath>
#include <random>
#include <thread>

#include "model/equations.h"
#include "model/equations_values.h"
#include "model/site_fixture.h"

namespace orvane {
namespace {

constexpr double kUntouched = 12345.0;

struct TSite : fixture::TSiteArrays {
    TSite() {
        for (int i = 1; i <= 126; ++i) x[i].value = kUntouched;
    }
    void Evaluate(const TEvalContext& c = {}) { EvaluateModel(d, p, s, 0.0, x, false, c); }
    bool Untouched() const {
        for (int i = 1; i <= 126; ++i)
            if (x[i].value != kUntouched) return false;
        return true;
    }
};

// Evaluates and expects the error kind E with its message, and no process
// value written.
template <class E>
void ExpectFault(TSite& site, const char* message, const TEvalContext& c = {}) {
    try {
        site.Evaluate(c);
        ADD_FAILURE() << "no error";
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "wrong error: " << e.what();
    }
    EXPECT_TRUE(site.Untouched());
}

struct TFaultCase {
    const char* what;
    void (*spoil)(TSite&);
    const char* message;  // also tells the kind
};

void ExpectCase(const TFaultCase& c) {
    SCOPED_TRACE(c.what);
    TSite site;
    c.spoil(site);
    if (c.message == MsgZeroDivide) ExpectFault<EZeroDivide>(site, c.message);
    if (c.message == MsgInvalidOp) ExpectFault<EInvalidOp>(site, c.message);
    if (c.message == MsgOverflow) ExpectFault<EOverflow>(site, c.message);
}

TEST(EquationFaults, EachFaultKindWithItsMessage) {
    const TFaultCase cases[] = {
        {"no foliage nitrogen: Cf / Nf in maintenance respiration",
         [](TSite& s) { s.s[st::Nf].value = 0; }, MsgZeroDivide},
        {"no foliage: the canopy light term is 0 / 0",
         [](TSite& s) { s.s[st::Cf].value = 0; }, MsgInvalidOp},
        {"soil drier than wilting point: zero canopy conductance",
         [](TSite& s) { s.p[pa::Ww].value = 0.3, s.p[pa::Wf].value = 0.4; }, MsgZeroDivide},
        {"Q10d = 0 has no logarithm", [](TSite& s) { s.p[pa::Q10d].value = 0; }, MsgZeroDivide},
        {"negative Q10d", [](TSite& s) { s.p[pa::Q10d].value = -2; }, MsgInvalidOp},
        {"wood growth overflows", [](TSite& s) { s.s[st::Cw].value = 1e307; }, MsgOverflow},
        {"no foliage litter: N / C of litter is 0 / 0",
         [](TSite& s) { s.p[pa::AlambdaF].value = 0; }, MsgInvalidOp},
    };
    for (const auto& c : cases) ExpectCase(c);
}

// The error reported is that of the first faulting operation, whatever
// faults follow it, and not a fixed ranking of the kinds.
TEST(EquationFaults, FirstFaultInEvaluationOrderWins) {
    const TFaultCase cases[] = {
        {"0 / 0 in photosynthesis before ln(0) in the soil",
         [](TSite& s) { s.s[st::Cf].value = 0, s.p[pa::Q10d].value = 0; }, MsgInvalidOp},
        {"x / 0 in respiration before ln(-1) in the soil",
         [](TSite& s) { s.s[st::Nf].value = 0, s.p[pa::Q10d].value = -1; }, MsgZeroDivide},
        {"overflow in soil water, then inf * 0 and x / 0 further on",
         [](TSite& s) { s.d[dr::Ppt].value = -100; }, MsgOverflow},
        // Terms of the drivers and parameters alone fault in their places too.
        {"x / 0 in the leaf area before the latitude overflows",
         [](TSite& s) { s.p[pa::mf].value = 0, s.p[pa::Deltad].value = 1e308; }, MsgZeroDivide},
        {"root of a negative in soil ammonium before evapotranspiration overflows",
         [](TSite& s) { s.p[pa::etanh4].value = -1000, s.p[pa::p].value = -1e3; }, MsgInvalidOp},
        {"ln(0) times 0 at Ts = 0: the division by zero came first",
         [](TSite& s) {
             s.p[pa::Q10d].value = 0;
             s.d[dr::Tamax].value = s.d[dr::Tamin].value = 3;
         },
         MsgZeroDivide},
    };
    for (const auto& c : cases) ExpectCase(c);
}

TEST(EquationFaults, GuardStillAppliesWhenTheEvaluationFails) {
    TSite s;
    s.s[st::Cw].value = -3;
    s.s[st::Cf].value = 0;
    ExpectFault<EInvalidOp>(s, MsgInvalidOp);
    EXPECT_EQ(s.s[st::Cw].value, 1e-05);
    EXPECT_EQ(s.s[st::Cf].value, 0.0);
}

// Insoluble C:N at or below its target: an error only for the steady-state
// calculator's final evaluation, outside batch mode.
TEST(EquationFaults, InsolubleCNErrorOnlyUnderItsThreeConditions) {
    for (const double na : {0.0 /* ratio exactly qI */, 1000.0 /* below */}) {
        for (int mask = 0; mask < 8; ++mask) {
            const TEvalContext c{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
            SCOPED_TRACE(::testing::Message() << "Na " << na << " context " << mask);
            TSite s;
            if (na > 0) {
                s.s[st::Na].value = na;
            } else {
                s.p[pa::qI].value = s.s[st::Ci].value / s.s[st::Na].value;
            }
            if (!c.ModelBatch && c.CalcFormShowing && c.FinalPass) {
                ExpectFault<ECalculateError>(s, MsgInsolubleCN, c);
            } else {
                ASSERT_NO_THROW(s.Evaluate(c));
                EXPECT_EQ(s.x[pr::FNia].value, 0.0);
                EXPECT_GT(s.x[pr::FNah].value, 0.0);
            }
        }
    }
    // Above the target nothing is raised even then.
    TSite s;
    EXPECT_NO_THROW(s.Evaluate({false, true, true}));
    EXPECT_GT(s.x[pr::FNia].value, 0.0);
}

TEST(EquationFaults, InsolubleCNErrorEndsTheEvaluationWhereItArises) {
    const TEvalContext finalPass{false, true, true};
    // A fault further on (humus nitrogen release overflows) is never reached.
    TSite later;
    later.s[st::Na].value = 1000;
    later.p[pa::Ah].value = 1;
    later.s[st::Nh].value = 1e307;
    ExpectFault<ECalculateError>(later, MsgInsolubleCN, finalPass);
    ExpectFault<EOverflow>(later, MsgOverflow);

    // A fault before it is reported instead.
    TSite earlier;
    earlier.s[st::Na].value = 1000;
    earlier.p[pa::Q10d].value = -1;
    ExpectFault<EInvalidOp>(earlier, MsgInvalidOp, finalPass);
}

TEST(EquationFaults, CallersFloatingPointFlagsAreLeftAsTheyWere) {
    std::feclearexcept(FE_ALL_EXCEPT);
    TSite good;
    good.Evaluate();
    EXPECT_EQ(std::fetestexcept(fp::kFaultFlags), 0);

    std::feraiseexcept(FE_DIVBYZERO);
    good.Evaluate();
    EXPECT_EQ(std::fetestexcept(fp::kFaultFlags), FE_DIVBYZERO);

    TSite bad;
    bad.s[st::Cf].value = 0;
    EXPECT_THROW(bad.Evaluate(), EInvalidOp);
    EXPECT_EQ(std::fetestexcept(fp::kFaultFlags), FE_DIVBYZERO);

    // A stale flag of the caller's does not make a good evaluation fail.
    std::feraiseexcept(FE_INVALID | FE_OVERFLOW);
    EXPECT_NO_THROW(good.Evaluate());
    std::feclearexcept(FE_ALL_EXCEPT);
}

TEST(EquationFaults, IndependentEvaluationsRunInParallel) {
    TSite reference;
    reference.Evaluate();
    const double ps = reference.x[pr::Ps].value;
    std::atomic<int> wrong{0};
    auto work = [&wrong, ps](bool faulty) {
        for (int i = 0; i < 2000; ++i) {
            TSite s;
            if (faulty) s.s[st::Cf].value = 0;
            try {
                s.Evaluate();
                if (faulty || s.x[pr::Ps].value != ps) ++wrong;
            } catch (const EInvalidOp&) {
                if (!faulty) ++wrong;
            } catch (...) {
                ++wrong;
            }
        }
    };
    std::thread a(work, true), b(work, false);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

// The search for the first fault rests on the checked numbers computing
// exactly what plain doubles compute, and the terms kept from one evaluation
// on their being what the formulas written out give.
TEST(EquationFaults, CheckedNumbersAndKeptTermsComputeTheSameValues) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> scale(0.7, 1.3);
    using namespace model;
    for (int trial = 0; trial < 50; ++trial) {
        TSite s;
        for (int i = 1; i <= 19; ++i) s.s[i].value *= scale(rng);
        for (int i = 1; i <= 8; ++i) s.d[i].value *= scale(rng);
        TDriverValues<double> D;
        TParamValues<double> P;
        TStateValues<double> S;
        TDriverValues<TChecked> Dc;
        TParamValues<TChecked> Pc;
        TStateValues<TChecked> Sc;
#define LOAD_D(name) Dc.name = D.name = s.d[dr::name].value;
#define LOAD_P(name) Pc.name = P.name = s.p[pa::name].value;
#define LOAD_S(name) Sc.name = S.name = s.s[st::name].value;
        ORVANE_DRIVERS(LOAD_D)
        ORVANE_PARAMS(LOAD_P)
        ORVANE_STATES(LOAD_S)
#undef LOAD_D
#undef LOAD_P
#undef LOAD_S
        TTermValues<double> terms;
        TTermValues<TChecked> termsC;
        TResults<double> x{}, xKept{};  // the totals are not the parts' business: 0 in all
        TResults<TChecked> xC{};
        const TInputs<double> in{D, P, S};
        const TInputs<TChecked> inC{Dc, Pc, Sc};
        const auto all = [](const auto& in, const auto& T, auto& x) {
            ComputeSite(in, T, x);
            ComputePlant(in, T, x);
            ComputeSoil(in, T, x, false);
        };
        all(in, TComputedTerms{D, P, terms}, x);
        ASSERT_EQ(terms.computed, AllTerms);
        all(in, TCachedTerms{D, P, terms}, xKept);
        all(inC, TCheckedTerms{Dc, Pc, termsC}, xC);
#define SAME(name)                          \
    EXPECT_EQ(x.name, xC.name.v) << #name;  \
    EXPECT_EQ(x.name, xKept.name) << #name;
        ORVANE_PROCESSES(SAME)
#undef SAME
    }
}

TEST(EquationFaults, CheckedNumbersAndPower) {
    using model::Power;
    using model::TChecked;
    const TChecked zero(0.0), one(1.0), huge(1e308), tiny(1e-308);
    // Each check starts from clear flags, as the search for a fault does.
    auto clear = [] { std::feclearexcept(FE_ALL_EXCEPT); };
    clear(); EXPECT_THROW(one / zero, EZeroDivide);
    clear(); EXPECT_THROW(zero / zero, EInvalidOp);
    clear(); EXPECT_THROW(huge * TChecked(10.0), EOverflow);
    clear(); EXPECT_THROW(model::Ln(TChecked(-1.0)), EInvalidOp);
    clear(); EXPECT_THROW(model::Ln(zero), EZeroDivide);
    clear(); EXPECT_THROW(model::Sqrt(TChecked(-1.0)), EInvalidOp);
    clear(); EXPECT_THROW((void)(TChecked(std::nan("")) > zero), EInvalidOp);
    clear(); EXPECT_NO_THROW(tiny * tiny);           // underflow is silent
    clear(); EXPECT_NO_THROW(one / TChecked(3.0));   // so is inexact
    clear();

    EXPECT_EQ(Power(0.0, 0.0), 1.0);
    EXPECT_EQ(Power(-2.0, 0.0), 1.0);
    EXPECT_EQ(Power(0.0, 2.5), 0.0);
    EXPECT_EQ(Power(-2.0, 2.0), 4.0);
    EXPECT_EQ(Power(TChecked(0.0), TChecked(0.0)).v, 1.0);
    clear(); EXPECT_THROW(Power(TChecked(-8.0), TChecked(1.0 / 3)), EInvalidOp);
    clear(); EXPECT_THROW(Power(TChecked(0.0), TChecked(-1.0)), EZeroDivide);
    clear();
}

}  // namespace
}  // namespace orvane
