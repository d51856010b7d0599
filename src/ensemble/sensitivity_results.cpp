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

// Outputs [first, last) of the design's members, the journal's members
// offset..offset + d.members - 1 read from where `reader` stands.
sens::TAnalysisData Gather(const TExperiment& e, const sens::TSensDesign& d, TJournalReader& reader,
                           std::size_t offset, const std::string& journal, std::size_t first, std::size_t last) {
    sens::TAnalysisData data;
    for (const TFactor& f : e.factors) data.factors.push_back(f.symbol);
    for (std::size_t v = first; v < last; ++v) data.outputs.push_back(e.outputs[v].symbol);
    data.times = e.outputTimes;
    data.members = d.members;
    const std::size_t times = data.times.size(), n = d.members * times;
    data.values.assign((last - first) * n, sens::NoValue);
    data.ok.assign(d.members, 0);
    TMemberRecord r;
    std::size_t seen = 0;
    while (seen < d.members && reader.Next(r)) {
        ++seen;
        const std::size_t m = r.member - offset;
        if (r.member < offset || m >= d.members || !r.outcome.Ok()) continue;
        data.ok[m] = 1;
        for (std::size_t v = first; v < last; ++v)
            std::copy_n(r.outputs.begin() + static_cast<std::ptrdiff_t>(v * times), times,
                        data.values.begin() + static_cast<std::ptrdiff_t>((v - first) * n + m * times));
    }
    if (seen < d.members)
        throw EExperimentError("the members journal \"" + journal + "\" holds " + std::to_string(seen) +
                               " of the design's " + std::to_string(d.members) + " members");
    return data;
}

// One site's analysis; `site` is empty when the experiment has one site,
// whose files have no site column.
struct TSiteAnalysis {
    std::string site;
    sens::TSensAnalysis a;
};

std::string SiteCell(const TSiteAnalysis& s) { return s.site.empty() ? std::string() : CsvField(s.site) + ","; }
std::string SiteHeader(const std::vector<TSiteAnalysis>& all) { return all.front().site.empty() ? "" : "site,"; }

void WriteIndices(const std::vector<TSiteAnalysis>& all, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write(SiteHeader(all) + "method,output,time,factor,index,value,lower,upper\r\n");
    std::string line;
    for (const TSiteAnalysis& s : all)
    for (const sens::TIndexRow& r : sens::IndexRows(s.a)) {
        line.assign(SiteCell(s)).append(r.method).append(",").append(CsvField(*r.output)).append(",").append(Cell(r.time));
        line.append(",").append(CsvField(*r.factor)).append(",").append(r.index);
        line.append(",").append(Cell(r.value)).append(",").append(Cell(r.lower));
        line.append(",").append(Cell(r.upper)).append("\r\n");
        csv.Write(line);
    }
    csv.Close();
}

void WriteConvergence(const std::vector<TSiteAnalysis>& all, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write(SiteHeader(all) + "output,time,base_points,factor,index,value\r\n");
    std::string line;
    for (const TSiteAnalysis& s : all)
    for (const sens::TConvergenceRow& r : sens::ConvergenceRows(s.a)) {
        line.assign(SiteCell(s)).append(CsvField(*r.output)).append(",").append(Cell(r.time)).append(",");
        line.append(std::to_string(r.basePoints)).append(",");
        if (r.factor) line.append(CsvField(*r.factor));
        line.append(",").append(r.index).append(",").append(Cell(r.value)).append("\r\n");
        csv.Write(line);
    }
    csv.Close();
}

void WriteCollinearity(const std::vector<TSiteAnalysis>& all, const std::string& path) {
    TTextWriter csv;
    csv.CreateReplacing(path);
    csv.Write(SiteHeader(all) + "output,factors,index\r\n");
    for (const TSiteAnalysis& s : all)
    for (const auto& group : s.a.collinearity)
        for (const sens::TCollinearity& c : group.sets) {
            std::string names;
            for (std::size_t f : c.factors) names += (names.empty() ? "" : " ") + s.a.factors[f];
            csv.Write(SiteCell(s) + CsvField(group.output) + "," + CsvField(names) + "," +
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
    const sens::TSensDesign* one[] = {&design};
    return WriteSensitivityResults(e, one, journal, dir, threads, memoryBudget);
}

std::string WriteSensitivityResults(const TExperiment& e, std::span<const sens::TSensDesign* const> designs,
                                    const std::string& journal, const std::string& dir, int threads,
                                    std::size_t memoryBudget) {
    const sens::TSensDesign& first0 = *designs.front();
    const sens::TBootstrapOptions bootstrap = SensitivityBootstrap(e, threads);
    const std::size_t outputs = e.outputs.size();
    const std::size_t perOutput = sizeof(double) * std::max<std::size_t>(1, first0.members * e.outputTimes.size());
    // A local analysis looks at all outputs together, and is small anyway.
    const std::size_t perPass = first0.method == sens::TSensMethod::Local
                                    ? outputs
                                    : std::clamp<std::size_t>(memoryBudget / perOutput, 1, std::max<std::size_t>(1, outputs));
    // The sites' members follow one another in the journal: each site is
    // read from where the one before it ended.
    TJournalReader reader(journal);
    std::vector<TSiteAnalysis> all;
    std::string report;
    std::string errors;
    for (std::size_t site = 0; site < designs.size(); ++site) {
        const sens::TSensDesign& design = *designs[site];
        const TJournalReader::TPlace start = reader.Place();
        TSiteAnalysis s;
        if (e.siteList) s.site = e.sites[site].name;
        for (std::size_t first = 0; first < outputs; first += perPass) {
            const std::size_t last = std::min(outputs, first + perPass);
            reader.Seek(start);
            sens::TSensAnalysis part =
                sens::Analyse(design, Gather(e, design, reader, site * design.members, journal, first, last), bootstrap);
            if (first == 0) {
                s.a = std::move(part);
                continue;
            }
            std::move(part.outputs.begin(), part.outputs.end(), std::back_inserter(s.a.outputs));
        }
        if (!s.a.AnyAnalysed()) {
            if (!errors.empty()) errors += '\n';
            if (!s.site.empty()) errors.append("site \"").append(s.site).append("\": ");
            errors += s.a.Errors();
            if (s.site.empty()) throw EExperimentError(errors);
        }
        const std::string part = sens::RankedReport(s.a, design, bootstrap);
        if (!s.site.empty()) {
            if (!report.empty()) report += '\n';
            report.append("Site ").append(s.site).append("\n\n");
        }
        report += part;
        all.push_back(std::move(s));
    }
    if (std::none_of(all.begin(), all.end(), [](const TSiteAnalysis& s) { return s.a.AnyAnalysed(); })) {
        throw EExperimentError(errors);
    }

    namespace fs = std::filesystem;
    auto in = [&](const char* name) { return (fs::path(dir) / name).string(); };
    WriteIndices(all, in("indices.csv"));
    if (first0.method == sens::TSensMethod::Sobol) WriteConvergence(all, in("convergence.csv"));
    if (first0.method == sens::TSensMethod::Local) WriteCollinearity(all, in("collinearity.csv"));
    WriteText(report, in("report.txt"));
    return report;
}

}  // namespace orvane::ensemble
