// Every number format of the program, locale-free. Non-finite values are
// written as "NAN", "INF" and "-INF" everywhere, and every reader accepts them.
//
// Rounding: a value is rounded from its shortest round-trip decimal form,
// halves away from zero, so that 2.5 shows as 3 and 0.15 as 0.2 at one digit,
// as a person reading the number would expect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

// General format: the shortest form with up to `digits` significant digits;
// fixed notation for magnitudes from 0.0001 up to `digits` integer digits,
// otherwise mantissa, "E", "-" only for negative exponents, the exponent
// without leading zeros (1E-5, 1.5E20). Zero is "0".
std::string FormatGeneral(double v, int digits = 15);

// The parameter file's 23-character field: sign blank or "-", d.dddddddddddddd,
// "E", exponent sign, 4 exponent digits (" 1.50000000000000E+0000").
std::string FormatParamField(double v);

// 13 significant digits in scientific notation with at least 3 exponent
// digits: "1.500000000000E+000", "-2.500000000000E-010".
std::string FormatSci13(double v);

// C's "%.4g".
std::string FormatG4(double v);

// The number "%.4g" shows for v, as the nearest double (non-finite values
// unchanged): what the output display charts.
double RoundG4(double v);

// The shortest text that reads back as the same double ("0.1", "1e+300"),
// for files that other programs read at full precision.
std::string FormatShortest(double v);

// Text fields: left-justified / right-justified to `width`, cut after `width`.
std::string PadRight(std::string_view text, std::size_t width);
std::string PadLeft(std::string_view text, std::size_t width);

// Buffer forms of the formats above for the file writers: write into `out`
// (at least FormatBufferSize characters) and return the length.
inline constexpr std::size_t FormatBufferSize = 48;
std::size_t FormatGeneralTo(char* out, double v, int digits = 15);
std::size_t FormatParamFieldTo(char* out, double v);
std::size_t FormatSci13To(char* out, double v);

// A decimal real as the files hold it: optional sign, digits, optional
// fraction, optional exponent ("E"/"e"), or NAN/INF (any case, optional sign).
// False if `text` is not entirely such a number, or too large for a double
// (a number too small for one reads as 0).
bool ParseFileNumber(std::string_view text, double& value);

// Every power of ten that a double holds exactly.
inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// m x 10^e correctly rounded, as from_chars would read it, when m <= 2^53
// and |e| <= 22 (both factors exact, one rounding); false otherwise.
inline bool ScaleByPow10Exactly(std::uint64_t m, int e, double& value) {
    if (m > (std::uint64_t{1} << 53) || e < -22 || e > 22) return false;
    const double dm = static_cast<double>(m);
    value = e >= 0 ? dm * kExactPow10[e] : dm / kExactPow10[-e];
    return true;
}

// Text typed by the user (surrounding blanks allowed). Raises EConvertError
// with "'<text>' is not a valid floating point value" when it is not a finite
// number.
double StrToFloat(const std::string& text);

}  // namespace orvane
