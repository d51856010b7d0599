// Detection of floating-point faults from the IEEE status flags.
//
// The model runs with the hardware's default masked exceptions: a division by
// zero, an invalid operation or an overflow just sets a sticky status flag
// and yields inf or NaN. We turn those flags into the program's math errors.
//
// Two tools live here:
//  - TFaultFlagScope: clears the fault flags for a computation and gives the
//    caller's own flags back afterwards, so that evaluating the model never
//    hides or invents a fault in code around it;
//  - TChecked: a double whose every operation tests the flags straight after
//    it runs and throws the matching error. Running a computation on TChecked
//    finds the exact first faulting operation; it is slow, so the model only
//    does it after a plain run has shown that some fault happened.
//    Within one formula this reports, say, a division by zero rather than the
//    invalid inf - inf it leads to. Only when both operands of one operation
//    fault independently does the compiler's choice of which operand to
//    evaluate first decide between them.
//
// Compiler barriers: the build uses -ftrapping-math, which keeps the compiler
// from speculating faulting operations, but nothing stops it from moving a
// pure register computation across a call that reads the flags. The empty
// asm statements below pin every operand and result to memory around the
// flag tests so that each test sees exactly the operations before it.
#pragma once

#include <cfenv>
#include <cmath>

#include "model/errors.h"

namespace orvane::fp {

// The three flags that are errors; underflow and inexact are not.
inline constexpr int kFaultFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// Keeps the compiler from moving memory accesses across this point.
inline void CompilerBarrier() { asm volatile("" ::: "memory"); }

// Forces `v` to be computed (and stored) before this point and to be read
// again after it.
inline void Pin(double& v) { asm volatile("" : "+m"(v)::"memory"); }

// Which fault flags are raised. On x86 this reads the SSE and x87 status
// words directly: the library call costs more than the rest of a check.
inline int RaisedFaults() {
#if defined(__x86_64__) || defined(__i386__)
    static_assert(FE_INVALID == 0x01 && FE_DIVBYZERO == 0x04 && FE_OVERFLOW == 0x08,
                  "fenv flags are the hardware status bits");
    unsigned int csr;
    unsigned short sw;
    asm volatile("stmxcsr %0" : "=m"(csr)::"memory");
    asm volatile("fnstsw %0" : "=am"(sw)::"memory");
    return static_cast<int>(csr | sw) & kFaultFlags;
#else
    return std::fetestexcept(kFaultFlags);
#endif
}

// Throws the math error for a set of raised flags. When several are set and
// nothing tells which came first, a division by zero or an overflow wins
// over an invalid operation: inf - inf, inf * 0 and inf / inf are the usual
// way one of the first two leads to the third within a single formula.
[[noreturn]] inline void ThrowFault(int flags) {
    if (flags & FE_DIVBYZERO) throw EZeroDivide(MsgZeroDivide);
    if (flags & FE_OVERFLOW) throw EOverflow(MsgOverflow);
    throw EInvalidOp(MsgInvalidOp);
}

// Clears the fault flags on construction and restores, on destruction, the
// flags the caller had raised before (dropping any raised in between).
class TFaultFlagScope {
public:
    TFaultFlagScope() : saved_(RaisedFaults()) {
        if (saved_) std::feclearexcept(saved_);
        CompilerBarrier();
    }
    ~TFaultFlagScope() {
        CompilerBarrier();
        const int now = RaisedFaults();
        if (now & ~saved_) std::feclearexcept(now & ~saved_);
        if (saved_ & ~now) std::feraiseexcept(saved_ & ~now);
    }
    TFaultFlagScope(const TFaultFlagScope&) = delete;
    TFaultFlagScope& operator=(const TFaultFlagScope&) = delete;

private:
    int saved_;
};

// Tests the flags after the operation that produced `result`.
inline double CheckedResult(double result) {
    Pin(result);
    if (const int f = RaisedFaults()) ThrowFault(f);
    return result;
}

// A double that reports the first faulting operation done on it.
struct TChecked {
    double v = 0.0;
    TChecked() = default;
    TChecked(double x) : v(x) {}  // NOLINT: literals mix freely in formulas
};

namespace detail {
template <class F>
inline TChecked Apply(double a, double b, F f) {
    Pin(a);
    Pin(b);
    return TChecked(CheckedResult(f(a, b)));
}
template <class F>
inline bool Compare(double a, double b, F f) {
    Pin(a);
    Pin(b);
    bool r = f(a, b);
    asm volatile("" : "+r"(r)::"memory");  // the comparison happens here
    if (const int fl = RaisedFaults()) ThrowFault(fl);
    return r;
}
template <class F>
inline TChecked Call(double a, F f) {
    Pin(a);
    return TChecked(CheckedResult(f(a)));
}
}  // namespace detail

inline TChecked operator+(TChecked a, TChecked b) {
    return detail::Apply(a.v, b.v, [](double x, double y) { return x + y; });
}
inline TChecked operator-(TChecked a, TChecked b) {
    return detail::Apply(a.v, b.v, [](double x, double y) { return x - y; });
}
inline TChecked operator*(TChecked a, TChecked b) {
    return detail::Apply(a.v, b.v, [](double x, double y) { return x * y; });
}
inline TChecked operator/(TChecked a, TChecked b) {
    return detail::Apply(a.v, b.v, [](double x, double y) { return x / y; });
}
inline TChecked operator-(TChecked a) { return TChecked(-a.v); }  // never faults

// Ordered comparisons signal an invalid operation on NaN, as they do on
// plain doubles under -ftrapping-math.
inline bool operator<(TChecked a, TChecked b) {
    return detail::Compare(a.v, b.v, [](double x, double y) { return x < y; });
}
inline bool operator>(TChecked a, TChecked b) {
    return detail::Compare(a.v, b.v, [](double x, double y) { return x > y; });
}
inline bool operator<=(TChecked a, TChecked b) {
    return detail::Compare(a.v, b.v, [](double x, double y) { return x <= y; });
}
inline bool operator>=(TChecked a, TChecked b) {
    return detail::Compare(a.v, b.v, [](double x, double y) { return x >= y; });
}
inline bool operator==(TChecked a, TChecked b) { return a.v == b.v; }

inline double Value(double x) { return x; }
inline double Value(TChecked x) { return x.v; }

}  // namespace orvane::fp
