#include "ui/display_table.h"
#include "ui/qtext.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "io/numfmt.h"
#include "model/globals.h"

namespace orvane {

// ---- Model ------------------------------------------------------------------

TOutputTableModel::TOutputTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TOutputTableModel::BuildHeader(const TGlobals& g) {
    beginResetModel();
    data_ = OutputTableColumns(g);
    names_.clear();
    units_.clear();
    for (const std::string& n : data_.names) names_ << Text(n);
    for (const std::string& u : data_.units) units_ << Text(u);
    rows_ = 0;
    endResetModel();
}

QString TOutputTableModel::CellText(int col, int gridRow) const {
    if (col < 0 || col >= Columns() || gridRow < 0) return {};
    switch (gridRow) {
        case 0: return QString::number(col);
        case 1: return names_[col];
        case 2: return units_[col];
        default:
            if (gridRow - 3 >= rows_) return {};
            return QString::fromStdString(FormatG4(Value(gridRow - 3, col)));
    }
}

// Rows come and go by removal and insertion rather than a reset, so that
// the views keep their columns and headers as they are: measuring 154
// headers again is most of what a reset would cost.
void TOutputTableModel::SetRows(std::vector<double>&& values) {
    Clear();
    const std::size_t rows = std::min<std::size_t>(data_.Columns() ? values.size() / data_.Columns() : 0,
                                                   static_cast<std::size_t>(INT_MAX - 1));
    if (rows == 0) return;
    beginInsertRows({}, 1, static_cast<int>(rows));
    data_.values = std::move(values);
    data_.values.resize(rows * data_.Columns());
    rows_ = static_cast<int>(rows);
    endInsertRows();
}

void TOutputTableModel::Clear() {
    if (rows_ > 0) beginRemoveRows({}, 1, rows_);
    std::vector<double>().swap(data_.values);
    const bool had = rows_ > 0;
    rows_ = 0;
    if (had) endRemoveRows();
}

int TOutputTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_ + 1;
}

int TOutputTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns();
}

QVariant TOutputTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    const int col = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (row == 0) return units_[col];
            return QString::fromStdString(FormatG4(Value(row - 1, col)));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(row == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
        case Qt::FontRole:
            if (row == 0) {
                QFont f;
                f.setItalic(true);
                return f;
            }
            return {};
        default:
            return {};
    }
}

QVariant TOutputTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns()) return {};
    if (role == Qt::DisplayRole) return QString::number(section) + "\n" + names_[section];
    if (role == Qt::ToolTipRole) return names_[section] + " (" + units_[section] + ")";
    return {};
}

// ---- View with a frozen time column -----------------------------------------

namespace {

// A column header that measures its 154 two-line headings once, not at
// every layout of the view (the views lay themselves out dozens of times as
// the window opens, and measuring is most of that).
class TMeasuredOnceHeader : public QHeaderView {
public:
    explicit TMeasuredOnceHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    QSize sizeHint() const override {
        if (!measured_.isValid()) measured_ = QHeaderView::sizeHint();
        return {length(), measured_.height()};
    }
    void reset() override {
        measured_ = {};
        QHeaderView::reset();
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) measured_ = {};
        return QHeaderView::event(e);
    }

private:
    mutable QSize measured_;
};

void SetUpView(QTableView* v) {
    v->setHorizontalHeader(new TMeasuredOnceHeader(v));
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setSelectionMode(QAbstractItemView::ContiguousSelection);
    v->setWordWrap(false);
    v->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows, whatever their number.
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 6);
    // 65 pixels, or what the widest "%.4g" number needs in this font.
    v->horizontalHeader()->setDefaultSectionSize(
        std::max(65, v->fontMetrics().horizontalAdvance("-8.888e-888") + 8));
    v->horizontalHeader()->setMinimumSectionSize(20);
    v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Left-aligned names show their beginning when the column is narrow.
    v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette p = v->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    v->setPalette(p);
}

}  // namespace

TOutputTableView::TOutputTableView(QWidget* parent) : QTableView(parent), frozen_(new QTableView(this)) {
    SetUpView(this);
    SetUpView(frozen_);
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setHorizontalScrollMode(ScrollPerPixel);
    frozen_->setVerticalScrollMode(ScrollPerPixel);
    frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->setStyleSheet("QTableView { border: none; }");
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    viewport()->stackUnder(frozen_);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == 0) {
            frozen_->setColumnWidth(0, size);
            UpdateFrozenGeometry();
        }
    });
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
}

void TOutputTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    frozen_->setModel(model);
    frozen_->setSelectionModel(selectionModel());
    auto hideOthers = [this] {
        for (int c = 1; c < frozen_->model()->columnCount(); ++c) frozen_->setColumnHidden(c, true);
        frozen_->setColumnWidth(0, columnWidth(0));
        UpdateFrozenGeometry();
    };
    connect(model, &QAbstractItemModel::modelReset, this, hideOthers);
    hideOthers();
    frozen_->show();
}

void TOutputTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    UpdateFrozenGeometry();
}

QModelIndex TOutputTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    QModelIndex current = QTableView::moveCursor(action, modifiers);
    // Keep the cursor's cell from sliding under the frozen column.
    if (action == MoveLeft && current.column() > 0 &&
        visualRect(current).topLeft().x() < frozen_->columnWidth(0)) {
        const int newValue = horizontalScrollBar()->value() + visualRect(current).topLeft().x() -
                             frozen_->columnWidth(0);
        horizontalScrollBar()->setValue(newValue);
    }
    return current;
}

void TOutputTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (index.column() > 0) QTableView::scrollTo(index, hint);
}

void TOutputTableView::UpdateFrozenGeometry() {
    frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), columnWidth(0),
                         viewport()->height() + horizontalHeader()->height());
}

}  // namespace orvane
