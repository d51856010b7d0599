// Where a window opens: wholly on the screen that holds the window that
// opened it, whatever size it has taken since it was last shown.
#pragma once

class QWidget;

namespace orvane {

// The window that opens `window`: the modal window in front, else the
// active window, else none (never `window` itself).
QWidget* OwnerOf(const QWidget& window);

// Moves `window` (about to be shown, or just shown) wholly onto the screen
// of `owner`, or the primary screen when there is no owner: centred there
// when `centre` is set or when it lies wholly off that screen, shrunk to
// the screen when it is larger and may be resized, and otherwise moved in
// no further than it takes.
void PlaceOnOwnerScreen(QWidget& window, const QWidget* owner, bool centre = false);
// The same with OwnerOf(window).
void PlaceOnOwnerScreen(QWidget& window, bool centre = false);

}  // namespace orvane
