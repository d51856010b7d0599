#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "io/numfmt.h"
#include "model/errors.h"

using namespace orvane;

namespace {
const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(FormatGeneral, FifteenDigits) {
    EXPECT_EQ(FormatGeneral(0), "0");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatGeneral(1), "1");
    EXPECT_EQ(FormatGeneral(-2.5), "-2.5");
    EXPECT_EQ(FormatGeneral(0.1), "0.1");
    EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatGeneral(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FormatGeneral(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(FormatGeneral(0.0001), "0.0001");
    EXPECT_EQ(FormatGeneral(0.00012), "0.00012");
    EXPECT_EQ(FormatGeneral(0.00001), "1E-5");
    EXPECT_EQ(FormatGeneral(-0.000015), "-1.5E-5");
    EXPECT_EQ(FormatGeneral(1e15), "1E15");
    EXPECT_EQ(FormatGeneral(1.5e20), "1.5E20");
    EXPECT_EQ(FormatGeneral(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatGeneral(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FormatGeneral(100), "100");
    EXPECT_EQ(FormatGeneral(1e-300), "1E-300");
    EXPECT_EQ(FormatGeneral(1.7976931348623157e308), "1.79769313486232E308");
    EXPECT_EQ(FormatGeneral(5e-324), "5E-324");  // shortest form of the smallest double
}

TEST(FormatGeneral, RoundingAtPrecisionBoundaries) {
    // Rounding can add an integer digit and so switch to scientific notation.
    EXPECT_EQ(FormatGeneral(99999.5, 5), "1E5");
    EXPECT_EQ(FormatGeneral(99999.4, 5), "99999");
    EXPECT_EQ(FormatGeneral(-99999.5, 5), "-1E5");
    EXPECT_EQ(FormatGeneral(999999.5, 6), "1E6");
    EXPECT_EQ(FormatGeneral(9.99995, 5), "10");
    EXPECT_EQ(FormatGeneral(999999999999999.5), "1E15");
    // ... or lift a value into fixed notation.
    EXPECT_EQ(FormatGeneral(0.0000999995, 5), "0.0001");
    EXPECT_EQ(FormatGeneral(0.0000999994, 5), "9.9999E-5");
    // Halves go away from zero.
    EXPECT_EQ(FormatGeneral(2.5, 1), "3");
    EXPECT_EQ(FormatGeneral(-2.5, 1), "-3");
    EXPECT_EQ(FormatGeneral(12.5, 2), "13");
    EXPECT_EQ(FormatGeneral(0.15, 1), "0.2");
}

TEST(FormatGeneral, FewerDigits) {
    EXPECT_EQ(FormatGeneral(1234.5, 6), "1234.5");
    EXPECT_EQ(FormatGeneral(0.000123456789, 6), "0.000123457");
    EXPECT_EQ(FormatGeneral(12345678, 6), "1.23457E7");
    EXPECT_EQ(FormatGeneral(0.00001, 6), "1E-5");
    EXPECT_EQ(FormatGeneral(123456, 6), "123456");
    EXPECT_EQ(FormatGeneral(1234567, 6), "1.23457E6");
    EXPECT_EQ(FormatGeneral(12345.678, 5), "12346");
    EXPECT_EQ(FormatGeneral(123456, 5), "1.2346E5");
    EXPECT_EQ(FormatGeneral(-3.14159265, 5), "-3.1416");
    EXPECT_EQ(FormatGeneral(0, 5), "0");
}

TEST(FormatGeneral, NonFinite) {
    EXPECT_EQ(FormatGeneral(NaN), "NAN");
    EXPECT_EQ(FormatGeneral(Inf), "INF");
    EXPECT_EQ(FormatGeneral(-Inf, 5), "-INF");
}

TEST(FormatParamField, ExactBytes) {
    EXPECT_EQ(FormatParamField(1.5), " 1.50000000000000E+0000");
    EXPECT_EQ(FormatParamField(-2.5), "-2.50000000000000E+0000");
    EXPECT_EQ(FormatParamField(0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatParamField(-0.0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatParamField(1234.5), " 1.23450000000000E+0003");
    EXPECT_EQ(FormatParamField(-1e-5), "-1.00000000000000E-0005");
    EXPECT_EQ(FormatParamField(1.0 / 3), " 3.33333333333333E-0001");
    EXPECT_EQ(FormatParamField(9.999999999999999), " 1.00000000000000E+0001");
    EXPECT_EQ(FormatParamField(1e300), " 1.00000000000000E+0300");
    EXPECT_EQ(FormatParamField(NaN), " NAN                   ");
    EXPECT_EQ(FormatParamField(Inf), " INF                   ");
    EXPECT_EQ(FormatParamField(-Inf), "-INF                   ");
    for (double v : {1.5, -1e-300, 5e-324, 1.7976931348623157e308, NaN})
        EXPECT_EQ(FormatParamField(v).size(), 23u) << v;
}

TEST(FormatSci13, ExactBytes) {
    EXPECT_EQ(FormatSci13(1.5), "1.500000000000E+000");
    EXPECT_EQ(FormatSci13(-2.5e-10), "-2.500000000000E-010");
    EXPECT_EQ(FormatSci13(0), "0.000000000000E+000");
    EXPECT_EQ(FormatSci13(123456789.0123456), "1.234567890123E+008");
    EXPECT_EQ(FormatSci13(1.2345678901235), "1.234567890124E+000");
    EXPECT_EQ(FormatSci13(9.9999999999999), "1.000000000000E+001");
    EXPECT_EQ(FormatSci13(-1e-310), "-1.000000000000E-310");
    EXPECT_EQ(FormatSci13(NaN), "NAN");
    EXPECT_EQ(FormatSci13(-Inf), "-INF");
}

namespace {

// The 13-digit field spelt out the slow way, on strings: the shortest
// round-trip digits, rounded halves away from zero, padded with zeros.
std::string ReferenceSci13(double v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    std::string sign = v < 0 ? "-" : "";
    const double a = std::fabs(v);
    std::string digits = "0";
    int exp = 0;
    if (a != 0) {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
        const std::string s(buf, res.ptr);
        const auto e = s.find('e');
        digits.clear();
        for (std::size_t i = 0; i < e; ++i)
            if (s[i] != '.') digits += s[i];
        exp = std::stoi(s.substr(e + 1));
    }
    if (digits.size() > 13) {
        const bool up = digits[13] >= '5';
        digits.resize(13);
        if (up) {
            int i = 12;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                digits[static_cast<std::size_t>(i--)] = '0';
            if (i >= 0) {
                ++digits[static_cast<std::size_t>(i)];
            } else {
                digits = "1" + digits.substr(0, 12);
                ++exp;
            }
        }
    }
    digits.resize(13, '0');
    char e[16];
    std::snprintf(e, sizeof e, "E%c%03d", exp < 0 ? '-' : '+', exp < 0 ? -exp : exp);
    return sign + digits.substr(0, 1) + "." + digits.substr(1) + e;
}

}  // namespace

TEST(FormatSci13, EdgeCasesMatchTheReference) {
    const double cases[] = {0.0, -0.0, 1.0, -1.0, 5e-324, -5e-324, 2.2250738585072014e-308,
                            2.225073858507201e-308, 1.7976931348623157e308, -1e308, 1e-5, 0.1,
                            0.3, 1.0 / 3, 2.0 / 3, 9.9999999999995, 9.99999999999949,
                            -9.9999999999995e-100, 1.2345678901235, 1.23456789012345,
                            1.23456789012349, 99999999999995.0, 0.99999999999995, 1e22, 1e23,
                            123456789.0123456, Inf, -Inf, NaN, -NaN};
    for (double v : cases) EXPECT_EQ(FormatSci13(v), ReferenceSci13(v)) << v;
}

// A million random doubles: random bit patterns (every magnitude, subnormals,
// NaN and infinities), numbers whose shortest form ends in a half at the
// 14th digit, and runs of nines that carry into a new leading digit.
TEST(FormatSci13, RandomValuesMatchTheReference) {
    std::mt19937_64 rng(20261209);
    std::uniform_int_distribution<int> expDist(-330, 310);
    std::uniform_int_distribution<long long> mant14(1000000000000LL, 9999999999999LL);
    char text[64];
    int mismatches = 0;
    for (int i = 0; i < 1000000 && mismatches < 10; ++i) {
        double v = 0;
        switch (i % 4) {
        case 0:
        case 1: {
            const std::uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            break;
        }
        case 2:  // 13 digits then a 5: a tie at the rounding digit
            std::snprintf(text, sizeof text, "%lld5e%d", mant14(rng), expDist(rng));
            v = std::strtod(text, nullptr);
            break;
        default:  // nines, with a random tail
            std::snprintf(text, sizeof text, "%s9999999999999%llde%d",
                          (rng() & 1) ? "-" : "", static_cast<long long>(rng() % 1000),
                          expDist(rng));
            v = std::strtod(text, nullptr);
            break;
        }
        const std::string got = FormatSci13(v);
        const std::string want = ReferenceSci13(v);
        if (got != want) {
            ++mismatches;
            ADD_FAILURE() << "value " << std::hexfloat << v << ": " << got << " vs " << want;
        }
        char buf[FormatBufferSize];
        const std::size_t n = FormatSci13To(buf, v);
        if (std::string(buf, n) != got) {
            ++mismatches;
            ADD_FAILURE() << "buffer form differs for " << std::hexfloat << v;
        }
    }
}

TEST(FormatG4, MatchesC) {
    for (double v : {0.0, 1.0, -1.5, 12346.0, 0.0001, 0.00001234, 1e10, 123.456, 99995.0,
                     0.5, 1.0 / 3, -7e-300, 2.5e15}) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.4g", v);
        EXPECT_EQ(FormatG4(v), buf) << v;
    }
    EXPECT_EQ(FormatG4(12346), "1.235e+04");
    EXPECT_EQ(FormatG4(NaN), "NAN");
    EXPECT_EQ(FormatG4(Inf), "INF");
}

TEST(TextFields, PadAndCut) {
    EXPECT_EQ(PadRight("Time", 6), "Time  ");
    EXPECT_EQ(PadLeft("Time", 6), "  Time");
    EXPECT_EQ(PadRight("Daily Shortwave Radiation", 20), "Daily Shortwave Radi");
    EXPECT_EQ(PadLeft("Daily Shortwave Radiation", 20), "Daily Shortwave Radi");
    EXPECT_EQ(PadRight("", 3), "   ");
}

TEST(ParseFileNumber, AcceptsFileNumbers) {
    const std::pair<const char*, double> good[] = {
        {"1.5", 1.5},     {"-2.5", -2.5},   {"+3", 3},           {"1.500000000000E+000", 1.5},
        {"2.5e-3", 2.5e-3}, {"7.", 7},      {".25", 0.25},       {"-.5", -0.5},
        {"1E5", 1e5},     {"0", 0},         {"1e-400", 0},       {"00012", 12},
        {"-1.00000000000000E-0005", -1e-5}, {"4.9e-324", 5e-324}};
    for (const auto& [text, want] : good) {
        double v = -99;
        EXPECT_TRUE(ParseFileNumber(text, v)) << text;
        EXPECT_EQ(v, want) << text;
    }
    double v = 0;
    EXPECT_TRUE(ParseFileNumber("NAN", v));
    EXPECT_TRUE(std::isnan(v));
    EXPECT_TRUE(ParseFileNumber("inf", v));
    EXPECT_EQ(v, Inf);
    EXPECT_TRUE(ParseFileNumber("-INF", v));
    EXPECT_EQ(v, -Inf);
}

TEST(ParseFileNumber, RejectsAnythingElse) {
    for (const char* bad : {"", "-", "+", ".", "e5", "1e", "1e+", "1.5x", "1,5", "--1", "+-1",
                            "1e400", "-1e999", "infinity", "nan(1)", "0x10", "1 2", "\xff",
                            "1.2.3", "Foliage"}) {
        double v = 42;
        EXPECT_FALSE(ParseFileNumber(bad, v)) << bad;
        EXPECT_EQ(v, 42) << bad;
    }
}

TEST(StrToFloat, TrimsAndRaises) {
    EXPECT_EQ(StrToFloat("  2.5 "), 2.5);
    EXPECT_EQ(StrToFloat("\t-1e3"), -1000);
    EXPECT_EQ(StrToFloat("0.0001"), 0.0001);
    for (const char* bad : {"", "  ", "abc", "1.5.", "NAN", "INF", "1e999", "1 2"}) {
        try {
            StrToFloat(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid floating point value");
        }
    }
}

TEST(NumberFormats, WrittenFieldsReadBack) {
    // Whatever a writer produces, the reader must take back to the precision
    // written, across the whole range of doubles.
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mant(1.0, 10.0);
    std::uniform_int_distribution<int> ex(-307, 307);
    for (int i = 0; i < 20000; ++i) {
        const double v = (i % 2 ? -1 : 1) * mant(rng) * std::pow(10.0, ex(rng));
        double back = 0;
        ASSERT_TRUE(ParseFileNumber(FormatSci13(v), back));
        EXPECT_NEAR(back, v, std::fabs(v) * 5.1e-13);
        const std::string field = FormatParamField(v);
        ASSERT_TRUE(ParseFileNumber(field.substr(field[0] == ' ' ? 1 : 0), back));
        EXPECT_NEAR(back, v, std::fabs(v) * 5.1e-15);
        ASSERT_TRUE(ParseFileNumber(FormatGeneral(v), back));
        EXPECT_NEAR(back, v, std::fabs(v) * 5.1e-15);
        // A value that needs no more than 15 digits survives unchanged.
        double v15 = 0;
        ASSERT_TRUE(ParseFileNumber(FormatGeneral(v), v15));
        EXPECT_EQ(FormatGeneral(v15), FormatGeneral(v));
    }
}

TEST(FormatShortest, ShortestTextThatReadsBack) {
    EXPECT_EQ(FormatShortest(0.1), "0.1");
    EXPECT_EQ(FormatShortest(1500), "1500");
    EXPECT_EQ(FormatShortest(-2.5e-300), "-2.5e-300");
    EXPECT_EQ(FormatShortest(std::numeric_limits<double>::quiet_NaN()), "NAN");
    for (double v : {1.0 / 3.0, 2.0 / 3.0 * 1e17, 5e-324, 1.7976931348623157e308}) {
        double back = 0;
        ASSERT_TRUE(ParseFileNumber(FormatShortest(v), back));
        EXPECT_EQ(back, v);
    }
}
