#include "ui/data_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace orvane {

// ---- Model -----------------------------------------------------------------

TStringGridModel::TStringGridModel(TDataGrid& grid, int columns, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), columns_(columns) {
    SetGridRows(3);
}

int TStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GridRows() - 1;
}

int TStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TStringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row() + 1;
    const int col = index.column();
    const TRow& r = cells_[row];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return r.text[col];
    case Qt::CheckStateRole:
        if (col == 0 && r.hasCheck) return r.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
    case Qt::FontRole: {
        if (!grid_.OnGetCellColor) return {};
        QColor bg = grid_.palette().color(QPalette::Base);
        QFont font = grid_.font();
        grid_.OnGetCellColor(row, col, bg, font);
        if (role == Qt::BackgroundRole) return bg;
        return font;
    }
    case Qt::TextAlignmentRole:
        if (grid_.OnGetAlignment)
            return QVariant::fromValue(grid_.OnGetAlignment(row, col) | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool TStringGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    const int row = index.row() + 1;
    const int col = index.column();
    if (role == Qt::EditRole) {
        SetCell(col, row, value.toString());
        return true;
    }
    if (role == Qt::CheckStateRole && col == 0 && cells_[row].hasCheck) {
        const bool state = value.value<Qt::CheckState>() == Qt::Checked;
        SetCheckState(row, state);
        if (grid_.OnCheckBoxClick) grid_.OnCheckBoxClick(row, state);
        return true;
    }
    return false;
}

QVariant TStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
    if (role == Qt::DisplayRole) return cells_[0].text[section];
    if (role == Qt::FontRole) {
        QFont f = grid_.font();
        f.setBold(true);
        return f;
    }
    if (role == Qt::TextAlignmentRole && grid_.OnGetAlignment)
        return QVariant::fromValue(grid_.OnGetAlignment(0, section) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TStringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const int row = index.row() + 1;
    const int col = index.column();
    Qt::ItemFlags f = Qt::ItemIsEnabled;
    if (grid_.CanSelect(col, row)) {
        f |= Qt::ItemIsSelectable;
        if (grid_.Editing()) f |= Qt::ItemIsEditable;
    }
    if (col == 0 && cells_[row].hasCheck) f |= Qt::ItemIsUserCheckable;
    return f;
}

void TStringGridModel::SetGridRows(int rows) {
    rows = std::max(rows, 1);
    beginResetModel();
    const int old = GridRows();
    cells_.resize(rows);
    for (int r = old; r < rows; ++r) cells_[r].text = QVector<QString>(columns_);
    endResetModel();
}

QString TStringGridModel::Cell(int col, int row) const {
    if (row < 0 || row >= GridRows() || col < 0 || col >= columns_) return {};
    return cells_[row].text[col];
}

void TStringGridModel::SetCell(int col, int row, const QString& text) {
    if (row < 0 || row >= GridRows() || col < 0 || col >= columns_) return;
    cells_[row].text[col] = text;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(row - 1, col);
        emit dataChanged(i, i);
    }
}

bool TStringGridModel::HasCheckBox(int row) const {
    return row > 0 && row < GridRows() && cells_[row].hasCheck;
}

void TStringGridModel::AddCheckBox(int row, bool checked) {
    if (row <= 0 || row >= GridRows()) return;
    cells_[row].hasCheck = true;
    SetCheckState(row, checked);
}

bool TStringGridModel::CheckState(int row) const { return HasCheckBox(row) && cells_[row].checked; }

void TStringGridModel::SetCheckState(int row, bool checked) {
    if (!HasCheckBox(row)) return;
    cells_[row].checked = checked;
    const QModelIndex i = index(row - 1, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void TStringGridModel::ClearCells() {
    for (TRow& r : cells_) r.text.fill(QString());
    Refresh();
}

void TStringGridModel::Refresh() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columns_ - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

// ---- Delegate --------------------------------------------------------------

TDataGridDelegate::TDataGridDelegate(TDataGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

QRect TDataGridDelegate::CheckRect(const QRect& cell, const QWidget* widget) {
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget);
    return QRect(cell.center().x() - w / 2, cell.center().y() - h / 2, w, h);
}

void TDataGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const int row = index.row() + 1;
    const int col = index.column();
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.isValid()) {
        // A check-box cell: background, then the box centred in the cell.
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
        QStyleOptionButton box;
        box.rect = CheckRect(option.rect, option.widget);
        box.state = QStyle::State_Enabled |
                    (check.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On
                                                                   : QStyle::State_Off);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
    } else {
        QStyledItemDelegate::paint(painter, option, index);
    }
    if (grid_.OnDrawCell) grid_.OnDrawCell(painter, option.rect, col, row);
}

QWidget* TDataGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = qobject_cast<QLineEdit*>(w);
    editorIndex_ = index;
    return w;
}

bool TDataGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!(index.flags() & Qt::ItemIsUserCheckable)) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    // The check box sits in the middle of its cell, so hit-test it there.
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton ||
            !CheckRect(option.rect, option.widget).adjusted(-2, -2, 2, 2).contains(me->position().toPoint()))
            return false;
        const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    if (event->type() == QEvent::MouseButtonDblClick) return true;  // no double toggle
    return false;
}

void TDataGridDelegate::CommitOpenEditor() {
    // A closed editor may linger until deleted; only a visible one is open.
    if (editor_ && editor_->isVisible() && editorIndex_.isValid()) {
        setModelData(editor_, grid_.model(), editorIndex_);
    }
}

// ---- View ------------------------------------------------------------------

TDataGrid::TDataGrid(int columns, QWidget* parent) : QTableView(parent) {
    model_ = new TStringGridModel(*this, columns, this);
    delegate_ = new TDataGridDelegate(*this);
    setModel(model_);
    setItemDelegate(delegate_);
    setShowGrid(false);  // the owner draws the cell frames
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(21);
    verticalHeader()->setMinimumSectionSize(10);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultSectionSize(190);
    horizontalHeader()->setStretchLastSection(false);
    SetEditing(false);
}

void TDataGrid::SetEditing(bool on) {
    editing_ = on;
    setEditTriggers(on ? (QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked)
                       : QAbstractItemView::NoEditTriggers);
    model_->Refresh();
}

void TDataGrid::SetCursor(int col, int row) {
    const QModelIndex i = model_->index(row - 1, col);
    if (!i.isValid() || !CanSelect(col, row)) return;
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
}

int TDataGrid::CursorCol() const { return currentIndex().isValid() ? currentIndex().column() : 0; }

int TDataGrid::CursorRow() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 0; }

QRect TDataGrid::CellRect(int col, int row) const { return visualRect(model_->index(row - 1, col)); }

void TDataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The cursor only ever rests on a cell the owner allows; anything else
    // (a click on a fixed-looking cell, arrow keys) leaves it where it was.
    if (current.isValid() && !CanSelect(current.column(), current.row() + 1)) {
        const bool back = previous.isValid() && CanSelect(previous.column(), previous.row() + 1);
        selectionModel()->setCurrentIndex(back ? previous : QModelIndex(),
                                          back ? QItemSelectionModel::ClearAndSelect
                                               : QItemSelectionModel::Clear);
        return;
    }
    QTableView::currentChanged(current, previous);
}

}  // namespace orvane
