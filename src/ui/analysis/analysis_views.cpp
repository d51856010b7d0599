#include "ui/analysis/analysis_views.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <set>

#include "io/numfmt.h"
#include "model/errors.h"
#include "ui/analysis/analysis_text.h"

namespace orvane {

namespace {

using ensemble::TIndexRow;

const QColor kPalette[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
                           QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75),
                           QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                           QColor(23, 190, 207)};
constexpr int kPaletteSize = static_cast<int>(sizeof kPalette / sizeof kPalette[0]);

const char* const kDimensionless = "dimensionless";

QString Num(double v) { return std::isnan(v) ? QString() : QString::fromStdString(FormatShortest(v)); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string InFolder(const QString& folder, const char* name) {
    return QDir(folder).filePath(name).toStdString();
}

// Whether two output times are the same row (times are written in their
// shortest form, so they read back exactly; the tolerance is for times
// that a user typed).
bool SameTime(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a)); }

QString TimeTitle(const TResultsData& r) {
    return AxisTitle("Time", Q(r.info.timeUnits));
}

QString OutputTitle(const TResultsData& r, const QString& output) {
    const ensemble::TTrajectoryVariable* v = r.Output(output);
    return v ? AxisTitle(Q(v->longName), Q(v->units)) : output;
}

QString OutputName(const TResultsData& r, const QString& output) {
    const ensemble::TTrajectoryVariable* v = r.Output(output);
    return v && !v->longName.empty() ? Q(v->longName) + " (" + output + ")" : output;
}

QString OutputUnits(const TResultsData& r, const QString& output) {
    const ensemble::TTrajectoryVariable* v = r.Output(output);
    return v ? Q(v->units) : QString();
}

// The rows of one index of one output, at one time (NaN: over time).
std::vector<const TIndexRow*> IndexRows(const TResultsData& r, const char* method, const QString& output,
                                        const char* index, double time) {
    std::vector<const TIndexRow*> rows;
    const std::string out = output.toStdString();
    for (const TIndexRow& row : r.indices) {
        if (row.method != method || row.output != out || row.index != index) continue;
        if (std::isnan(time) ? !std::isnan(row.time) : !SameTime(row.time, time)) continue;
        rows.push_back(&row);
    }
    return rows;
}

// Ranked horizontal bars, the largest at the top.
TChartData RankedBars(std::vector<const TIndexRow*> rows, bool byMagnitude, const QString& name,
                      const QColor& colour, const QString& valueColumn) {
    std::stable_sort(rows.begin(), rows.end(), [&](const TIndexRow* a, const TIndexRow* b) {
        const double x = byMagnitude ? std::fabs(a->value) : a->value;
        const double y = byMagnitude ? std::fabs(b->value) : b->value;
        // Undefined values last.
        if (std::isnan(x) != std::isnan(y)) return std::isnan(y);
        return x > y;
    });
    TChartData d;
    d.horizontal = true;
    TChartBars bars;
    bars.name = name;
    bars.colour = colour;
    const bool intervals = std::any_of(rows.begin(), rows.end(), [](const TIndexRow* x) { return !std::isnan(x->lower); });
    d.table.header = QStringList{"factor", valueColumn};
    if (intervals) d.table.header << "lower" << "upper";
    const int n = static_cast<int>(rows.size());
    for (int i = 0; i < n; ++i) {
        const TIndexRow& row = *rows[static_cast<std::size_t>(n - 1 - i)];
        d.categories << Q(row.factor);
        bars.position << i + 1;
        bars.value << row.value;
        if (intervals) {
            bars.lower << row.lower;
            bars.upper << row.upper;
        }
    }
    for (const TIndexRow* row : rows) {
        QStringList cells{Q(row->factor), Num(row->value)};
        if (intervals) cells << Num(row->lower) << Num(row->upper);
        d.table.rows << cells;
    }
    d.bars.push_back(std::move(bars));
    return d;
}

