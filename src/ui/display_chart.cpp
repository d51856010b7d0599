#include "ui/display_chart.h"

#include <QPrinter>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

#include "ui/chart_frame.h"

namespace orvane {

namespace {

struct TSeriesLook {
    QCPScatterStyle::ScatterShape shape;
    QColor fill;
    QColor outline;
};

const TSeriesLook kLooks[TOutputChart::SeriesCount] = {
    {QCPScatterStyle::ssSquare, QColor(255, 0, 0), QColor(255, 0, 0)},
    {QCPScatterStyle::ssCircle, QColor(0, 128, 0), QColor(0, 128, 0)},
    {QCPScatterStyle::ssTriangle, QColor(0, 128, 192), QColor(0, 128, 192)},
    {QCPScatterStyle::ssCross, QColor(0, 0, 255), QColor(0, 0, 255)},
    {QCPScatterStyle::ssTriangleInverted, QColor(128, 0, 64), QColor(128, 0, 64)},
    {QCPScatterStyle::ssTriangle, QColor(128, 255, 128), QColor(128, 255, 128)},
    {QCPScatterStyle::ssCircle, QColor(128, 255, 255), QColor(128, 255, 255)},
    {QCPScatterStyle::ssDiamond, QColor(128, 128, 0), QColor(128, 0, 64)},
    {QCPScatterStyle::ssSquare, QColor(255, 128, 0), QColor(255, 128, 0)},
    {QCPScatterStyle::ssTriangleInverted, QColor(128, 0, 64), QColor(64, 128, 128)},
};

// Markers 2 pixels either side of the point.
constexpr double kMarkerSize = 5;

// Label formats: "#,##0.0" horizontally and "#,##0.000" vertically.
constexpr int kXDecimals = 1;
constexpr int kYDecimals = 3;

// The side of a marker's picture.
constexpr int kMarkerSide = static_cast<int>(kMarkerSize) + 3;

// Each marker is drawn once, smoothly, into a small picture that is then
// stamped at every point: far quicker than drawing thousands of shapes.
QCPScatterStyle MarkerStyle(const TSeriesLook& look) {
    const int side = kMarkerSide;
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    QCPPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QCPScatterStyle shape(look.shape, QPen(look.outline, 1), QBrush(look.fill), kMarkerSize);
    shape.applyTo(&painter, QPen(look.outline));
    shape.drawShape(&painter, side / 2.0, side / 2.0);
    painter.end();
    return QCPScatterStyle(picture);
}

// Source over destination, both premultiplied, as the painter blends; no
// branches, so that a row of a marker blends as one vector.
inline QRgb SourceOver(QRgb src, QRgb dst) {
    const uint k = 255 - (src >> 24);
    uint rb = (dst & 0xff00ff) * k;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint ag = ((dst >> 8) & 0xff00ff) * k;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return src + (ag | rb);
}

// Stamps a series' marker picture at every point into one image and draws
// that once: the painter's drawing of thousands of small pictures one by one
// is most of what redrawing a long run costs. Each picture lands where the
// painter would put it (at the whole pixel nearest its corner, when its
// centre lies within the clip widened by half a picture). Only for raster
// drawing at scale 1 (the screen, PNG pictures); false otherwise, and the
// painter draws them.
constexpr int kMaxStamp = 16;

// SourceOver on a marker's row (rows are 16-byte aligned in `src` and
// `keep`): a byte at a time in 16-bit lanes, with vector instructions where
// there are any.
static_assert(kMarkerSide * 4 % 16 == 0, "marker rows are whole vectors");
inline void BlendRow(uchar* __restrict dst, const uchar* __restrict src, const uchar* __restrict keep) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x80);
    auto scale = [&](__m128i d, __m128i k) {
        const __m128i t = _mm_mullo_epi16(d, k);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
    };
    for (int i = 0; i < kMarkerSide * 4; i += 16) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(keep + i));
        const __m128i lo = scale(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(k, zero));
        const __m128i hi = scale(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(k, zero));
        const __m128i out = _mm_add_epi8(_mm_packus_epi16(lo, hi),
                                         _mm_load_si128(reinterpret_cast<const __m128i*>(src + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), out);
    }
#else
    for (int i = 0; i < kMarkerSide * 4; ++i) {
        const auto t = static_cast<std::uint16_t>(dst[i] * keep[i]);
        dst[i] = static_cast<uchar>(src[i] + ((t + (t >> 8) + 0x80) >> 8));
    }
#endif
}

