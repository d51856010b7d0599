#include "ui/analysis/analysis_chart.h"

#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>
#include <cmath>
#include <filesystem>

#include "ui/chart_frame.h"

namespace orvane {

namespace {

QByteArray CsvField(const QString& text) {
    QByteArray s = text.toUtf8();
    if (s.contains(',') || s.contains('"') || s.contains('\n') || s.contains('\r')) {
        s.replace("\"", "\"\"");
        s = '"' + s + '"';
    }
    return s;
}

// The range of a set of values, NaN left out; false when none is finite.
bool Extend(const QVector<double>& v, double& lo, double& hi, bool& any) {
    for (const double x : v) {
        if (!std::isfinite(x)) continue;
        if (!any) {
            lo = hi = x;
            any = true;
        } else {
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    }
    return any;
}

// A range with a little room around what it holds.
QCPRange Padded(double lo, double hi, bool fromZero) {
    if (fromZero) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
    }
    if (hi == lo) {
        const double pad = lo != 0 ? std::fabs(lo) * 0.1 : 1;
        return {lo - pad, hi + pad};
    }
    const double pad = (hi - lo) * 0.05;
    return {fromZero && lo == 0 ? 0 : lo - pad, fromZero && hi == 0 ? 0 : hi + pad};
}

}  // namespace

QByteArray ChartCsv(const TChartTable& table) {
    QByteArray text;
    auto row = [&](const QStringList& cells) {
        for (int c = 0; c < cells.size(); ++c) {
            if (c > 0) text += ',';
            text += CsvField(cells[c]);
        }
        text += "\r\n";
    };
    row(table.header);
    for (const QStringList& r : table.rows) row(r);
    return text;
}

TAnalysisChart::TAnalysisChart(QWidget* parent) : QCustomPlot(parent) {
    setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    title_ = AddTitleAndSideLegend(*this);
    legend->setBorderPen(QPen(QColor(160, 160, 160)));
    legend->setVisible(false);
}

void TAnalysisChart::Show(const TChartData& data) {
    data_ = data;
    clearPlottables();
    clearItems();
    title_->setText(data.title);
    xAxis->setLabel(data.xTitle);
    yAxis->setLabel(data.yTitle);
    QCPAxis* keyAxis = data.horizontal ? yAxis : xAxis;

    for (const TChartBand& b : data.bands) {
        QCPGraph* lower = addGraph(xAxis, yAxis);
        lower->setData(b.x, b.lower, true);
        lower->setPen(Qt::NoPen);
        lower->removeFromLegend();
        QCPGraph* upper = addGraph(xAxis, yAxis);
        upper->setData(b.x, b.upper, true);
        upper->setPen(Qt::NoPen);
        upper->setBrush(b.fill);
        upper->setChannelFillGraph(lower);
        upper->setName(b.name);
        if (b.name.isEmpty()) upper->removeFromLegend();
    }
    QCPBarsGroup* group = data.bars.size() > 1 ? new QCPBarsGroup(this) : nullptr;
    if (group) group->setSpacing(0);
    for (const TChartBars& b : data.bars) DrawBars(b, group);
    for (const TChartLine& l : data.lines) {
        QCPGraph* g = addGraph(xAxis, yAxis);
        g->setData(l.x, l.y, true);
        g->setPen(QPen(l.colour, l.width, l.style));
        g->setName(l.name);
        if (l.name.isEmpty()) g->removeFromLegend();
    }
    for (const TChartPoints& p : data.points) {
        QCPGraph* g = addGraph(xAxis, yAxis);
        g->setData(p.x, p.y);
        g->setLineStyle(QCPGraph::lsNone);
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, p.colour, p.colour, 7));
        g->setName(p.name);
        for (int i = 0; i < p.x.size() && i < p.labels.size(); ++i) {
            auto* label = new QCPItemText(this);
            label->position->setType(QCPItemPosition::ptPlotCoords);
            label->position->setCoords(p.x[i], p.y[i]);
            label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
            label->setPadding(QMargins(5, 0, 0, 2));
            label->setText(p.labels[i]);
        }
    }

    // Categories along the bars' key axis; the other axes by their data.
    xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    yAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    if (!data.categories.isEmpty()) {
        auto ticker = QSharedPointer<QCPAxisTickerText>::create();
        for (int i = 0; i < data.categories.size(); ++i) ticker->addTick(i + 1, data.categories[i]);
        keyAxis->setTicker(ticker);
        keyAxis->setRange(0.4, data.categories.size() + 0.6);
        xAxis->grid()->setVisible(data.horizontal);
        yAxis->grid()->setVisible(!data.horizontal);
    } else {
        xAxis->grid()->setVisible(true);
        yAxis->grid()->setVisible(true);
    }
    // Value ranges from every number drawn: bars from 0, intervals whole.
    double lo = 0, hi = 0, klo = 0, khi = 0;
    bool any = false, keys = false;
    for (const TChartBand& b : data.bands) {
        Extend(b.lower, lo, hi, any);
        Extend(b.upper, lo, hi, any);
        Extend(b.x, klo, khi, keys);
    }
    for (const TChartBars& b : data.bars) {
        Extend(b.value, lo, hi, any);
        Extend(b.lower, lo, hi, any);
        Extend(b.upper, lo, hi, any);
        QVector<double> edges;
        for (const double x : b.position) edges << x - b.width / 2 << x + b.width / 2;
        Extend(edges, klo, khi, keys);
    }
    for (const TChartLine& l : data.lines) {
        Extend(l.y, lo, hi, any);
        Extend(l.x, klo, khi, keys);
    }
    for (const TChartPoints& p : data.points) {
        Extend(p.y, lo, hi, any);
        Extend(p.x, klo, khi, keys);
    }
    const bool bars = !data.bars.empty();
    if (any) (data.categories.isEmpty() || !data.horizontal ? yAxis : xAxis)->setRange(Padded(lo, hi, bars));

    if (data.categories.isEmpty()) {
        // Curves over time and histograms fill the width; labelled points
        // get room for their labels.
        if (keys && data.points.empty()) xAxis->setRange(khi > klo ? QCPRange(klo, khi) : Padded(klo, khi, false));
        if (keys && !data.points.empty()) xAxis->setRange(Padded(klo, khi + (khi - klo) * 0.15, true));
    }
    legend->setVisible(legend->itemCount() > 1);
    replot();
}

