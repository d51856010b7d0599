// The steady-state window's field table as analyses see it.
#include <gtest/gtest.h>

#include <limits>

#include "calc/calc_fields.h"
#include "model/catalogue.h"

namespace orvane {
namespace {

using namespace calcfields;

TEST(CalcFields, EveryFieldBindsAndEightyThreeTakeEntries) {
    TGlobals g;
    InitialiseGlobals(g);
    const auto fields = BindFields(g);
    ASSERT_EQ(fields.size(), 158u);
    for (const TBoundField& f : fields) EXPECT_GT(f.index, 0);
    int inputs = 0;
    for (const TCalcGroupSpec* group : Groups)
        for (auto column : {group->left, group->right})
            for (const TCalcFieldSpec& f : column) inputs += IsInputField(f.kind, f.symbol);
    EXPECT_EQ(inputs, 83);
    EXPECT_TRUE(IsInputField('r', "Ps"));
    EXPECT_TRUE(IsInputField('s', "Nh"));
    EXPECT_FALSE(IsInputField('s', "Ch"));  // derived
    EXPECT_FALSE(IsInputField('p', "Sc"));
}

TEST(CalcFields, ShownValuesAreJudgedAsTheirText) {
    EXPECT_TRUE(ShownValueValid(0));
    EXPECT_TRUE(ShownValueValid(-0.0));
    EXPECT_TRUE(ShownValueValid(1234.5));
    EXPECT_FALSE(ShownValueValid(-1e-300));
    // The window cannot read back what it shows for these.
    EXPECT_FALSE(ShownValueValid(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(ShownValueValid(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace orvane