TChartData FanChart(const TResultsData& r, const QString& output) {
    const std::string out = output.toStdString();
    TChartData d;
    TChartBand outer{"5-95 %", {}, {}, {}, QColor(31, 119, 180, 60)};
    TChartBand inner{"25-75 %", {}, {}, {}, QColor(31, 119, 180, 110)};
    TChartLine median{"Median", {}, {}, QColor(8, 48, 107), Qt::SolidLine, 2};
    d.table.header = QStringList{"time", "q05", "q25", "q50", "q75", "q95", "base"};
    const auto base = r.base.find(out);
    TChartLine baseLine{"Base run", {}, {}, Qt::black, Qt::DashLine, 1.5};
    std::size_t t = 0;
    std::size_t members = 0;
    for (const ensemble::TSummaryRow& s : r.summary) {
        if (s.variable != out) continue;
        members = std::max(members, s.n);
        outer.x << s.time;
        outer.lower << s.q05;
        outer.upper << s.q95;
        inner.x << s.time;
        inner.lower << s.q25;
        inner.upper << s.q75;
        median.x << s.time;
        median.y << s.q50;
        double b = std::nan("");
        if (base != r.base.end() && t < base->second.size()) {
            b = base->second[t];
            baseLine.x << s.time;
            baseLine.y << b;
        }
        d.table.rows << QStringList{Num(s.time), Num(s.q05), Num(s.q25), Num(s.q50), Num(s.q75), Num(s.q95), Num(b)};
        ++t;
    }
    d.title = OutputName(r, output) + ": " + QString::number(members) + " members";
    d.xTitle = TimeTitle(r);
    d.yTitle = OutputTitle(r, output);
    d.bands = {outer, inner};
    d.lines.push_back(median);
    if (!baseLine.x.isEmpty()) d.lines.push_back(baseLine);
    return d;
}

TChartData HistogramChart(const TResultsData& r, const QString& output, double time) {
    const auto it = std::find_if(r.info.times.begin(), r.info.times.end(), [&](double t) { return SameTime(t, time); });
    if (it == r.info.times.end()) throw EInOutError("The results have no output time " + FormatGeneral(time));
    const std::size_t ti = static_cast<std::size_t>(it - r.info.times.begin());
    const std::vector<double> values =
        ensemble::ReadTrajectorySlice(InFolder(r.folder, ensemble::TrajectoriesFileName), output.toStdString(), ti);
    const THistogram h = MakeHistogram(values);
    TChartData d;
    d.title = OutputName(r, output) + " at time " + Num(*it) + ": " + QString::number(values.size()) + " members";
    d.xTitle = OutputTitle(r, output);
    d.yTitle = "Members (count)";
    d.table.header = QStringList{"bin_lower", "bin_upper", "members"};
    TChartBars bars;
    bars.name = "Members";
    bars.colour = QColor(31, 119, 180, 170);
    std::size_t most = 0;
    for (std::size_t b = 0; b < h.counts.size(); ++b) {
        bars.position << (h.edges[b] + h.edges[b + 1]) / 2;
        bars.value << static_cast<double>(h.counts[b]);
        most = std::max(most, h.counts[b]);
        d.table.rows << QStringList{Num(h.edges[b]), Num(h.edges[b + 1]), QString::number(h.counts[b])};
    }
    if (!h.counts.empty()) bars.width = h.edges[1] - h.edges[0];
    d.bars.push_back(std::move(bars));
    const auto base = r.base.find(output.toStdString());
    if (base != r.base.end() && ti < base->second.size()) {
        const double b = base->second[ti];
        d.lines.push_back({"Base run", {b, b}, {0, static_cast<double>(most)}, Qt::black, Qt::DashLine, 1.5});
    }
    return d;
}

