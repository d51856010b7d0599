#include "run/outputstep.h"

#include <cmath>

#include "model/errors.h"
#include "run/rounding.h"

namespace orvane {

void CheckOutputStep(const TGlobals& g, double x) {
    if (x < g.TimeStep) throw EOutputStepTooSmall(MsgOutputStepTooSmall);
    if (x > g.StopTime - g.StartTime) throw EOutputStepTooLarge(MsgOutputStepTooLarge);
    const double q = x / g.TimeStep;
    // Written so that a quotient that is not a number fails too.
    if (!(std::fabs(q - RoundHalfEven(q)) <= 0.001)) {
        throw EOutputStepNotMultiple(MsgOutputStepNotMultiple);
    }
}

std::string CorrectOutputStep(TGlobals& g) {
    try {
        CheckOutputStep(g, g.OutputStep);
    } catch (const EOutputStepTooSmall& e) {
        g.OutputStep = g.TimeStep;
        return e.Message() + SuffixOutputStepIncreased;
    } catch (const EOutputStepTooLarge& e) {
        g.OutputStep = g.StopTime - g.StartTime;
        return e.Message() + SuffixOutputStepDecreased;
    } catch (const EOutputStepNotMultiple& e) {
        g.OutputStep = g.TimeStep;
        return e.Message() + SuffixOutputStepChanged;
    }
    return {};
}

}  // namespace orvane
