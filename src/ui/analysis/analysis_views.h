// What a results folder holds, and the charts made of it: the fan chart and
// histogram of an ensemble, and the bar charts, scatter and lines of the
// sensitivity indices.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <map>
#include <string>
#include <vector>

#include "ensemble/results_read.h"
#include "ui/analysis/analysis_chart.h"

namespace orvane {

struct TResultsData {
    QString folder;
    ensemble::TTrajectoriesInfo info;  // info.variables are the outputs
    std::vector<ensemble::TSummaryRow> summary;
    ensemble::TMembersFile members;
    std::vector<ensemble::TIndexRow> indices;
    // The base run at the output times, by output symbol; empty when the
    // experiment that made the results is not at hand (`baseNote` says why).
    std::map<std::string, std::vector<double>> base;
    QString baseNote;

    QStringList Outputs() const;
    const ensemble::TTrajectoryVariable* Output(const QString& symbol) const;
    bool HasIndices(const char* method) const;
};

// Reads the result files of a folder (indices.csv only where there is one).
// Raises the readers' errors.
TResultsData ReadResultsFolder(const QString& folder);

enum class TChartKind { Fan, Histogram, LocalBars, MorrisBars, MorrisScatter, SobolBars, SobolOverTime };

QList<TChartKind> AvailableCharts(const TResultsData& r);
QString ChartCaption(TChartKind kind);
// Whether the chart is of one output time, and which times it may be of.
bool ChartAtTime(TChartKind kind);
QVector<double> ChartTimes(const TResultsData& r, TChartKind kind, const QString& output);
// Whether the chart shows the top factors only.
bool ChartOfTopFactors(TChartKind kind);

// The chart of `output` (at `time` where the chart is of one time); `top`
// factors for the lines over time. Raises the readers' errors (a histogram
// reads its values from trajectories.nc).
TChartData BuildChart(const TResultsData& r, TChartKind kind, const QString& output, double time, int top);

// The histogram of values: about the square root of their number of equal
// bins (5 to 50) from the smallest to the largest.
struct THistogram {
    std::vector<double> edges;  // bins + 1
    std::vector<std::size_t> counts;
};
THistogram MakeHistogram(const std::vector<double>& values);

}  // namespace orvane