bool StampMarkers(QCPPainter* painter, const QVector<QPointF>& points, const QCPScatterStyle& style) {
    const QPaintDevice* device = painter->device();
    if (style.shape() != QCPScatterStyle::ssPixmap || painter->modes().testFlag(QCPPainter::pmVectorized) ||
        !device || (device->devType() != QInternal::Pixmap && device->devType() != QInternal::Image) ||
        device->devicePixelRatioF() != 1 || painter->worldTransform().type() > QTransform::TxTranslate)
        return false;
    const QImage stamp = style.pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int sw = std::min(stamp.width(), kMaxStamp);
    const int sh = std::min(stamp.height(), kMaxStamp);
    // The picture's pixels, and where each of its rows has any.
    QRgb pixels[kMaxStamp][kMaxStamp];
    int rowFirst[kMaxStamp];
    int rowEnd[kMaxStamp];
    for (int y = 0; y < sh; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(stamp.constScanLine(y));
        rowFirst[y] = sw;
        rowEnd[y] = 0;
        for (int x = 0; x < sw; ++x) {
            pixels[y][x] = line[x];
            if (qAlpha(line[x]) != 0) {
                rowFirst[y] = std::min(rowFirst[y], x);
                rowEnd[y] = x + 1;
            }
        }
    }
    // The same, byte by byte for whole rows: each byte, and what of the
    // destination shows through it (255 less the pixel's alpha).
    alignas(16) uchar rowBytes[kMarkerSide][kMarkerSide * 4] = {};
    alignas(16) uchar rowKeep[kMarkerSide][kMarkerSide * 4] = {};
    int rowsFrom = sh;
    int rowsTo = 0;
    if (sw == kMarkerSide && sh == kMarkerSide) {
        for (int y = 0; y < sh; ++y) {
            std::memcpy(rowBytes[y], pixels[y], sizeof rowBytes[y]);
            for (int x = 0; x < sw; ++x) std::memset(rowKeep[y] + 4 * x, 255 - qAlpha(pixels[y][x]), 4);
            if (rowEnd[y] > 0) {
                rowsFrom = std::min(rowsFrom, y);
                rowsTo = y + 1;
            }
        }
    }
    const QRect clip = painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect()
                                              : QRect(0, 0, device->width(), device->height());
    const QRectF accept = QRectF(painter->hasClipping() ? painter->clipBoundingRect() : QRectF(clip))
                              .adjusted(-sw * 0.5, -sh * 0.5, sw * 0.5, sh * 0.5);
    std::vector<QPoint> corners;
    corners.reserve(static_cast<std::size_t>(points.size()));
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    for (const QPointF& p : points) {
        if (!accept.contains(p)) continue;
        const QPoint c(qRound(p.x() - sw * 0.5), qRound(p.y() - sh * 0.5));
        corners.push_back(c);
        left = std::min(left, c.x());
        top = std::min(top, c.y());
        right = std::max(right, c.x() + sw);
        bottom = std::max(bottom, c.y() + sh);
    }
    if (corners.empty()) return true;
    const QRect box = QRect(left, top, right - left, bottom - top).intersected(clip);
    if (box.isEmpty()) return true;
    QImage canvas(box.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    uchar* const bits = canvas.bits();
    const qsizetype stride = canvas.bytesPerLine();
    const int bw = box.width();
    const int bh = box.height();
    for (const QPoint& c : corners) {
        const int x0 = c.x() - box.left();
        const int y0 = c.y() - box.top();
        if (sw == kMarkerSide && x0 >= 0 && y0 >= 0 && x0 + sw <= bw && y0 + sh <= bh) {
            // The usual marker, wholly inside: its rows as runs of bytes.
            uchar* row = bits + y0 * stride + x0 * 4;
            for (int sy = rowsFrom; sy < rowsTo; ++sy) BlendRow(row + sy * stride, rowBytes[sy], rowKeep[sy]);
            continue;
        }
        const int sy1 = std::min(sh, bh - y0);
        for (int sy = std::max(0, -y0); sy < sy1; ++sy) {
            const int sx0 = std::max(rowFirst[sy], -x0);
            const int sx1 = std::min(rowEnd[sy], bw - x0);
            QRgb* dst = reinterpret_cast<QRgb*>(bits + (y0 + sy) * stride) + x0;
            for (int sx = sx0; sx < sx1; ++sx) dst[sx] = SourceOver(pixels[sy][sx], dst[sx]);
        }
    }
    painter->drawImage(box.topLeft(), canvas);
    return true;
}

// A point series whose markers may reach a few pixels past the plot area, so
// points on its edges (the first time, a value of 0, the largest value) show
// whole instead of cut in half or hidden behind the axis.
class TSeriesGraph : public QCPGraph {
public:
    TSeriesGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}
    bool stamp = true;

protected:
    QRect clipRect() const override {
        const int m = static_cast<int>(kMarkerSize) / 2 + 2;
        return QCPGraph::clipRect().adjusted(-m, -m, m, m);
    }

    void drawScatterPlot(QCPPainter* painter, const QVector<QPointF>& scatters,
                         const QCPScatterStyle& style) const override {
        if (!stamp || !StampMarkers(painter, scatters, style)) QCPGraph::drawScatterPlot(painter, scatters, style);
    }
};

}  // namespace

