// The charts of the analysis window. What a chart shows is plain data
// (TChartData), drawn by one piece of code whether it goes to the screen, a
// picture file or the printer, and written as a table of numbers at full
// precision for other programs.
#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <qcustomplot.h>
#include <vector>

class QPrinter;

namespace orvane {

struct TChartLine {
    QString name;
    QVector<double> x, y;
    QColor colour;
    Qt::PenStyle style = Qt::SolidLine;
    double width = 1.5;
};

// A shaded band between two curves.
struct TChartBand {
    QString name;
    QVector<double> x, lower, upper;
    QColor fill;
};

// Bars at positions (on the category axis of a bar chart, or on the x axis
// of a histogram); lower and upper, when given, are an interval drawn on
// each bar.
struct TChartBars {
    QString name;
    QVector<double> position, value, lower, upper;
    QColor colour;
    double width = 0.8;
};

// Points, each with a label beside it.
struct TChartPoints {
    QString name;
    QVector<double> x, y;
    QStringList labels;
    QColor colour;
};

// The chart's numbers as text, each number in its shortest exact form.
struct TChartTable {
    QStringList header;
    QList<QStringList> rows;
};

struct TChartData {
    QString title;
    QString xTitle;
    QString yTitle;
    std::vector<TChartBand> bands;
    std::vector<TChartBars> bars;
    std::vector<TChartLine> lines;
    std::vector<TChartPoints> points;
    // Bar charts: the names of the categories at positions 1, 2, ... The
    // bars lie along the x axis (their length on the y axis) unless
    // `horizontal`, when the categories go up the y axis.
    QStringList categories;
    bool horizontal = false;
    TChartTable table;
    bool Empty() const { return bands.empty() && bars.empty() && lines.empty() && points.empty(); }
};

class TAnalysisChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit TAnalysisChart(QWidget* parent = nullptr);

    void Show(const TChartData& data);
    const TChartData& Data() const { return data_; }

    // PNG or PDF by the name's suffix, the size the chart has on the screen
    // (or a page-sized default when hidden). False when it cannot be written.
    bool SaveImage(const QString& path);
    // One page; false if the printer cannot be painted on.
    bool PrintOn(QPrinter& printer);
    // The table as CSV, through a file beside it renamed into place.
    bool ExportCsv(const QString& path, QString& error) const;

private:
    void DrawBars(const TChartBars& b, QCPBarsGroup* group);
    QSize ImageSize() const;

    TChartData data_;
    QCPTextElement* title_ = nullptr;
};

// The table's text as CSV (CR LF line ends, fields quoted where needed).
QByteArray ChartCsv(const TChartTable& table);

}  // namespace orvane