TChartData MorrisScatter(const TResultsData& r, const QString& output, double time) {
    const auto mu = IndexRows(r, "morris", output, "mu_star", time);
    const auto sigma = IndexRows(r, "morris", output, "sigma", time);
    TChartData d;
    d.title = "Morris screening of " + OutputName(r, output) + " at time " + Num(time);
    const QString units = OutputUnits(r, output);
    d.xTitle = AxisTitle("Mean absolute elementary effect \u03bc*", units);
    d.yTitle = AxisTitle("Standard deviation of the effects \u03c3", units);
    d.table.header = QStringList{"factor", "mu_star", "sigma"};
    TChartPoints p;
    p.name = "Factors";
    p.colour = kPalette[0];
    for (const TIndexRow* m : mu) {
        const auto s = std::find_if(sigma.begin(), sigma.end(), [&](const TIndexRow* x) { return x->factor == m->factor; });
        const double sv = s == sigma.end() ? std::nan("") : (*s)->value;
        d.table.rows << QStringList{Q(m->factor), Num(m->value), Num(sv)};
        if (!std::isfinite(m->value) || !std::isfinite(sv)) continue;
        p.x << m->value;
        p.y << sv;
        p.labels << Q(m->factor);
    }
    d.points.push_back(std::move(p));
    return d;
}

TChartData SobolBars(const TResultsData& r, const QString& output, double time) {
    auto st = IndexRows(r, "sobol", output, "ST", time);
    const auto s1 = IndexRows(r, "sobol", output, "S1", time);
    std::stable_sort(st.begin(), st.end(), [](const TIndexRow* a, const TIndexRow* b) {
        if (std::isnan(a->value) != std::isnan(b->value)) return std::isnan(b->value);
        return a->value > b->value;
    });
    TChartData d;
    d.horizontal = true;
    TChartBars first{"First-order S1", {}, {}, {}, {}, kPalette[0], 0.8};
    TChartBars total{"Total ST", {}, {}, {}, {}, kPalette[1], 0.8};
    d.table.header = QStringList{"factor", "S1", "S1_lower", "S1_upper", "ST", "ST_lower", "ST_upper"};
    double sum = 0;
    const int n = static_cast<int>(st.size());
    for (int i = 0; i < n; ++i) {
        const TIndexRow& t = *st[static_cast<std::size_t>(n - 1 - i)];
        const auto f = std::find_if(s1.begin(), s1.end(), [&](const TIndexRow* x) { return x->factor == t.factor; });
        const TIndexRow none{};
        const TIndexRow& a = f == s1.end() ? none : **f;
        d.categories << Q(t.factor);
        for (TChartBars* b : {&first, &total}) b->position << i + 1;
        first.value << (f == s1.end() ? std::nan("") : a.value);
        first.lower << (f == s1.end() ? std::nan("") : a.lower);
        first.upper << (f == s1.end() ? std::nan("") : a.upper);
        total.value << t.value;
        total.lower << t.lower;
        total.upper << t.upper;
        if (f != s1.end() && std::isfinite(a.value)) sum += a.value;
    }
    for (int i = n - 1; i >= 0; --i) {
        d.table.rows << QStringList{d.categories[i], Num(first.value[i]), Num(first.lower[i]), Num(first.upper[i]),
                                    Num(total.value[i]), Num(total.lower[i]), Num(total.upper[i])};
    }
    d.bars = {first, total};
    d.title = "Sobol' indices of " + OutputName(r, output) + " at time " + Num(time) + " (sum of S1: " +
              QString::fromStdString(FormatGeneral(sum, 3)) + ")";
    d.xTitle = QString("Sobol' index, ") + kDimensionless;
    d.yTitle = "Factor";
    return d;
}

