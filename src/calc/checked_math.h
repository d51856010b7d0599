// Arithmetic for the steady-state derivation that reports floating-point
// faults at the operation that causes them, independent of the IEEE flags
// and of what the compiler does with them: each step of the derivation must
// stop at its first fault, with the runtime's math-error kinds.
#pragma once

#include <cmath>

#include "model/errors.h"

namespace orvane::checked {

[[noreturn]] inline void RaiseZeroDivide() { throw EZeroDivide(MsgZeroDivide); }
[[noreturn]] inline void RaiseInvalidOp() { throw EInvalidOp(MsgInvalidOp); }
[[noreturn]] inline void RaiseOverflow() { throw EOverflow(MsgOverflow); }

// A double whose + - * / raise EZeroDivide, EInvalidOp or EOverflow as the
// hardware would flag them. A quiet NaN that is already there passes through
// silently, as it does in the hardware; the checks of the derivation catch it.
struct Num {
    double v;
    Num(double x) : v(x) {}  // NOLINT: plain numbers mix freely with checked ones
};

namespace detail {
// Sum, difference or product r of a and b: inf - inf and 0 * inf are
// invalid, an infinite result from finite operands is an overflow.
inline Num Settle(double r, double a, double b) {
    if (std::isnan(r) && !std::isnan(a) && !std::isnan(b)) RaiseInvalidOp();
    if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) RaiseOverflow();
    return r;
}
}  // namespace detail

inline Num operator+(Num a, Num b) { return detail::Settle(a.v + b.v, a.v, b.v); }
inline Num operator-(Num a, Num b) { return detail::Settle(a.v - b.v, a.v, b.v); }
inline Num operator*(Num a, Num b) { return detail::Settle(a.v * b.v, a.v, b.v); }
inline Num operator-(Num a) { return -a.v; }

inline Num operator/(Num a, Num b) {
    if (std::isnan(a.v) || std::isnan(b.v)) return a.v / b.v;
    if (b.v == 0.0) {
        if (a.v == 0.0) RaiseInvalidOp();  // 0/0
        RaiseZeroDivide();
    }
    if (std::isinf(a.v) && std::isinf(b.v)) RaiseInvalidOp();
    const double r = a.v / b.v;
    if (std::isinf(r) && std::isfinite(a.v)) RaiseOverflow();
    return r;
}

}  // namespace orvane::checked