void TAnalysisChart::DrawBars(const TChartBars& b, QCPBarsGroup* group) {
    QCPAxis* keyAxis = data_.horizontal ? yAxis : xAxis;
    QCPAxis* valueAxis = data_.horizontal ? xAxis : yAxis;
    auto* bars = new QCPBars(keyAxis, valueAxis);
    bars->setData(b.position, b.value, true);
    bars->setWidth(group ? b.width / static_cast<double>(data_.bars.size()) : b.width);
    bars->setPen(QPen(b.colour.darker(140)));
    bars->setBrush(b.colour);
    bars->setName(b.name);
    if (group) bars->setBarsGroup(group);
    if (b.lower.isEmpty()) return;
    auto* errors = new QCPErrorBars(keyAxis, valueAxis);
    errors->removeFromLegend();
    errors->setDataPlottable(bars);
    QVector<double> minus, plus;
    for (int i = 0; i < b.value.size(); ++i) {
        const bool has = i < b.lower.size() && std::isfinite(b.lower[i]) && std::isfinite(b.upper[i]);
        minus << (has ? b.value[i] - b.lower[i] : std::nan(""));
        plus << (has ? b.upper[i] - b.value[i] : std::nan(""));
    }
    errors->setData(minus, plus);
    errors->setPen(QPen(Qt::black, 1));
    errors->setWhiskerWidth(6);
}

QSize TAnalysisChart::ImageSize() const {
    const bool shown = isVisible() && width() > 200 && height() > 150;
    return shown ? size() : QSize(1000, 700);
}

bool TAnalysisChart::SaveImage(const QString& path) {
    // Written beside its place and renamed into it only when complete.
    const QString part = path + ".part";
    const QSize s = ImageSize();
    const bool pdf = QFileInfo(path).suffix().compare("pdf", Qt::CaseInsensitive) == 0;
    const bool ok = pdf ? savePdf(part, s.width(), s.height()) : savePng(part, s.width(), s.height());
    std::error_code ec;
    if (ok) std::filesystem::rename(part.toStdString(), path.toStdString(), ec);
    if (!ok || ec) std::filesystem::remove(part.toStdString(), ec);
    return ok && !ec;
}

bool TAnalysisChart::PrintOn(QPrinter& printer) {
    const QSize s = ImageSize();
    return PaintOnPage(*this, printer, s.width(), s.height());
}

bool TAnalysisChart::ExportCsv(const QString& path, QString& error) const {
    const QByteArray text = ChartCsv(data_.table);
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    if (!ok) error = file.errorString();
    return ok;
}

}  // namespace orvane