TChartData SobolOverTime(const TResultsData& r, const QString& output, int top) {
    const QVector<double> times = ChartTimes(r, TChartKind::SobolOverTime, output);
    TChartData d;
    d.title = "Total-order indices of " + OutputName(r, output) + " over time";
    d.xTitle = TimeTitle(r);
    d.yTitle = QString("Total index ST, ") + kDimensionless;
    if (times.isEmpty()) return d;
    // The factors that matter most at the last time.
    auto last = IndexRows(r, "sobol", output, "ST", times.back());
    std::stable_sort(last.begin(), last.end(), [](const TIndexRow* a, const TIndexRow* b) {
        if (std::isnan(a->value) != std::isnan(b->value)) return std::isnan(b->value);
        return a->value > b->value;
    });
    if (static_cast<int>(last.size()) > top) last.resize(static_cast<std::size_t>(std::max(top, 0)));
    d.table.header = QStringList{"time"};
    std::vector<std::vector<const TIndexRow*>> series;
    for (std::size_t k = 0; k < last.size(); ++k) {
        const QString f = Q(last[k]->factor);
        d.table.header << f << f + "_lower" << f + "_upper";
        TChartLine line{f, {}, {}, kPalette[k % kPaletteSize], Qt::SolidLine, 2};
        QColor fill = line.colour;
        fill.setAlpha(45);
        TChartBand band{QString(), {}, {}, {}, fill};
        std::vector<const TIndexRow*> rows;
        for (const double t : times) {
            const auto at = IndexRows(r, "sobol", output, "ST", t);
            const auto it = std::find_if(at.begin(), at.end(), [&](const TIndexRow* x) { return x->factor == last[k]->factor; });
            rows.push_back(it == at.end() ? nullptr : *it);
            if (it == at.end()) continue;
            line.x << t;
            line.y << (*it)->value;
            if (!std::isnan((*it)->lower)) {
                band.x << t;
                band.lower << (*it)->lower;
                band.upper << (*it)->upper;
            }
        }
        series.push_back(std::move(rows));
        d.lines.push_back(std::move(line));
        if (!band.x.isEmpty()) d.bands.push_back(std::move(band));
    }
    for (int i = 0; i < times.size(); ++i) {
        QStringList cells{Num(times[i])};
        for (const auto& rows : series) {
            const TIndexRow* x = rows[static_cast<std::size_t>(i)];
            cells << (x ? Num(x->value) : QString()) << (x ? Num(x->lower) : QString()) << (x ? Num(x->upper) : QString());
        }
        d.table.rows << cells;
    }
    return d;
}

}  // namespace

QStringList TResultsData::Outputs() const {
    QStringList out;
    for (const auto& v : info.variables) out << Q(v.symbol);
    return out;
}

const ensemble::TTrajectoryVariable* TResultsData::Output(const QString& symbol) const {
    for (const auto& v : info.variables)
        if (Q(v.symbol) == symbol) return &v;
    return nullptr;
}

bool TResultsData::HasIndices(const char* method) const {
    return std::any_of(indices.begin(), indices.end(), [&](const TIndexRow& r) { return r.method == method; });
}

TResultsData ReadResultsFolder(const QString& folder) {
    TResultsData r;
    r.folder = folder;
    const std::string nc = InFolder(folder, ensemble::TrajectoriesFileName);
    if (!QFileInfo::exists(QString::fromStdString(nc))) {
        throw EInOutError("The folder \"" + folder.toStdString() +
                          "\" holds no results of an ensemble: it has no trajectories.nc");
    }
    r.info = ensemble::ReadTrajectoriesInfo(nc);
    r.summary = ensemble::ReadSummaryFile(InFolder(folder, ensemble::SummaryFileName));
    std::vector<std::string> outputs;
    for (const auto& v : r.info.variables) outputs.push_back(v.symbol);
    r.members = ensemble::ReadMembersFile(InFolder(folder, ensemble::MembersFileName), outputs);
    const std::string indices = InFolder(folder, ensemble::IndicesFileName);
    if (QFileInfo::exists(QString::fromStdString(indices))) r.indices = ensemble::ReadIndicesFile(indices);
    return r;
}

QList<TChartKind> AvailableCharts(const TResultsData& r) {
    QList<TChartKind> kinds = {TChartKind::Fan, TChartKind::Histogram};
    if (r.HasIndices("local")) kinds << TChartKind::LocalBars;
    if (r.HasIndices("morris")) kinds << TChartKind::MorrisBars << TChartKind::MorrisScatter;
    if (r.HasIndices("sobol")) kinds << TChartKind::SobolBars << TChartKind::SobolOverTime;
    // A sensitivity analysis is first of all about its indices.
    if (kinds.size() > 2) std::rotate(kinds.begin(), kinds.begin() + 2, kinds.end());
    return kinds;
}

