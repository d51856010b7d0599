// The model bound to fixed drivers and parameters gives EvaluateModel's
// derivatives and errors to the bit, whether its terms are being computed or
// read back from an earlier evaluation at other states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <typeinfo>

#include "model/bound_model.h"
#include "model/errors.h"
#include "model/pinned_inputs.h"
#include "model/site_fixture.h"

namespace orvane {
namespace {

// Derivatives, or the error kind and message: what one evaluation yields.
std::string Outcome(const auto& evaluate) {
    try {
        const TStateVector d = evaluate();
        pinned::THash h;
        for (int i = 1; i <= 19; ++i) h.Add(d[i]);
        return std::to_string(h.value);
    } catch (const EMathError& e) {
        return std::string(typeid(e).name()) + e.what();
    }
}

std::string ModelOutcome(pinned::TCase c) {
    return Outcome([&] {
        EvaluateModel(c.d, c.p, c.s, 0.0, c.x, false, c.context);
        TStateVector d{};
        for (int i = 1; i <= 19; ++i) d[i] = c.x[i].value;
        return d;
    });
}

TStateVector StatesOf(const statearray& s) {
    TStateVector y{};
    for (int i = 1; i <= 19; ++i) y[i] = s[i].value;
    return y;
}

TEST(BoundModel, SameAsEvaluateModelWithTermsComputedOrKept) {
    const TStateVector site = StatesOf(fixture::TSiteArrays().s);
    int kept = 0;
    for (int k = 0; k < pinned::NumCases; ++k) {
        SCOPED_TRACE(k);
        const pinned::TCase c(k);
        const TStateVector y = StatesOf(c.s);
        const std::string expected = ModelOutcome(c);
        const auto bound = [&](const TBoundModel& m) {
            return Outcome([&] {
                TStateVector d{};
                m.Derivatives(y, d);
                return d;
            });
        };
        // First evaluation: the terms are computed.
        const TBoundModel fresh(c.d, c.p, c.s, c.context);
        EXPECT_EQ(bound(fresh), expected);
        // After an evaluation at other states: the terms may be read back.
        const TBoundModel warm(c.d, c.p, c.s, c.context);
        TStateVector ignored{};
        try {
            warm.Derivatives(site, ignored);
        } catch (const EMathError&) {
        }
        kept += warm.TermsKept();
        EXPECT_EQ(bound(warm), expected);
        EXPECT_EQ(bound(warm), expected);  // and once more, kept for certain
        // The guard acts inside only (NaN states too, so bytes are compared).
        const TStateVector after = StatesOf(c.s);
        EXPECT_EQ(std::memcmp(&after, &y, sizeof y), 0);
    }
    // Most cases have drivers and parameters that evaluate cleanly.
    EXPECT_GT(kept, pinned::NumCases / 2);
}

TEST(BoundModel, KeepsTermsOnlyFromACleanEvaluation) {
    fixture::TSiteArrays site;
    const TBoundModel m(site.d, site.p, site.s);
    TStateVector y = StatesOf(site.s);
    TStateVector d{};
    y[st::Cf] = 0;  // 0 / 0 in the canopy light term
    EXPECT_THROW(m.Derivatives(y, d), EInvalidOp);
    EXPECT_FALSE(m.TermsKept());
    y[st::Cf] = site.s[st::Cf].value;
    m.Derivatives(y, d);
    EXPECT_TRUE(m.TermsKept());
    // Later arrays are not looked at: it holds copies.
    site.d[dr::Ca].value *= 2;
    TStateVector again{};
    m.Derivatives(y, again);
    EXPECT_EQ(again, d);
}

}  // namespace
}  // namespace orvane
