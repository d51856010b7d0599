// Every error the program raises: one hierarchy, each kind carrying the
// message text that the user is shown.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace orvane {

// General base of all the program's errors.
class EOrvaneError : public std::exception {
public:
    explicit EOrvaneError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

#define ORVANE_ERROR_KIND(Kind, Base)                                \
    class Kind : public Base {                                       \
    public:                                                          \
        explicit Kind(std::string message) : Base(std::move(message)) {} \
    }

// Floating-point faults of the runtime.
ORVANE_ERROR_KIND(EMathError, EOrvaneError);
ORVANE_ERROR_KIND(EZeroDivide, EMathError);
ORVANE_ERROR_KIND(EInvalidOp, EMathError);
ORVANE_ERROR_KIND(EOverflow, EMathError);

inline constexpr const char* MsgZeroDivide = "Floating point division by zero";
inline constexpr const char* MsgInvalidOp = "Invalid floating point operation";
inline constexpr const char* MsgOverflow = "Floating point overflow";

// Steady-state calculation errors are math errors, so a handler for math
// errors catches them too.
ORVANE_ERROR_KIND(ECalculateError, EMathError);
ORVANE_ERROR_KIND(ECalcInitialProc, ECalculateError);
ORVANE_ERROR_KIND(ECalcNewValue, ECalculateError);
ORVANE_ERROR_KIND(ECalcNewProcess, ECalculateError);

inline constexpr const char* MsgInsolubleCN =
    "Insoluble C:N is less than target insoluble C:N. ";
inline constexpr const char* MsgCalcInitialProc =
    "Unable to calculate initial process values using entered data. Parameter, state "
    "variables, and processes have been set to their previous values. Additional Info: ";
inline constexpr const char* MsgCalcNewValue =
    "Error calculating new parameter or state variable. New values of parameters and states "
    "but old values of the processes are now shown in the window. Additional Info: ";
inline constexpr const char* MsgCalcNewProcess =
    "Error calculating new processes. New values of parameters, states and processes (except "
    "NPPf, NPPw, NPPr, and NPPt) are now shown in the window. Additional Info: ";

// Run-time errors of a simulation run.
ORVANE_ERROR_KIND(ERunTimeError, EOrvaneError);
ORVANE_ERROR_KIND(EIntegratorError, ERunTimeError);
ORVANE_ERROR_KIND(ETooManySteps, EIntegratorError);
ORVANE_ERROR_KIND(EStepTooSmall, EIntegratorError);
ORVANE_ERROR_KIND(EUserCancel, ERunTimeError);

inline constexpr const char* MsgTooManySteps = "Too many steps in routine ODEIntegrator";
inline constexpr const char* MsgStepTooSmallQC = "Step size too small in routine RKQualityControl";
inline constexpr const char* MsgStepTooSmallODE = "Step size too small in routine ODEIntegrator";
inline constexpr const char* MsgUserCancel = "User clicked cancel";

// Output-step checks.
ORVANE_ERROR_KIND(EStepError, EOrvaneError);
ORVANE_ERROR_KIND(EOutputStepTooSmall, EStepError);
ORVANE_ERROR_KIND(EOutputStepTooLarge, EStepError);
ORVANE_ERROR_KIND(EOutputStepNotMultiple, EStepError);

inline constexpr const char* MsgOutputStepTooSmall =
    "Output time step is less than simulation time step.";
inline constexpr const char* MsgOutputStepTooLarge = "Output time step is greater than run length.";
inline constexpr const char* MsgOutputStepNotMultiple =
    "Output time step must be a multiple of simulation time step.";

// Text that is not a number.
ORVANE_ERROR_KIND(EConvertError, EOrvaneError);
inline std::string ConvertErrorMessage(const std::string& text) {
    return "'" + text + "' is not a valid floating point value";
}

// Input/output errors of the operating system, and a number field in a file
// that is not a number (an input error is an input/output error).
ORVANE_ERROR_KIND(EInOutError, EOrvaneError);
ORVANE_ERROR_KIND(EInputError, EInOutError);
inline constexpr const char* MsgInvalidNumericInput = "Invalid numeric input";

#undef ORVANE_ERROR_KIND

}  // namespace orvane