TOutputChart::TOutputChart(QWidget* parent) : QCustomPlot(parent) {
    // Group separators in the labels, whatever the user's locale.
    setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    setNoAntialiasingOnDrag(true);

    title_ = AddTitleAndSideLegend(*this);
    legend->setVisible(true);
    legend->setBorderPen(QPen(QColor(160, 160, 160)));
    legend->setMargins(QMargins(6, 4, 6, 4));
    legend->setLayer("legend");

    for (int k = 0; k < SeriesCount; ++k) {
        QCPGraph* s = new TSeriesGraph(xAxis, yAxis);
        const TSeriesLook& look = kLooks[k];
        s->setLineStyle(QCPGraph::lsNone);
        s->setScatterStyle(MarkerStyle(look));
        s->setPen(QPen(look.outline));
        s->setAdaptiveSampling(true);
        s->setName(QString("Series%1").arg(k + 1));
        s->setVisible(false);
        series_[k] = s;
    }
    RebuildLegend();
    ApplyAxis(true);
    ApplyAxis(false);
}

void TOutputChart::SetStampMarkers(bool on) {
    for (QCPGraph* s : series_) static_cast<TSeriesGraph*>(s)->stamp = on;
}

void TOutputChart::SetTitle(const QString& title) { title_->setText(title); }
QString TOutputChart::Title() const { return title_->text(); }

void TOutputChart::ClearSeries(int k) { Series(k)->data()->clear(); }

void TOutputChart::SetSeriesActive(int k, bool active) {
    if (Series(k)->visible() == active) return;
    Series(k)->setVisible(active);
    RebuildLegend();
}

bool TOutputChart::SeriesActive(int k) const { return Series(k)->visible(); }

void TOutputChart::AddPoints(int k, const QVector<double>& x, const QVector<double>& y, bool sorted) {
    Series(k)->addData(x, y, sorted);
}

int TOutputChart::PointCount(int k) const { return Series(k)->data()->size(); }

void TOutputChart::SetSeriesTitle(int k, const QString& title) { Series(k)->setName(title); }
QString TOutputChart::SeriesTitle(int k) const { return Series(k)->name(); }

QColor TOutputChart::SeriesColour(int k) { return kLooks[k - 1].outline; }

void TOutputChart::RebuildLegend() {
    legend->clearItems();
    for (int k = 1; k <= SeriesCount; ++k) {
        if (!Series(k)->visible()) continue;
        Series(k)->addToLegend();
        for (const TOverlay& o : overlays_)
            if (o.k == k) o.graph->addToLegend();
    }
    legend->setVisible(legend->itemCount() > 0);
}

bool TOutputChart::DataRange(bool isX, QCP::SignDomain domain, double& lo, double& hi) const {
    bool any = false;
    std::vector<QCPAbstractPlottable*> drawn(series_, series_ + SeriesCount);
    for (const TOverlay& o : overlays_) {
        drawn.push_back(o.graph);
        if (o.bars) drawn.push_back(o.bars);  // so that no error bar is cut off
    }
    for (QCPAbstractPlottable* s : drawn) {
        if (!s->visible() || s->interface1D()->dataCount() == 0) continue;
        bool found = false;
        const QCPRange r = isX ? s->getKeyRange(found, domain) : s->getValueRange(found, domain);
        if (!found) continue;
        if (!any) {
            lo = r.lower;
            hi = r.upper;
            any = true;
        } else {
            lo = std::min(lo, r.lower);
            hi = std::max(hi, r.upper);
        }
    }
    return any;
}

bool TOutputChart::YRange(double& minY, double& maxY) const {
    return DataRange(false, QCP::sdBoth, minY, maxY);
}

void TOutputChart::SetAxisAutomatic(bool isX) {
    TAxisState& st = State(isX);
    st.automatic = true;
    st.increment = 0;
    ApplyAxis(isX);
}

