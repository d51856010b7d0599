#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "io/outputtable.h"
#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

using TKind = TOutputReadProblem::TKind;

class OutputTable : public TFileTest {
protected:
    std::size_t Cols() const { return 1 + static_cast<std::size_t>(g.ModelDef.numdrive + g.ModelDef.numstate + g.ModelDef.numprocess); }

    // Writes rows with the program's writer; value(r, c) for column c >= 1.
    std::string WriteRows(const std::string& name, const std::vector<double>& times,
                          double (*value)(int, int)) {
        const std::string path = PathOf(name);
        OpenOutputFile(g, path, g.ModelDef.numstate, g.States, true, g.Processes, g.ModelDef.numprocess);
        for (int r = 0; r < static_cast<int>(times.size()); ++r) {
            int c = 1;
            for (int i = 1; i <= g.ModelDef.numdrive; ++i) g.Drivers[i].value = value(r, c++);
            for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value = value(r, c++);
            for (int i = 1; i <= g.ModelDef.numprocess; ++i) g.Processes[i].value = value(r, c++);
            WriteOutputRow(g, g.ModelDef.numstate, g.States, g.ModelDef.numprocess, g.Processes,
                           times[static_cast<std::size_t>(r)]);
        }
        CloseOutputFile(g);
        return ReadAll(path);
    }

    // What the row-by-row reader gives for the file, rows from minTime on.
    std::vector<double> ByRows(const std::string& text, double minTime = -HUGE_VAL) {
        WriteAll(dir / "ref.out", text);
        drivearray d;
        statearray s;
        processarray p;
        const int ns = g.ModelDef.numstate;
        const int np = g.ModelDef.numprocess;
        OpenOutputFile(g, PathOf("ref.out"), ns, g.States, false, g.Processes, np);
        std::vector<double> out;
        double t = 0;
        while (ReadOutputRow(g, t, d, s, ns, p, np)) {
            if (t < minTime) continue;
            out.push_back(t);
            for (int i = 1; i <= g.ModelDef.numdrive; ++i) out.push_back(d[i].value);
            for (int i = 1; i <= ns; ++i) out.push_back(s[i].value);
            for (int i = 1; i <= np; ++i) out.push_back(p[i].value);
        }
        CloseOutputFile(g);
        return out;
    }

    // The one-pass reader on one thread, and on several with small chunks.
    std::vector<double> Parse(const std::string& text, int threads, TOutputReadProblem& problem,
                              double minTime = -HUGE_VAL) {
        TOutputTable t = OutputTableColumns(g);
        TOutputReadOptions o;
        o.threads = threads;
        o.minChunkBytes = 1;
        o.minTime = minTime;
        problem = ParseOutputTable(text, t, o);
        return t.values;
    }

    // Bit for bit, so NaN and -0 count too.
    static void ExpectSame(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
        ASSERT_EQ(a.size(), b.size()) << what;
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a[i]), std::bit_cast<std::uint64_t>(b[i]))
                << what << " value " << i << ": " << a[i] << " vs " << b[i];
    }
};

double Varied(int r, int c) {
    const double signs[] = {1, -1};
    const double scales[] = {1, 1e-7, 1e12, 1e-30, 1e200, 3.3e-310, 0.1};
    return signs[(r + c) % 2] * scales[(r * 7 + c) % 7] * (1.0 / 3.0 + r * 0.01 + c);
}

std::string Line(const std::string& text) { return text + "\r\n"; }

}  // namespace

