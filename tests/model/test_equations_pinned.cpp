// The model's results pinned to the bit on many inputs around the test
// site: every process value, the guarded states, and for inputs that fault
// the error kind and message. The reference hash was taken from the model as
// it stood before any work on its speed, so a rearranged formula that moves
// the last bit of a single result, or a fault now reported by another
// operation, shows up here. Inputs come from a fixed generator, with some
// values pushed to 0, negative, huge, tiny or not a number so that the
// clamps, the switches and the fault detection all take their turn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <typeinfo>

#include "model/equations.h"
#include "model/errors.h"
#include "model/site_fixture.h"
#include "model/pinned_inputs.h"

namespace orvane {
namespace {

TEST(EquationsPinned, ResultsAndFaultsOnGeneratedInputsAreUnchanged) {
    pinned::THash hash;
    int faults = 0, insolubleCN = 0;
    for (int k = 0; k < pinned::NumCases; ++k) {
        pinned::TCase c(k);
        try {
            EvaluateModel(c.d, c.p, c.s, 0.0, c.x, false, c.context);
            for (int i = 1; i <= 126; ++i) hash.Add(c.x[i].value);
        } catch (const ECalculateError& e) {
            ++insolubleCN;
            hash.Add(std::string("C:") + e.what());
        } catch (const EMathError& e) {
            ++faults;
            hash.Add(std::string(typeid(e).name()) + e.what());
        }
        for (int i = 1; i <= 19; ++i) hash.Add(c.s[i].value);
    }
    // The sample must exercise both outcomes to be worth its hash.
    EXPECT_GT(faults, pinned::NumCases / 10);
    EXPECT_GT(insolubleCN, 10);
    EXPECT_LT(faults + insolubleCN, pinned::NumCases * 9 / 10);
    EXPECT_EQ(hash.value, 0xb89855115df7abaeu) << std::hex << "0x" << hash.value << std::dec << " faults "
                              << faults << " insoluble C:N " << insolubleCN;
}

}  // namespace
}  // namespace orvane
