#include "ui/placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace orvane {

QWidget* OwnerOf(const QWidget& window) {
    for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow()})
        if (w && w != &window && w->isVisible()) return w;
    return nullptr;
}

void PlaceOnOwnerScreen(QWidget& window, const QWidget* owner, bool centre) {
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    // A maximised window fills the screen it is on: it only has to be on the
    // right one, and moving it would give up the maximised state.
    if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        if (window.screen() != screen || !area.intersects(frame)) {
            const Qt::WindowStates state = window.windowState();
            window.setScreen(screen);
            frame.moveCenter(area.center());
            window.move(frame.topLeft());
            window.setWindowState(state);
        }
        return;
    }
    // The frame's extra beyond the client area (title bar and borders, when
    // a window manager draws them).
    const QSize extra = frame.size() - window.size();

    const bool resizable = window.minimumSize() != window.maximumSize();
    if (resizable && (frame.width() > area.width() || frame.height() > area.height())) {
        const QSize fit = (area.size() - extra).boundedTo(window.size());
        window.resize(fit.expandedTo(window.minimumSize()));
        frame.setSize(window.size() + extra);
    }
    // A window on another screen is brought over whole, not just to the edge.
    if (centre || !area.intersects(frame)) frame.moveCenter(area.center());
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
    window.move(frame.topLeft());
}

void PlaceOnOwnerScreen(QWidget& window, bool centre) {
    PlaceOnOwnerScreen(window, OwnerOf(window), centre);
}

}  // namespace orvane
