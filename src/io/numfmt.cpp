#include "io/numfmt.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "model/errors.h"

namespace orvane {

namespace {

// A finite non-negative value as decimal digits: digits[0].digits[1..] x 10^exp.
struct TDecimal {
    char digits[24];
    int count = 0;
    int exp = 0;
};

// The shortest decimal digits that read back as `a` (a >= 0, finite).
TDecimal ShortestDecimal(double a) {
    TDecimal d;
    if (a == 0) {
        d.digits[0] = '0';
        d.count = 1;
        return d;
    }
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
    const char* p = buf;
    for (; p < res.ptr && *p != 'e'; ++p) {
        if (*p != '.') d.digits[d.count++] = *p;
    }
    // p at 'e', then sign and exponent digits
    ++p;
    const bool negexp = *p == '-';
    ++p;
    int e = 0;
    for (; p < res.ptr; ++p) e = e * 10 + (*p - '0');
    d.exp = negexp ? -e : e;
    return d;
}

// Rounds to at most `precision` significant digits (halves away from zero)
// and drops trailing zeros.
void RoundDecimal(TDecimal& d, int precision) {
    if (precision < 1) precision = 1;
    if (d.count > precision) {
        const bool up = d.digits[precision] >= '5';
        d.count = precision;
        if (up) {
            int i = precision - 1;
            while (i >= 0 && d.digits[i] == '9') {
                d.digits[i] = '0';
                --i;
            }
            if (i >= 0) {
                ++d.digits[i];
            } else {
                d.digits[0] = '1';
                d.count = 1;
                ++d.exp;
            }
        }
    }
    while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
}

std::size_t WriteNonFinite(char* out, double v) {
    const char* s = std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
    const std::size_t n = std::strlen(s);
    std::memcpy(out, s, n);
    return n;
}

// Exponent digits, zero-padded to at least `minDigits`.
char* WriteExponent(char* out, int e, int minDigits) {
    char tmp[8];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + e % 10);
        e /= 10;
    } while (e > 0);
    while (n < minDigits) tmp[n++] = '0';
    while (n > 0) *out++ = tmp[--n];
    return out;
}

// Mantissa with exactly `fracDigits` digits after the point, then "E",
// the exponent's sign and at least `expDigits` exponent digits.
char* WriteFixedScientific(char* out, double a, int fracDigits, int expDigits) {
    TDecimal d = ShortestDecimal(a);
    RoundDecimal(d, fracDigits + 1);
    *out++ = d.digits[0];
    *out++ = '.';
    for (int i = 1; i <= fracDigits; ++i) *out++ = i < d.count ? d.digits[i] : '0';
    *out++ = 'E';
    *out++ = d.exp < 0 ? '-' : '+';
    return WriteExponent(out, d.exp < 0 ? -d.exp : d.exp, expDigits);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr int kMaxExactPow10 = 22;

// The files' usual numbers (up to 19 digits, a small exponent) without the
// general parser; false when unsure, and the general parser decides.
bool ParseSimpleDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    bool neg = false;
    if (p < end && (*p == '-' || *p == '+')) {
        neg = *p == '-';
        ++p;
    }
    std::uint64_t m = 0;
    int digits = 0;
    int scale = 0;
    for (; p < end && IsDigit(*p); ++p, ++digits) m = m * 10 + static_cast<unsigned>(*p - '0');
    if (p < end && *p == '.') {
        for (++p; p < end && IsDigit(*p); ++p, ++digits, --scale) m = m * 10 + static_cast<unsigned>(*p - '0');
    }
    if (digits == 0 || digits > 19) return false;
    if (p < end && (*p == 'E' || *p == 'e')) {
        ++p;
        bool negExp = false;
        if (p < end && (*p == '+' || *p == '-')) negExp = *p++ == '-';
        int e = 0;
        int expDigits = 0;
        for (; p < end && IsDigit(*p) && expDigits < 4; ++p, ++expDigits) e = e * 10 + (*p - '0');
        if (expDigits == 0) return false;
        scale += negExp ? -e : e;
    }
    if (p != end) return false;
    double v = 0;
    if (m != 0 && !ScaleByPow10Exactly(m, scale, v)) return false;
    value = neg ? -v : v;
    return true;
}

bool EqualsNoCase(std::string_view a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != b[i]) return false;
    }
    return true;
}

