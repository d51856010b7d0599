#include "ensemble/sensitivity_results.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ensemble/journal.h"
#include "ensemble/results.h"
#include "ensemble/sensitivity/analysis.h"
#include "ensemble/sensitivity/report.h"
#include "ensemble/sensitivity_design.h"
#include "io/numfmt.h"
#include "io/textfile.h"

namespace orvane::ensemble {

namespace {

// A number, or nothing where there is none.
std::string Cell(double v) { return std::isnan(v) ? std::string() : FormatShortest(v); }

// Outputs [first, last) of every member, from one pass over the journal.
sens::TAnalysisData Gather(const TExperiment& e, const sens::TSensDesign& d, const std::string& journal,
                           std::size_t first, std::size_t last) {
    sens::TAnalysisData data;
    for (const TFactor& f : e.factors) data.factors.push_back(f.symbol);
    for (std::size_t v = first; v < last; ++v) data.outputs.push_back(e.outputs[v].symbol);
    data.times = e.outputTimes;
    data.members = d.members;
    const std::size_t times = data.times.size(), n = d.members * times;
    data.values.assign((last - first) * n, sens::NoValue);
    data.ok.assign(d.members, 0);
    TJournalReader reader(journal);
    TMemberRecord r;
    std::size_t seen = 0;
    while (seen < d.members && reader.Next(r)) {
        ++seen;
        if (r.member >= d.members || !r.outcome.Ok()) continue;
        data.ok[r.member] = 1;
        for (std::size_t v = first; v < last; ++v)
            std::copy_n(r.outputs.begin() + static_cast<std::ptrdiff_t>(v * times), times,
                        data.values.begin() + static_cast<std::ptrdiff_t>((v - first) * n + r.member * times));
    }
    if (seen < d.members)
        throw EExperimentError("the members journal \"" + journal + "\" holds " + std::to_string(seen) +
                               " of the design's " + std::to_string(d.members) + " members");
    return data;
}

void WriteIndices(const sens::TSensAnalysis& a, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write("method,output,time,factor,index,value,lower,upper\r\n");
    std::string line;
    for (const sens::TIndexRow& r : sens::IndexRows(a)) {
        line.assign(r.method).append(",").append(CsvField(*r.output)).append(",").append(Cell(r.time));
        line.append(",").append(CsvField(*r.factor)).append(",").append(r.index);
        line.append(",").append(Cell(r.value)).append(",").append(Cell(r.lower));
        line.append(",").append(Cell(r.upper)).append("\r\n");
        csv.Write(line);
    }
    csv.Close();
}

void WriteConvergence(const sens::TSensAnalysis& a, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write("output,time,base_points,factor,index,value\r\n");
    std::string line;
    for (const sens::TConvergenceRow& r : sens::ConvergenceRows(a)) {
        line.assign(CsvField(*r.output)).append(",").append(Cell(r.time)).append(",");
        line.append(std::to_string(r.basePoints)).append(",");
        if (r.factor) line.append(CsvField(*r.factor));
        line.append(",").append(r.index).append(",").append(Cell(r.value)).append("\r\n");
        csv.Write(line);
    }
    csv.Close();
}

void WriteCollinearity(const sens::TSensAnalysis& a, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write("output,factors,index\r\n");
    for (const auto& group : a.collinearity)
        for (const sens::TCollinearity& c : group.sets) {
            std::string names;
            for (std::size_t f : c.factors) names += (names.empty() ? "" : " ") + a.factors[f];
            csv.Write(CsvField(group.output) + "," + CsvField(names) + "," +
                      (std::isinf(c.index) ? std::string("inf") : Cell(c.index)) + "\r\n");
        }
    csv.Close();
}

void WriteText(const std::string& text, const std::string& path) {
    TTextWriter file;
    file.CreateReplacing(path);
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    file.Write(crlf);
    file.Close();
}

}  // namespace

std::string WriteSensitivityResults(const TExperiment& e, const sens::TSensDesign& design,
                                    const std::string& journal, const std::string& dir, int threads,
                                    std::size_t memoryBudget) {
    const sens::TBootstrapOptions bootstrap = SensitivityBootstrap(e, threads);
    const std::size_t outputs = e.outputs.size();
    const std::size_t perOutput = sizeof(double) * std::max<std::size_t>(1, design.members * e.outputTimes.size());
    // A local analysis looks at all outputs together, and is small anyway.
    const std::size_t perPass = design.method == sens::TSensMethod::Local
                                    ? outputs
                                    : std::clamp<std::size_t>(memoryBudget / perOutput, 1, std::max<std::size_t>(1, outputs));
    sens::TSensAnalysis all;
    for (std::size_t first = 0; first < outputs; first += perPass) {
        const std::size_t last = std::min(outputs, first + perPass);
        sens::TSensAnalysis part = sens::Analyse(design, Gather(e, design, journal, first, last), bootstrap);
        if (first == 0) {
            all = std::move(part);
            continue;
        }
        std::move(part.outputs.begin(), part.outputs.end(), std::back_inserter(all.outputs));
    }
    if (!all.AnyAnalysed()) throw EExperimentError(all.Errors());

    namespace fs = std::filesystem;
    auto in = [&](const char* name) { return (fs::path(dir) / name).string(); };
    WriteIndices(all, in("indices.csv"));
    if (design.method == sens::TSensMethod::Sobol) WriteConvergence(all, in("convergence.csv"));
    if (design.method == sens::TSensMethod::Local) WriteCollinearity(all, in("collinearity.csv"));
    const std::string report = sens::RankedReport(all, design, bootstrap);
    WriteText(report, in("report.txt"));
    return report;
}

}  // namespace orvane::ensemble
