#include "ensemble/results.h"

#include <algorithm>
#include <filesystem>

#include "ensemble/journal.h"
#include "ensemble/summary.h"
#include "ensemble/trajectories.h"
#include "io/numfmt.h"
#include "io/textfile.h"

namespace orvane::ensemble {

namespace {

std::string InDir(const std::string& dir, const char* name) {
    return (std::filesystem::path(dir) / name).string();
}

void WriteMembersRow(TTextWriter& csv, const TExperiment& e, const TMemberRecord& r) {
    std::string line = std::to_string(r.member);
    line += r.outcome.Ok() ? ",ok," : ",failed,";
    line += CsvField(r.outcome.message);
    for (double v : r.factors) line.append(",").append(FormatShortest(v));
    const std::size_t t = static_cast<std::size_t>(e.Times());
    for (std::size_t v = 0; v < e.outputs.size(); ++v) {
        line += ",";
        if (!r.outputs.empty()) line += FormatShortest(r.outputs[v * t + t - 1]);
    }
    line += "\r\n";
    csv.Write(line);
}

void WriteSummaryRow(TTextWriter& csv, const std::string& variable, double time, std::vector<double>& values) {
    const TSliceStats s = SliceStats(values);
    std::string line = CsvField(variable) + "," + FormatShortest(time) + "," + std::to_string(s.n);
    const auto put = [&](double v, bool defined) {
        line += ',';
        if (defined) line += FormatShortest(v);
    };
    put(s.mean, s.n >= 1);
    put(s.sd, s.n >= 2);
    for (double v : {s.min, s.q05, s.q25, s.q50, s.q75, s.q95, s.max}) put(v, s.n >= 1);
    line += "\r\n";
    csv.Write(line);
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string q = "\"";
    for (char c : text) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

TResultCounts WriteResults(const TExperiment& e, std::size_t members, const std::string& journal,
                           const std::string& dir, std::size_t memoryBudget) {
    TJournalReader reader(journal);
    const std::size_t total = members;
    const std::size_t slices = e.outputs.size() * static_cast<std::size_t>(e.Times());
    // Slices gathered per pass over the journal, from the most members there can be.
    const std::size_t perPass =
        std::clamp<std::size_t>(memoryBudget / (sizeof(double) * std::max<std::size_t>(1, total)), 1, std::max<std::size_t>(1, slices));

    TTextWriter membersCsv;
    membersCsv.CreateReplacing(InDir(dir, "members.csv"));
    std::string header = "member,status,message";
    for (const TFactor& f : e.factors) header.append(",").append(CsvField(f.symbol));
    for (const TOutputVariable& o : e.outputs) header.append(",").append(CsvField(o.symbol));
    membersCsv.Write(header + "\r\n");

    TTextWriter summary;
    summary.CreateReplacing(InDir(dir, "summary.csv"));
    summary.Write("variable,time,n,mean,sd,min,q05,q25,q50,q75,q95,max\r\n");

    TTrajectoriesWriter nc(InDir(dir, "trajectories.nc"), e, total);
    TResultCounts counts;
    std::vector<std::vector<double>> gathered;
    TMemberRecord r;
    for (std::size_t first = 0; first < std::max<std::size_t>(1, slices); first += perPass) {
        const std::size_t last = std::min(slices, first + perPass);
        gathered.assign(last - first, {});
        const bool firstPass = first == 0;
        if (!firstPass) reader.Rewind();
        std::size_t seen = 0;
        while (reader.Next(r)) {
            ++seen;
            if (firstPass) {
                WriteMembersRow(membersCsv, e, r);
                nc.Member(r);
                ++counts.members;
                if (r.outcome.Ok()) ++counts.ok;
                else ++counts.byKind[static_cast<std::size_t>(r.outcome.kind)];
            }
            if (r.outputs.empty()) continue;
            for (std::size_t s = first; s < last; ++s) gathered[s - first].push_back(r.outputs[s]);
        }
        if (seen != total) {
            throw EInOutError("The journal \"" + journal + "\" holds " + std::to_string(seen) + " of " +
                              std::to_string(total) + " members");
        }
        const std::size_t t = static_cast<std::size_t>(e.Times());
        for (std::size_t s = first; s < last; ++s) {
            WriteSummaryRow(summary, e.outputs[s / t].symbol, e.outputTimes[s % t], gathered[s - first]);
        }
        if (slices == 0) break;
    }
    nc.Finish();
    membersCsv.Close();
    summary.Close();
    return counts;
}

}  // namespace orvane::ensemble