// Decimal real: [sign] (digits [. digits] | . digits) [(E|e) [sign] digits],
// and with `allowNonFinite` also [sign] NAN / INF.
bool ParseReal(std::string_view text, double& value, bool allowNonFinite) {
    if (text.empty()) return false;
    std::size_t i = 0;
    bool neg = false;
    if (text[0] == '+' || text[0] == '-') {
        neg = text[0] == '-';
        i = 1;
    }
    const std::string_view body = text.substr(i);
    if (allowNonFinite) {
        if (EqualsNoCase(body, "NAN")) {
            value = std::nan("");
            return true;
        }
        if (EqualsNoCase(body, "INF")) {
            value = neg ? -HUGE_VAL : HUGE_VAL;
            return true;
        }
    }
    // Check the grammar ourselves: from_chars would also take "inf", "nan(...)"
    // and stop early on trailing junk, and it rejects a leading "+".
    std::size_t p = i;
    int intDigits = 0;        // significant digits before the point
    int leadingFracZeros = 0; // zeros after the point before the first non-zero digit
    bool anyDigit = false;
    bool nonZeroSeen = false;
    while (p < text.size() && IsDigit(text[p])) {
        anyDigit = true;
        if (text[p] != '0') nonZeroSeen = true;
        if (nonZeroSeen) ++intDigits;
        ++p;
    }
    if (p < text.size() && text[p] == '.') {
        ++p;
        while (p < text.size() && IsDigit(text[p])) {
            anyDigit = true;
            if (text[p] != '0') nonZeroSeen = true;
            if (!nonZeroSeen) ++leadingFracZeros;
            ++p;
        }
    }
    if (!anyDigit) return false;
    long long expValue = 0;
    if (p < text.size() && (text[p] == 'E' || text[p] == 'e')) {
        ++p;
        bool negExp = false;
        if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
            negExp = text[p] == '-';
            ++p;
        }
        if (p >= text.size() || !IsDigit(text[p])) return false;
        while (p < text.size() && IsDigit(text[p])) {
            if (expValue < 100000) expValue = expValue * 10 + (text[p] - '0');
            ++p;
        }
        if (negExp) expValue = -expValue;
    }
    if (p != text.size()) return false;

    double v = 0;
    const auto res = std::from_chars(body.data(), body.data() + body.size(), v,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        const long long magnitude = (intDigits > 0 ? intDigits : -leadingFracZeros) + expValue;
        if (magnitude > 0) return false;  // too large for a double
        v = 0;                            // too small: underflows to zero
    } else if (res.ec != std::errc() || res.ptr != body.data() + body.size()) {
        return false;
    }
    value = neg ? -v : v;
    return true;
}

}  // namespace

std::size_t FormatGeneralTo(char* out, double v, int digits) {
    digits = std::clamp(digits, 1, 18);
    if (!std::isfinite(v)) return WriteNonFinite(out, v);
    char* p = out;
    if (v == 0) {
        *p++ = '0';
        return 1;
    }
    if (v < 0) *p++ = '-';
    TDecimal d = ShortestDecimal(std::fabs(v));
    RoundDecimal(d, digits);
    if (d.exp < digits && d.exp >= -4) {
        if (d.exp >= 0) {
            for (int i = 0; i <= d.exp; ++i) *p++ = i < d.count ? d.digits[i] : '0';
            if (d.count > d.exp + 1) {
                *p++ = '.';
                for (int i = d.exp + 1; i < d.count; ++i) *p++ = d.digits[i];
            }
        } else {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -d.exp - 1; ++i) *p++ = '0';
            for (int i = 0; i < d.count; ++i) *p++ = d.digits[i];
        }
    } else {
        *p++ = d.digits[0];
        if (d.count > 1) {
            *p++ = '.';
            for (int i = 1; i < d.count; ++i) *p++ = d.digits[i];
        }
        *p++ = 'E';
        if (d.exp < 0) *p++ = '-';
        p = WriteExponent(p, d.exp < 0 ? -d.exp : d.exp, 1);
    }
    return static_cast<std::size_t>(p - out);
}

std::size_t FormatParamFieldTo(char* out, double v) {
    constexpr std::size_t width = 23;
    char* p = out;
    *p++ = (v < 0 && !std::isnan(v)) ? '-' : ' ';
    if (!std::isfinite(v)) {
        const char* s = std::isnan(v) ? "NAN" : "INF";
        std::memcpy(p, s, 3);
        std::memset(p + 3, ' ', width - 4);
        return width;
    }
    p = WriteFixedScientific(p, std::fabs(v), 14, 4);
    return static_cast<std::size_t>(p - out);
}

