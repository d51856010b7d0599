// What the program's charts share: a title above the plot and the legend
// right of it (so it never hides what is drawn), and the whole chart drawn
// onto a printer's page.
#pragma once

#include <qcustomplot.h>

class QPrinter;

namespace orvane {

// Adds both to a new plot; returns the (empty) title.
QCPTextElement* AddTitleAndSideLegend(QCustomPlot& plot);

// Draws the chart as it would be at width x height pixels, scaled to fill
// one page; false if the printer cannot be painted on.
bool PaintOnPage(QCustomPlot& plot, QPrinter& printer, int width, int height);

}  // namespace orvane
