#include "ui/display_lists.h"
#include "ui/qtext.h"

#include <QEvent>
#include <QListWidget>
#include <algorithm>
#include <cmath>

#include "model/globals.h"

namespace orvane {

namespace {

constexpr const char* kColumnsProperty = "orvaneListColumns";

void ApplyGrid(QListWidget* list) {
    const int columns = std::max(1, ListColumns(list));
    const int width = std::max(20, list->viewport()->width() / columns);
    list->setGridSize(QSize(width, list->fontMetrics().height() + 4));
}

// Re-spreads the columns whenever the list itself changes size.
class TGridKeeper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            if (auto* list = qobject_cast<QListWidget*>(watched->parent())) ApplyGrid(list);
        }
        return false;
    }
};

}  // namespace

void FillSeriesList(QListWidget* list, const TGlobals& g) {
    QStringList names;
    names << "Time";
    for (int i = 1; i <= g.ModelDef.numdrive; ++i) names << Text(g.Drivers[i].name);
    for (int i = 1; i <= g.ModelDef.numstate; ++i) names << Text(g.States[i].name);
    for (int i = 1; i <= g.ModelDef.numprocess; ++i) names << Text(g.Processes[i].name);
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    list->setSortingEnabled(false);
    list->clear();
    list->addItems(names);
}

int ListColumnCount(int availableWidth, double threshold) {
    const double a = availableWidth / 150.0;
    const double whole = std::floor(a);
    if (whole < 1) return 1;
    if (a / whole <= threshold) return static_cast<int>(whole);
    return std::max(1, static_cast<int>(std::nearbyint(a)));  // default rounding: halves to even
}

void SetListColumns(QListWidget* list, int columns) {
    if (!list->property(kColumnsProperty).isValid()) {
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(true);
        list->setResizeMode(QListView::Adjust);
        list->setUniformItemSizes(true);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->viewport()->installEventFilter(new TGridKeeper(list->viewport()));
    }
    list->setProperty(kColumnsProperty, std::max(1, columns));
    ApplyGrid(list);
}

int ListColumns(const QListWidget* list) {
    const QVariant v = list->property(kColumnsProperty);
    return v.isValid() ? v.toInt() : 1;
}

}  // namespace orvane
