// The output display's chart: ten point series with fixed markers and
// colours, a legend of the active series, a title, and two axes that can be
// automatic or fixed, linear or logarithmic.
#pragma once

#include <QVector>
#include <qcustomplot.h>
#include <vector>

class QPrinter;

namespace orvane {

class TOutputChart : public QCustomPlot {
    Q_OBJECT
public:
    static constexpr int SeriesCount = 10;

    explicit TOutputChart(QWidget* parent = nullptr);

    // Markers are stamped into one picture per series on screen; off, the
    // painter draws each one (what printing does), to compare the two.
    void SetStampMarkers(bool on);

    void SetTitle(const QString& title);
    QString Title() const;

    // Series are numbered 1..SeriesCount. An inactive series is neither
    // drawn nor listed in the legend.
    QCPGraph* Series(int k) const { return series_[k - 1]; }
    void ClearSeries(int k);
    void SetSeriesActive(int k, bool active);
    bool SeriesActive(int k) const;
    // Adds points; the series keeps them in ascending order of x (`sorted`:
    // they come in that order already).
    void AddPoints(int k, const QVector<double>& x, const QVector<double>& y, bool sorted = false);
    int PointCount(int k) const;
    void SetSeriesTitle(int k, const QString& title);
    QString SeriesTitle(int k) const;

    // The colour series k is drawn in.
    static QColor SeriesColour(int k);

    // Extra graphs drawn with series k and listed after it in the legend:
    // observations (markers of their own, the standard deviation as an error
    // bar; sd may be empty) and another run as a line, both in series k's
    // colour. They count in the axes' ranges and stay until ClearOverlays.
    QCPGraph* AddObservationPoints(int k, const QVector<double>& x, const QVector<double>& y,
                                   const QVector<double>& sd, const QString& title);
    QCPGraph* AddComparedLine(int k, const QVector<double>& x, const QVector<double>& y,
                              const QString& title);
    void ClearOverlays();
    int OverlayCount() const { return static_cast<int>(overlays_.size()); }
    QCPGraph* Overlay(int i) const { return overlays_[static_cast<std::size_t>(i)].graph; }
    QCPErrorBars* OverlayErrorBars(int i) const { return overlays_[static_cast<std::size_t>(i)].bars; }

    // Smallest and largest y of all active series; false when they have no points.
    bool YRange(double& minY, double& maxY) const;

    // Axes: isX selects the horizontal axis.
    void SetAxisAutomatic(bool isX);
    // Fixed limits; a minimum above the maximum is swapped with it and a
    // range narrower than 1e-10 is widened to minimum + 1e-10.
    void SetAxisMinMax(bool isX, double minimum, double maximum);
    // Label step; 0 lets the axis choose.
    void SetAxisIncrement(bool isX, double increment);
    bool AxisAutomatic(bool isX) const;
    // The limits drawn (for an automatic axis, what automatic scaling gives).
    double AxisMinimum(bool isX) const;
    double AxisMaximum(bool isX) const;
    // The label step set; 0 while the axis chooses its own, so handing it
    // back keeps the labels following the limits.
    double AxisIncrement(bool isX) const;
    void SetAxisLogarithmic(bool isX, bool logarithmic);
    bool AxisLogarithmic(bool isX) const;
    void SetAxisTitle(bool isX, const QString& title);
    QString AxisTitle(bool isX) const;

    // Redraws with the current series and axes.
    void Redraw();
    // Draws the whole chart onto one page of `printer`; false if the printer
    // cannot be painted on.
    bool PrintOn(QPrinter& printer);

private:
    struct TAxisState {
        bool automatic = true;
        double minimum = 0;
        double maximum = 1;
        double increment = 0;
        bool logarithmic = false;
    };

    QCPAxis* Axis(bool isX) const { return isX ? xAxis : yAxis; }
    TAxisState& State(bool isX) { return isX ? xState_ : yState_; }
    const TAxisState& State(bool isX) const { return isX ? xState_ : yState_; }
    void ApplyAxis(bool isX);
    void ApplyTicker(bool isX);
    bool DataRange(bool isX, QCP::SignDomain domain, double& lo, double& hi) const;
    void RebuildLegend();

    struct TOverlay {
        int k = 0;
        QCPGraph* graph = nullptr;
        QCPErrorBars* bars = nullptr;
    };
    QCPGraph* AddOverlay(int k, const QString& title);

    std::vector<TOverlay> overlays_;
    QCPTextElement* title_ = nullptr;
    QCPGraph* series_[SeriesCount] = {};
    TAxisState xState_;
    TAxisState yState_;
};

}  // namespace orvane