// Every value equals what the row-by-row reader gives, on one thread and on
// many, across the odd shapes a file can take.
TEST_F(OutputTable, SameValuesAsTheRowReader) {
    std::string text = WriteRows("v.out", {0, 0.5, 1e-5, 12346, -3, 1e22, 2.25}, Varied);
    // A row with non-finite values and hand-written forms of numbers.
    std::string odd = "7 NAN -INF inf +5 5. .5 -0 1e5 1.5E-400 -2.5e+21 123456789012345678901234";
    for (std::size_t i = 12; i < Cols(); ++i) odd += " " + std::to_string(i);
    text += Line(odd);
    // A row short of fields takes the next lines' (here two rows of one
    // field a line, longer than a thread's share, so that some share starts
    // inside them); a long row's extra fields are skipped; lone CR and bare
    // LF end lines; blank lines are no rows.
    for (const char* first : {"8 1 2 3\r\n\r\n  \r\n", "8.5\r\n"}) {
        text += first;
        for (std::size_t i = first[1] == ' ' ? 4 : 1; i < Cols(); ++i) text += Line("  1.00000000000" + std::to_string(i % 10) + "E+000");
    }
    std::string rest;
    for (std::size_t i = 1; i < Cols() + 3; ++i) rest += std::to_string(i) + " ";
    text += "10 " + rest + "\r";
    std::string lf = "9";
    for (std::size_t i = 1; i < Cols(); ++i) lf += " -1.000000000000E-020";
    text += lf + "\n" + lf + "\r\n\r\n \t\r\n";

    const std::vector<double> expected = ByRows(text);
    ASSERT_EQ(expected.size(), 13 * Cols());
    TOutputReadProblem problem;
    for (int threads : {1, 2, 3, 8}) {
        ExpectSame(Parse(text, threads, problem), expected, "all rows");
        EXPECT_FALSE(problem);
    }
    ExpectSame(Parse(text, 3, problem, 1), ByRows(text, 1), "rows from time 1");
    EXPECT_TRUE(std::isnan(expected[7 * Cols() + 1]));
    EXPECT_EQ(expected[7 * Cols() + 9], 0);  // 1.5E-400 underflows

    // Files without rows.
    const std::string header = text.substr(0, text.find("\r\n", text.find("\r\n") + 2) + 2);
    for (const std::string& t : {std::string(), header, header + "\r\n  "}) {
        EXPECT_TRUE(Parse(t, 2, problem).empty());
        EXPECT_FALSE(problem);
    }
}

TEST_F(OutputTable, CutOffLastRowIsLeftOut) {
    const std::string text = WriteRows("c.out", {0, 1, 2}, Varied);
    const std::size_t rowLen = text.size() - text.rfind("\r\n", text.size() - 3) - 2;
    const std::vector<double> whole = ByRows(text);
    const std::vector<double> firstTwo(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(2 * Cols()));
    TOutputReadProblem problem;

    // Cut after 39 whole fields and inside the 40th (which still reads as a
    // number), inside an exponent (which does not), one field short, and
    // after the time alone.
    const std::size_t lastRow = text.size() - rowLen;
    for (const std::size_t keep : {std::size_t{39 * 21 + 18}, std::size_t{6 * 21 + 17}, rowLen - 2 - 21, std::size_t{20}}) {
        const std::string cut = text.substr(0, lastRow + keep);
        for (int threads : {1, 4}) {
            ExpectSame(Parse(cut, threads, problem), firstTwo, "before the cut row");
            EXPECT_EQ(problem.kind, TKind::CutOffRow) << keep;
            EXPECT_EQ(problem.line, 5u);
            EXPECT_EQ(problem.fields, Cols());
        }
    }
    Parse(text.substr(0, lastRow + 39 * 21 + 18), 1, problem);
    EXPECT_EQ(problem.field, 40u);
    EXPECT_EQ(problem.Message("/x/c.out"),
              "The last row is cut off: it has 40 of 154 values and no line end.\nFile \"/x/c.out\", line 5");

    // With its line end, a short last row reads its missing values as 0.
    const std::string shortRow = text + "3 4 5\r\n";
    std::vector<double> withZeros = whole;
    withZeros.insert(withZeros.end(), {3, 4, 5});
    withZeros.resize(4 * Cols(), 0.0);
    ExpectSame(Parse(shortRow, 2, problem), withZeros, "short row with its line end");
    EXPECT_FALSE(problem);
    // A whole last row needs no line end.
    ExpectSame(Parse(text.substr(0, text.size() - 2), 2, problem), whole, "no final line end");
    EXPECT_FALSE(problem);
}