// The output file writes ~150 of these per row, so this works on the
// shortest form's characters directly instead of going through TDecimal;
// the digits and the rounding are the same as WriteFixedScientific(a, 12, 3).
std::size_t FormatSci13To(char* out, double v) {
    if (!std::isfinite(v)) return WriteNonFinite(out, v);
    char* p = out;
    if (v < 0) *p++ = '-';
    const double a = std::fabs(v);
    if (a == 0) {
        std::memcpy(p, "0.000000000000E+000", 19);
        return static_cast<std::size_t>(p + 19 - out);
    }
    // "d.ddde+XX" (or "de+XX" for a single digit): at most 17 digits, and an
    // exponent of two or three digits.
    char buf[32];
    const char* end = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific).ptr;
    const bool threeDigitExp = end[-4] != 'e';
    const char* e = threeDigitExp ? end - 5 : end - 4;
    const int frac = e - buf > 1 ? static_cast<int>(e - buf) - 2 : 0;
    int exp = (end[-2] - '0') * 10 + (end[-1] - '0');
    if (threeDigitExp) exp += (end[-3] - '0') * 100;
    if (e[1] == '-') exp = -exp;

    p[0] = buf[0];
    p[1] = '.';
    if (frac <= 12) {
        // Up to 13 significant digits: the shortest form padded with zeros.
        std::memcpy(p + 2, buf + 2, static_cast<std::size_t>(frac));
        std::memset(p + 2 + frac, '0', static_cast<std::size_t>(12 - frac));
    } else {
        std::memcpy(p + 2, buf + 2, 12);
        if (buf[14] >= '5') {  // halves away from zero
            int i = 13;
            while (i >= 2 && p[i] == '9') p[i--] = '0';
            if (i >= 2) {
                ++p[i];
            } else if (p[0] == '9') {
                p[0] = '1';
                ++exp;
            } else {
                ++p[0];
            }
        }
    }
    p += 14;
    *p++ = 'E';
    *p++ = exp < 0 ? '-' : '+';
    // |exp| <= 324: always exactly three digits.
    const int ae = exp < 0 ? -exp : exp;
    *p++ = static_cast<char>('0' + ae / 100);
    *p++ = static_cast<char>('0' + ae / 10 % 10);
    *p++ = static_cast<char>('0' + ae % 10);
    return static_cast<std::size_t>(p - out);
}

std::string FormatGeneral(double v, int digits) {
    char buf[FormatBufferSize];
    return std::string(buf, FormatGeneralTo(buf, v, digits));
}

std::string FormatParamField(double v) {
    char buf[FormatBufferSize];
    return std::string(buf, FormatParamFieldTo(buf, v));
}

std::string FormatSci13(double v) {
    char buf[FormatBufferSize];
    return std::string(buf, FormatSci13To(buf, v));
}

std::string FormatG4(double v) {
    char buf[FormatBufferSize];
    if (!std::isfinite(v)) return std::string(buf, WriteNonFinite(buf, v));
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
    return std::string(buf, res.ptr);
}

namespace {

// "%.4g" printed and read back: the definition of RoundG4.
double RoundG4ByText(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
    if (ec != std::errc()) return v;
    double r = v;
    std::from_chars(buf, end, r);
    return r;
}

}  // namespace

double RoundG4(double v) {
    const double a = std::fabs(v);
    if (!(a > 0) || !std::isfinite(a)) return v;
    // The display charts ~10 columns of every row, so the usual case skips
    // the text: a x 10^k with 4 digits before the point, rounded to a whole
    // number, is "%.4g"'s rounding unless the fraction is near a half (then
    // the text decides, ties and all). The product's error is below 1e-11.
    // floor(log10(a)) or one less, from the binary exponent (normal numbers;
    // the rest take the text's way).
    const auto bits = std::bit_cast<std::uint64_t>(a);
    const int e2 = static_cast<int>(bits >> 52) - 1023;
    int k = 3 - ((e2 * 78913) >> 18);
    for (int attempt = 0; attempt < 2 && e2 > -1023 && k >= -kMaxExactPow10 && k <= kMaxExactPow10; ++attempt) {
        const double m = k >= 0 ? a * kExactPow10[k] : a / kExactPow10[-k];
        if (m >= 10000) {
            --k;
            continue;
        }
        const auto whole = static_cast<std::uint64_t>(m);  // m > 0: truncation is floor
        const double frac = m - static_cast<double>(whole);
        if (std::fabs(frac - 0.5) < 1e-7) break;
        double rounded = 0;
        ScaleByPow10Exactly(frac > 0.5 ? whole + 1 : whole, -k, rounded);
        return v < 0 ? -rounded : rounded;
    }
    return RoundG4ByText(v);
}

std::string FormatShortest(double v) {
    char buf[FormatBufferSize];
    if (!std::isfinite(v)) return std::string(buf, WriteNonFinite(buf, v));
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

std::string PadLeft(std::string_view text, std::size_t width) {
    const std::string_view cut = text.substr(0, width);
    std::string s(width - cut.size(), ' ');
    s.append(cut);
    return s;
}

bool ParseFileNumber(std::string_view text, double& value) {
    return ParseSimpleDecimal(text, value) || ParseReal(text, value, true);
}

double StrToFloat(const std::string& text) {
    std::string_view t = text;
    while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
    while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) t.remove_suffix(1);
    double v = 0;
    if (!ParseReal(t, v, false)) throw EConvertError(ConvertErrorMessage(text));
    return v;
}

}  // namespace orvane
