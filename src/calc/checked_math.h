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
template <class T>
T Settle(T r, T a, T b) {
    if (std::isnan(r) && !std::isnan(a) && !std::isnan(b)) RaiseInvalidOp();
    if (std::isinf(r) && std::isfinite(a) && std::isfinite(b)) RaiseOverflow();
    return r;
}

template <class T>
T Quotient(T a, T b) {
    if (std::isnan(a) || std::isnan(b)) return a / b;
    if (b == 0) {
        if (a == 0) RaiseInvalidOp();  // 0/0
        RaiseZeroDivide();
    }
    if (std::isinf(a) && std::isinf(b)) RaiseInvalidOp();
    const T r = a / b;
    if (std::isinf(r) && std::isfinite(a)) RaiseOverflow();
    return r;
}
}  // namespace detail

inline Num operator+(Num a, Num b) { return detail::Settle(a.v + b.v, a.v, b.v); }
inline Num operator-(Num a, Num b) { return detail::Settle(a.v - b.v, a.v, b.v); }
inline Num operator*(Num a, Num b) { return detail::Settle(a.v * b.v, a.v, b.v); }
inline Num operator-(Num a) { return -a.v; }
inline Num operator/(Num a, Num b) { return detail::Quotient(a.v, b.v); }

// Extended precision, for the few formulas whose constants are held as
// extended values: every operation stays extended and the result is rounded
// once, when it is stored as a double.
inline long double AddX(long double a, long double b) { return detail::Settle(a + b, a, b); }
inline long double SubX(long double a, long double b) { return detail::Settle(a - b, a, b); }
inline long double MulX(long double a, long double b) { return detail::Settle(a * b, a, b); }
inline long double DivX(long double a, long double b) { return detail::Quotient(a, b); }
// Rounds to a double; a finite value beyond its range overflows.
inline double StoreX(long double x) {
    const double r = static_cast<double>(x);
    if (std::isinf(r) && std::isfinite(x)) RaiseOverflow();
    return r;
}

}  // namespace orvane::checked