TEST_F(OutputTable, BadFieldStopsReadingThere) {
    std::string text = WriteRows("b.out", {0, 1, 2, 3, 4, 5}, Varied);
    // Spoil the 8th field of the row at time 4 (line 7).
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) at = text.find("\r\n", at) + 2;
    at += 7 * 21 + 5;
    text[at] = 'x';
    const std::vector<double> expected = ByRows(text.substr(0, text.rfind("\r\n", at) + 2));
    TOutputReadProblem problem;
    for (int threads : {1, 3, 6}) {
        ExpectSame(Parse(text, threads, problem), expected, "rows before the bad one");
        EXPECT_EQ(problem.kind, TKind::BadNumber);
        EXPECT_EQ(problem.line, 7u);
        EXPECT_EQ(problem.field, 8u);
        EXPECT_NE(problem.text.find('x'), std::string::npos);
        EXPECT_EQ(problem.text.size(), 20u);
    }
    const std::string message = problem.Message("/x/b.out");
    EXPECT_EQ(message.substr(0, message.find('\n')), MsgInvalidNumericInput);
    EXPECT_EQ(message.substr(message.find('\n')), "\nFile \"/x/b.out\", line 7, field 8: \"" + problem.text + "\"");

    // Over-long tokens are not numbers; bytes beyond ASCII are quoted readably.
    TOutputTable t = OutputTableColumns(g);
    problem = ParseOutputTable("h\r\nu\r\n\r\n1 " + std::string(65, '1') + " 2\r\n", t);
    EXPECT_EQ(problem.Message("f"), std::string(MsgInvalidNumericInput) + "\nFile \"f\", line 4, field 2: \"" +
                                        std::string(64, '1') + "...\"");
    problem = ParseOutputTable("h\r\nu\r\n1 2\xff 3\r\n", t);
    EXPECT_EQ(problem.Message("f").substr(problem.Message("f").find('\n')), "\nFile \"f\", line 3, field 2: \"2\\xFF\"");
    EXPECT_THROW(ReadOutputTable(PathOf("absent.out"), t), EInOutError);
    EXPECT_THROW(ReadOutputTable(dir.string(), t), EInOutError);
}

// Held to its columns, each line is one row, and a line that is not one is
// named by its line and column, also when the file is read in shares.
TEST_F(OutputTable, RowsAsLines) {
    const std::string text = WriteRows("l.out", {0, 1, 2, 3}, Varied);
    const std::vector<double> whole = ByRows(text);
    std::string gaps = text;
    gaps.insert(text.find("\r\n", text.find("\r\n") + 2) + 2, "\r\n  \r\n");  // blank lines 3 and 4
    for (int threads : {1, 3}) {
        TOutputTable t = OutputTableColumns(g);
        std::vector<int> lines;
        TOutputReadOptions o;
        o.rowsAreLines = true;
        o.rowLines = &lines;
        o.threads = threads;
        o.minChunkBytes = 1;
        EXPECT_FALSE(ParseOutputTable(gaps, t, o));
        ExpectSame(t.values, whole, "rows as lines");
        EXPECT_EQ(lines, (std::vector<int>{5, 6, 7, 8}));

        const TOutputReadProblem shortRow = ParseOutputTable(gaps + "4 1 2\r\n" + gaps.substr(gaps.rfind("\r\n", gaps.size() - 3) + 2), t, o);
        EXPECT_EQ(shortRow.kind, TKind::ShortRow);
        EXPECT_EQ(shortRow.line, 9u);
        EXPECT_EQ(shortRow.column, 6u);
        EXPECT_EQ(shortRow.field, 3u);
        EXPECT_EQ(t.Rows(), 4u);  // the rows before it
        const TOutputReadProblem longRow = ParseOutputTable(gaps.substr(0, gaps.size() - 2) + " 9\r\n", t, o);
        EXPECT_EQ(longRow.kind, TKind::LongRow);
        EXPECT_EQ(longRow.line, 8u);
        EXPECT_EQ(longRow.column, Cols() * 21 + 2);
    }
}

