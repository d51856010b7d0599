// The chart's extra graphs: observations and a second run beside the series.
#include "ui/display_chart.h"

namespace orvane {

QCPGraph* TOutputChart::AddOverlay(int k, const QString& title) {
    auto* g = new QCPGraph(xAxis, yAxis);
    g->setName(title);
    g->setAdaptiveSampling(true);
    g->removeFromLegend();
    overlays_.push_back({k, g, nullptr});
    return g;
}

QCPGraph* TOutputChart::AddObservationPoints(int k, const QVector<double>& x, const QVector<double>& y,
                                             const QVector<double>& sd, const QString& title) {
    QCPGraph* g = AddOverlay(k, title);
    const QColor colour = SeriesColour(k);
    g->setLineStyle(QCPGraph::lsNone);
    // A hollow circle with a cross: unlike any of the series' markers.
    g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCrossCircle, QPen(colour, 1.5), Qt::NoBrush, 9));
    g->setPen(QPen(colour));
    g->setData(x, y, true);
    if (!sd.isEmpty()) {
        auto* bars = new QCPErrorBars(xAxis, yAxis);
        bars->removeFromLegend();
        bars->setDataPlottable(g);
        bars->setData(sd);
        bars->setPen(QPen(colour, 1));
        bars->setWhiskerWidth(7);
        overlays_.back().bars = bars;
    }
    RebuildLegend();
    return g;
}

QCPGraph* TOutputChart::AddComparedLine(int k, const QVector<double>& x, const QVector<double>& y,
                                        const QString& title) {
    QCPGraph* g = AddOverlay(k, title);
    g->setLineStyle(QCPGraph::lsLine);
    g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    g->setPen(QPen(SeriesColour(k), 1.5));
    g->setData(x, y, true);
    RebuildLegend();
    return g;
}

void TOutputChart::ClearOverlays() {
    for (const TOverlay& o : overlays_) {
        if (o.bars) removePlottable(o.bars);
        removePlottable(o.graph);
    }
    overlays_.clear();
    RebuildLegend();
}

}  // namespace orvane
