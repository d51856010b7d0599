// orvane-compare: are two output files the same run, within tolerances?
//
//   orvane-compare A.out B.out [--rtol R] [--atol A]
//
// Exit status: 0 when every value agrees within atol + rtol * max(|a|, |b|),
// 1 when one does not or the files differ in rows or columns, 2 on a usage
// or reading error.
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include "app/cli_options.h"

#include "io/numfmt.h"
#include "model/errors.h"
#include "obs/compare.h"

namespace {

using namespace orvane;

constexpr const char* Usage =
    "usage: orvane-compare A.out B.out [--rtol R] [--atol A]\n"
    "\n"
    "Compares two output files value by value and reports, per variable, the\n"
    "largest absolute and relative difference and the time of each.\n"
    "\n"
    "  --rtol R  relative tolerance (default 1e-9)\n"
    "  --atol A  absolute tolerance (default 0)\n"
    "\n"
    "Values a and b agree when |a - b| <= atol + rtol * max(|a|, |b|).\n"
    "Exit status: 0 all agree, 1 some differ or the files differ in rows or\n"
    "columns, 2 usage or reading error.\n";

using cli::TUsageError;

struct TOptions {
    std::string a, b;
    double rtol = 1e-9;
    double atol = 0;
};

TOptions ParseArguments(int argc, char** argv) {
    TOptions o;
    int nfiles = 0;
    for (int i = 1; i < argc; ++i) {
        if (cli::IsOption(argv[i])) {
            std::string name, value;
            cli::OptionValue(argc, argv, i, name, value);
            double* target = name == "--rtol" ? &o.rtol : name == "--atol" ? &o.atol : nullptr;
            if (!target) throw TUsageError("unknown option " + name);
            try {
                *target = StrToFloat(value);
            } catch (const EConvertError& e) {
                throw TUsageError(name + ": " + e.what());
            }
            if (!(*target >= 0)) throw TUsageError(name + " must not be negative");
        } else {
            if (nfiles == 2) throw TUsageError("too many file names");
            (nfiles++ == 0 ? o.a : o.b) = argv[i];
        }
    }
    if (nfiles < 2) throw TUsageError("two output files are needed");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (cli::WantsHelp(argc, argv)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    TOptions o;
    try {
        o = ParseArguments(argc, argv);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "orvane-compare: %s\n\n%s", e.what(), Usage);
        return 2;
    }
    try {
        const TRunTable a = ReadRunTable(o.a);
        const TRunTable b = ReadRunTable(o.b);
        const TRunComparison c = CompareRuns(a, b, o.rtol, o.atol);
        std::fputs(ComparisonReport(c, a, o.rtol, o.atol).c_str(), stdout);
        return c.Within() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvane-compare: %s\n", e.what());
        return 2;
    }
}
