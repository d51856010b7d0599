// The lists of output columns shared by the output display and its series
// chooser: filling them in the same order, and laying them out in columns.
#pragma once

class QListWidget;

namespace orvane {

struct TGlobals;

// Empties the list and adds "Time", every driver, state and process name,
// kept in alphabetical order ignoring case (so both lists match entry by entry).
void FillSeriesList(QListWidget* list, const TGlobals& g);

// How many columns a list gets in `availableWidth` pixels: a = width / 150;
// whole a when a / floor(a) <= threshold, otherwise a rounded half to even;
// never fewer than one.
int ListColumnCount(int availableWidth, double threshold);

// Lays the list out in `columns` columns that flow top to bottom; the entries
// keep their order and the list scrolls sideways when they do not fit.
void SetListColumns(QListWidget* list, int columns);
int ListColumns(const QListWidget* list);

}  // namespace orvane