// The 4-digit value the display derives equals "%.4g" printed and read back.
TEST(OutputTableNumbers, RoundG4IsPrintfRounding) {
    auto byText = [](double v) {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
        double out = v;
        std::from_chars(buf, r.ptr, out);
        return out;
    };
    std::vector<double> values = {1234.5,  1235.5,     0.12345,  9999.5,  99995,   9.9995e-7,
                                  1e22,    1e-19,      1e25,     1e26,    1e-20,   0.30000000000000004,
                                  5e-324,  2.2250738585072014e-308, 1.7976931348623157e308,
                                  12346,   1.2345,     -1.2355,  100,     1};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mant(1, 10);
    std::uniform_int_distribution<int> exp10(-40, 40);
    for (int i = 0; i < 200000; ++i) {
        double v = mant(rng) * std::pow(10.0, exp10(rng));
        if (i % 3 == 0) v = std::round(v * 1e4) / 1e4 + 0.00005;  // near ties
        if (i % 5 == 0) v = std::nextafter(std::round(v), HUGE_VAL);
        values.push_back(i % 2 ? -v : v);
    }
    for (const double v : values)
        ASSERT_EQ(std::bit_cast<std::uint64_t>(RoundG4(v)), std::bit_cast<std::uint64_t>(byText(v))) << v;
    EXPECT_TRUE(std::isnan(RoundG4(std::nan(""))));
    EXPECT_EQ(RoundG4(-HUGE_VAL), -HUGE_VAL);
    EXPECT_TRUE(std::signbit(RoundG4(-0.0)));
}

// The files' numbers read as from_chars reads them, the quick way or not.
TEST(OutputTableNumbers, FileNumbersReadCorrectlyRounded) {
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<unsigned long long> digits(0, 9999999999999ull);
    std::uniform_int_distribution<int> exp10(-330, 310);
    for (int i = 0; i < 200000; ++i) {
        char text[64];
        const int n = std::snprintf(text, sizeof text, "%s%llu.%lluE%+04d", i % 2 ? "-" : "", digits(rng) % 10,
                                    digits(rng) % 1000000000000ull, i % 4 ? exp10(rng) % 30 : exp10(rng));
        double fast = 0;
        double ref = 0;
        const char* body = text + (text[0] == '-');
        if (std::from_chars(body, text + n, ref).ec == std::errc::result_out_of_range) continue;
        if (text[0] == '-') ref = -ref;
        ASSERT_TRUE(ParseFileNumber({text, static_cast<std::size_t>(n)}, fast)) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(ref)) << text;
    }
}

TEST_F(OutputTable, ExportHoldsEveryDigitOfTheFile) {
    std::string text = WriteRows("e.out", {0, 0.1, 1e-5}, Varied);
    // A hand-edited value with more digits than the writer's 13.
    text.replace(text.rfind("\r\n", text.size() - 3) + 2 + 21, 20, " 0.30000000000000004");
    WriteAll(dir / "e.out", text);
    TOutputTable t = OutputTableColumns(g);
    ASSERT_FALSE(ReadOutputTable(PathOf("e.out"), t));
    t.values[5] = std::nan("");
    WriteOutputTableCsv(PathOf("e.csv"), t);

    const auto lines = CrLfLines(ReadAll(dir / "e.csv"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 9), "Time,CO2,");
    EXPECT_EQ(lines[1].substr(0, 10), "year,ppmv,");
    const auto file = CrLfLines(text);
    for (std::size_t r = 0; r < 3; ++r) {
        std::stringstream fields(lines[r + 2]);
        std::stringstream tokens(file[r + 2]);
        std::string field;
        std::string token;
        for (std::size_t c = 0; std::getline(fields, field, ','); ++c) {
            tokens >> token;
            if (r == 0 && c == 5) {
                EXPECT_EQ(field, "NAN");
            } else if (r == 2 && c == 1) {
                EXPECT_EQ(field, "0.30000000000000004");  // every digit the double holds
            } else {
                EXPECT_EQ(field, token) << r << "," << c;  // as the file holds it
            }
        }
    }
    // A failed export leaves nothing behind.
    EXPECT_THROW(WriteOutputTableCsv(PathOf("no/dir/e.csv"), t), EInOutError);
}