QString ChartCaption(TChartKind kind) {
    switch (kind) {
        case TChartKind::Fan: return "Fan chart over time";
        case TChartKind::Histogram: return "Histogram at a time";
        case TChartKind::LocalBars: return "Local sensitivities at a time";
        case TChartKind::MorrisBars: return "Morris \u03bc* at a time";
        case TChartKind::MorrisScatter: return "Morris \u03bc* and \u03c3 at a time";
        case TChartKind::SobolBars: return "Sobol' indices at a time";
        case TChartKind::SobolOverTime: return "Sobol' total indices over time";
    }
    return {};
}

bool ChartAtTime(TChartKind kind) { return kind != TChartKind::Fan && kind != TChartKind::SobolOverTime; }
bool ChartOfTopFactors(TChartKind kind) { return kind == TChartKind::SobolOverTime; }

QVector<double> ChartTimes(const TResultsData& r, TChartKind kind, const QString& output) {
    if (kind == TChartKind::Fan || kind == TChartKind::Histogram) {
        return QVector<double>(r.info.times.begin(), r.info.times.end());
    }
    const char* method = kind == TChartKind::LocalBars ? "local" : kind == TChartKind::SobolBars || kind == TChartKind::SobolOverTime ? "sobol" : "morris";
    std::set<double> times;
    const std::string out = output.toStdString();
    for (const TIndexRow& row : r.indices)
        if (row.method == method && row.output == out && !std::isnan(row.time)) times.insert(row.time);
    return QVector<double>(times.begin(), times.end());
}

TChartData BuildChart(const TResultsData& r, TChartKind kind, const QString& output, double time, int top) {
    TChartData d;
    switch (kind) {
        case TChartKind::Fan: return FanChart(r, output);
        case TChartKind::Histogram: return HistogramChart(r, output, time);
        case TChartKind::LocalBars:
            d = RankedBars(IndexRows(r, "local", output, "S", time), true, "S", kPalette[0], "S");
            d.title = "Local sensitivities of " + OutputName(r, output) + " at time " + Num(time);
            d.xTitle = QString("Normalised sensitivity (dy/y)/(dp/p), ") + kDimensionless;
            d.yTitle = "Factor";
            return d;
        case TChartKind::MorrisBars:
            d = RankedBars(IndexRows(r, "morris", output, "mu_star", time), false, "\u03bc*", kPalette[0], "mu_star");
            d.title = "Morris screening of " + OutputName(r, output) + " at time " + Num(time);
            d.xTitle = AxisTitle("Mean absolute elementary effect \u03bc*", OutputUnits(r, output));
            d.yTitle = "Factor";
            return d;
        case TChartKind::MorrisScatter: return MorrisScatter(r, output, time);
        case TChartKind::SobolBars: return SobolBars(r, output, time);
        case TChartKind::SobolOverTime: return SobolOverTime(r, output, top);
    }
    return d;
}

THistogram MakeHistogram(const std::vector<double>& values) {
    THistogram h;
    if (values.empty()) return h;
    const auto [mn, mx] = std::minmax_element(values.begin(), values.end());
    double lo = *mn;
    double hi = *mx;
    if (!(hi > lo)) {
        // One value: one bin around it.
        const double pad = lo != 0 ? std::fabs(lo) * 0.01 : 0.5;
        h.edges = {lo - pad, lo + pad};
        h.counts = {values.size()};
        return h;
    }
    const std::size_t bins = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::lround(std::sqrt(static_cast<double>(values.size())))), 5, 50);
    const double width = (hi - lo) / static_cast<double>(bins);
    for (std::size_t b = 0; b <= bins; ++b) h.edges.push_back(b == bins ? hi : lo + width * static_cast<double>(b));
    h.counts.assign(bins, 0);
    for (const double v : values) {
        // The largest value belongs to the last bin.
        const auto b = std::min(bins - 1, static_cast<std::size_t>((v - lo) / width));
        ++h.counts[b];
    }
    return h;
}

}  // namespace orvane
