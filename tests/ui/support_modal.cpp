#include "ui/support_modal.h"

#include <QApplication>
#include <QDialog>

namespace orvane {

TModalWatch::TModalWatch(int ticks, int intervalMs) : limit_(ticks) {
    connect(&timer_, &QTimer::timeout, this, [this] { Check(); });
    timer_.start(intervalMs);
}

void TModalWatch::Check() {
    QWidget* m = QApplication::activeModalWidget();
    ticks_ = m && m == seen_ ? ticks_ + 1 : 0;
    seen_ = m;
    if (m && ticks_ > limit_) {
        stray_ = true;
        if (auto* d = qobject_cast<QDialog*>(m)) d->reject();
        else m->close();
    }
}

}  // namespace orvane
