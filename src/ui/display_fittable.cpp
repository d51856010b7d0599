#include "ui/display_fittable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "io/numfmt.h"

namespace orvane {

namespace {

constexpr int kFullText = Qt::UserRole;

const char* const kStatColumns[] = {"n", "bias", "rmse", "mae", "r2", "nse", "wss", "m2ll"};

QTableWidgetItem* Cell(const QString& shown, const QString& full, bool number) {
    auto* item = new QTableWidgetItem(shown);
    item->setData(kFullText, full);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (full != shown) item->setToolTip(full);
    return item;
}

QTableWidgetItem* NumberCell(double v) {
    if (std::isnan(v)) return Cell(QString(), QString(), true);
    return Cell(QString::fromStdString(FormatGeneral(v, 6)), QString::fromStdString(FormatShortest(v)), true);
}

}  // namespace

TFitTable::TFitTable(QWidget* parent) : QTableWidget(parent) {
    setObjectName("TblFit");
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(false);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction("&Copy", this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { CopyToClipboard(); });
    addAction(copy);
}

void TFitTable::SetFits(const std::vector<TRunFitRows>& fits) {
    clear();
    const bool runs = fits.size() > 1;
    QStringList header;
    if (runs) header << "run";
    header << "variable" << "name";
    for (const char* c : kStatColumns) header << c;
    setColumnCount(static_cast<int>(header.size()));
    setHorizontalHeaderLabels(header);
    int rows = 0;
    for (const auto& f : fits) rows += static_cast<int>(f.fit.variables.size());
    setRowCount(rows);
    int r = 0;
    for (const auto& f : fits) {
        for (const auto& v : f.fit.variables) {
            int c = 0;
            if (runs) setItem(r, c++, Cell(f.run, f.run, false));
            setItem(r, c++, Cell(QString::fromStdString(v.symbol), QString::fromStdString(v.symbol), false));
            setItem(r, c++, Cell(QString::fromStdString(v.name), QString::fromStdString(v.name), false));
            const QString n = QString::number(v.stats.n);
            setItem(r, c++, Cell(n, n, true));
            const TFitStats& s = v.stats;
            for (double x : {s.bias, s.rmse, s.mae, s.r2, s.nse, s.wss, s.m2ll}) setItem(r, c++, NumberCell(x));
            ++r;
        }
    }
    resizeColumnsToContents();
}

QString TFitTable::CopyText() const {
    const auto chosen = selectedIndexes();
    int top = rowCount(), bottom = -1, left = columnCount(), right = -1;
    for (const QModelIndex& i : chosen) {
        top = std::min(top, i.row());
        bottom = std::max(bottom, i.row());
        left = std::min(left, i.column());
        right = std::max(right, i.column());
    }
    if (chosen.isEmpty()) {
        top = 0;
        bottom = rowCount() - 1;
        left = 0;
        right = columnCount() - 1;
    }
    QString text;
    for (int c = left; c <= right; ++c) text += (c > left ? "\t" : "") + horizontalHeaderItem(c)->text();
    text += '\n';
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            const QTableWidgetItem* it = item(r, c);
            const bool take = chosen.isEmpty() || (it && it->isSelected());
            if (c > left) text += '\t';
            if (take && it) text += it->data(kFullText).toString();
        }
        text += '\n';
    }
    return text;
}

void TFitTable::CopyToClipboard() const { QApplication::clipboard()->setText(CopyText()); }

void TFitTable::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        CopyToClipboard();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

int TFitTable::WantedHeight(int limit) const {
    int h = horizontalHeader()->sizeHint().height() + 2 * frameWidth();
    for (int r = 0; r < rowCount(); ++r) h += rowHeight(r);
    h += horizontalScrollBar()->sizeHint().height();  // room for it in a narrow window
    return std::min(h, limit);
}

}  // namespace orvane
