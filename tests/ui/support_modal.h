// A watchdog for window tests: a modal window that no test step answers
// would block the test, so one left open for a while is closed and noted.
#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

namespace orvane {

class TModalWatch : public QObject {
public:
    // Closes a modal window still open after `ticks` checks, `intervalMs` apart.
    explicit TModalWatch(int ticks, int intervalMs = 200);
    // True when a modal window had to be closed since the last Reset.
    bool StrayModal() const { return stray_; }
    void Reset() { stray_ = false; }

private:
    void Check();
    QTimer timer_;
    QWidget* seen_ = nullptr;
    int ticks_ = 0;
    int limit_;
    bool stray_ = false;
};

}  // namespace orvane
