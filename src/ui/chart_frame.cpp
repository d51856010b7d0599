#include "ui/chart_frame.h"

#include <QPrinter>
#include <algorithm>

namespace orvane {

QCPTextElement* AddTitleAndSideLegend(QCustomPlot& plot) {
    QCPLayoutGrid* layout = plot.plotLayout();
    layout->insertRow(0);
    const QFont font = plot.font();
    auto* title = new QCPTextElement(&plot, QString(), QFont(font.family(), font.pointSize() + 2, QFont::Bold));
    layout->addElement(0, 0, title);

    plot.axisRect()->insetLayout()->take(plot.legend);
    auto* side = new QCPLayoutGrid;
    layout->addElement(1, 1, side);
    layout->setColumnStretchFactor(1, 0.001);
    side->addElement(0, 0, plot.legend);
    side->addElement(1, 0, new QCPLayoutElement(&plot));
    side->setRowStretchFactor(0, 0.001);
    side->setMargins(QMargins(0, 0, 6, 0));
    return title;
}

bool PaintOnPage(QCustomPlot& plot, QPrinter& printer, int width, int height) {
    QCPPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = std::min(page.width() / double(width), page.height() / double(height));
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.scale(scale, scale);
    plot.toPainter(&painter, width, height);
    painter.end();
    return true;
}

}  // namespace orvane
