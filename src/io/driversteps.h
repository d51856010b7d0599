// How the drivers in force at a time follow from a stream of driver rows.
// The shared driver-file reader and the driver table's cursor both step
// through this one routine, so a table gives exactly what the file gives.
#pragma once

#include <cmath>
#include <limits>

#include "model/stypes.h"

namespace orvane {

// The time that stands for "no more rows": no time ever reaches it, so the
// last row stays in force for every later request and nothing more is read.
inline constexpr double NoMoreDriverRows = std::numeric_limits<double>::infinity();

// The reader's state during one pass: the last row whose time has been
// reached and the row after it. Both times 0 means nothing has been read yet.
struct TDriverStepState {
    double& PrevTime;
    double& NextTime;
    drivearray& Prev;
    drivearray& Next;
};

// Makes `target` hold the drivers in force at time t. `readRow(time, row)`
// stores the next row's time and values into its arguments and returns true,
// or returns false at the end of the data (changing nothing).
//
// The first request of a pass takes the first row, even for times before its
// own. Rows are stepwise; a row with a negative time is reached by linear
// interpolation from the one before. Requests come with non-decreasing times.
template <class ReadRow>
void StepDrivers(TDriverStepState s, drivearray& target, double t, int numdrive, ReadRow&& readRow) {
    if (s.PrevTime == 0 && s.NextTime == 0) {
        readRow(s.NextTime, s.Next);
        s.PrevTime = s.NextTime;
        s.Prev = s.Next;
        target = s.Next;
    }
    while (std::fabs(s.NextTime) <= t && s.NextTime != NoMoreDriverRows) {
        s.PrevTime = s.NextTime;
        target = s.Next;
        s.Prev = s.Next;
        if (!readRow(s.NextTime, s.Next)) s.NextTime = NoMoreDriverRows;
    }
    // Here |PrevTime| <= t < |NextTime| (or both equal), so the fraction lies
    // in [0, 1) and its divisor is never zero.
    const double prev = std::fabs(s.PrevTime);
    const double next = std::fabs(s.NextTime);
    if (s.NextTime < 0 && next != prev) {
        const double f = (t - prev) / (next - prev);
        for (int i = 1; i <= numdrive; ++i) {
            target[i].value = s.Prev[i].value + f * (s.Next[i].value - s.Prev[i].value);
        }
    }
}

}  // namespace orvane