void TOutputChart::SetAxisMinMax(bool isX, double minimum, double maximum) {
    if (minimum > maximum) std::swap(minimum, maximum);
    if (maximum - minimum < 1e-10) maximum = minimum + 1e-10;
    // Far from 0, adding 1e-10 may change nothing; an empty range would be
    // refused and the axis would silently keep its old limits.
    if (!(maximum > minimum)) maximum = std::nextafter(minimum, HUGE_VAL);
    TAxisState& st = State(isX);
    st.automatic = false;
    st.minimum = minimum;
    st.maximum = maximum;
    ApplyAxis(isX);
}

void TOutputChart::SetAxisIncrement(bool isX, double increment) {
    State(isX).increment = std::isfinite(increment) && increment > 0 ? increment : 0;
    ApplyTicker(isX);
}

bool TOutputChart::AxisAutomatic(bool isX) const { return State(isX).automatic; }
double TOutputChart::AxisMinimum(bool isX) const { return Axis(isX)->range().lower; }
double TOutputChart::AxisMaximum(bool isX) const { return Axis(isX)->range().upper; }

double TOutputChart::AxisIncrement(bool isX) const { return State(isX).increment; }

void TOutputChart::SetAxisLogarithmic(bool isX, bool logarithmic) {
    State(isX).logarithmic = logarithmic;
    ApplyAxis(isX);
}

bool TOutputChart::AxisLogarithmic(bool isX) const { return State(isX).logarithmic; }

void TOutputChart::SetAxisTitle(bool isX, const QString& title) { Axis(isX)->setLabel(title); }
QString TOutputChart::AxisTitle(bool isX) const { return Axis(isX)->label(); }

void TOutputChart::ApplyAxis(bool isX) {
    const TAxisState& st = State(isX);
    QCPAxis* ax = Axis(isX);
    ax->setScaleType(st.logarithmic ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
    double lo = 0;
    double hi = 1;
    if (st.automatic) {
        if (!DataRange(isX, st.logarithmic ? QCP::sdPositive : QCP::sdBoth, lo, hi)) {
            lo = st.logarithmic ? 1 : 0;
            hi = st.logarithmic ? 10 : 1;
        } else if (lo == hi) {
            // One distinct value: give it room on both sides.
            if (st.logarithmic) {
                lo /= 2;
                hi *= 2;
            } else {
                const double pad = lo != 0 ? std::abs(lo) * 0.1 : 1;
                lo -= pad;
                hi += pad;
            }
        }
    } else {
        lo = st.minimum;
        hi = st.maximum;
        if (st.logarithmic && lo <= 0) {
            // A logarithmic axis cannot reach 0: start at the decade of the
            // smallest positive value drawn instead.
            double pmin = 0;
            double pmax = 0;
            lo = DataRange(isX, QCP::sdPositive, pmin, pmax) ? std::pow(10.0, std::floor(std::log10(pmin)))
                                                             : 1;
        }
        if (st.logarithmic && hi <= lo) hi = lo * 10;
    }
    ax->setRange(lo, hi);
    ApplyTicker(isX);
}

void TOutputChart::ApplyTicker(bool isX) {
    const TAxisState& st = State(isX);
    QCPAxis* ax = Axis(isX);
    const int decimals = isX ? kXDecimals : kYDecimals;
    if (st.logarithmic) {
        if (!qSharedPointerDynamicCast<QCPAxisTickerLog>(ax->ticker())) {
            auto t = QSharedPointer<QCPAxisTickerLog>::create();
            t->setSubTickCount(8);
            ax->setTicker(t);
        }
        // Fixed decimals would print the lower decades as zeros.
        if (ax->range().lower >= std::pow(10.0, -decimals)) {
            ax->setNumberFormat("f");
            ax->setNumberPrecision(decimals);
        } else {
            ax->setNumberFormat("gb");
            ax->setNumberPrecision(4);
        }
        return;
    }
    ax->setNumberFormat("f");
    ax->setNumberPrecision(decimals);
    if (st.increment > 0) {
        auto t = QSharedPointer<QCPAxisTickerFixed>::create();
        t->setTickStep(st.increment);
        // Multiples of the step when the range is far wider than it, so the
        // labels never pile up.
        t->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        ax->setTicker(t);
    } else if (qSharedPointerDynamicCast<QCPAxisTickerLog>(ax->ticker()) ||
               qSharedPointerDynamicCast<QCPAxisTickerFixed>(ax->ticker())) {
        ax->setTicker(QSharedPointer<QCPAxisTicker>::create());
    }
}

void TOutputChart::Redraw() { replot(); }

bool TOutputChart::PrintOn(QPrinter& printer) {
    const int w = width() > 200 ? width() : 1000;
    const int h = height() > 150 ? height() : 700;
    return PaintOnPage(*this, printer, w, h);
}

}  // namespace orvane
