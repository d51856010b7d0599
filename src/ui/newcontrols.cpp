#include "ui/newcontrols.h"

#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/data_grid.h"

namespace orvane {

// ---- Sheet -----------------------------------------------------------------

TMyTabSheet::TMyTabSheet(const QString& caption, int gridColumns, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    Strip = new QFrame(this);
    Strip->setFrameShape(QFrame::Panel);
    Strip->setFrameShadow(QFrame::Raised);
    Strip->setFixedHeight(StripHeight);
    QFont bold = Strip->font();
    bold.setBold(true);
    auto makeText = [&](int left) {
        auto* label = new QLabel(Strip);
        label->setFont(bold);
        label->move(left, TextTop);
        return label;
    };
    LblSymbol = makeText(SymbolLeft);
    LblValue = makeText(ValueLeft);
    LblUnits = makeText(UnitsLeft);

    Grid = new TDataGrid(gridColumns, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Strip);
    layout->addWidget(Grid, 1);
}

void TMyTabSheet::SetCaption(const QString& caption) {
    caption_ = caption;
    if (pageControl_) pageControl_->update();
}

// ---- Tab strip ---------------------------------------------------------------

// Draws the tabs of its page control in rows and activates a page on click.
class TMyTabStrip : public QWidget {
public:
    explicit TMyTabStrip(TMyPageControl& control) : QWidget(&control), control_(control) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int active = control_.ActivePageIndex();
        // The active tab last, so that its raised outline is drawn on top.
        for (int k = 0; k < control_.PageCount(); ++k)
            if (k != active) DrawTab(painter, k);
        if (active >= 0) DrawTab(painter, active);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const int k = control_.TabAt(mapTo(&control_, event->position().toPoint()));
        if (k >= 0) control_.SetActivePageIndex(k);
    }

private:
    void DrawTab(QPainter& painter, int k) {
        QStyleOptionTab opt;
        opt.initFrom(this);
        opt.shape = QTabBar::RoundedNorth;
        opt.rect = control_.TabRect(k).translated(-pos());
        const int perRow = control_.TabsPerRow();
        const int col = k % perRow;
        const int lastInRow = std::min(control_.PageCount(), (k / perRow + 1) * perRow) - 1;
        if (perRow == 1 || (k == lastInRow && col == 0))
            opt.position = QStyleOptionTab::OnlyOneTab;
        else if (col == 0)
            opt.position = QStyleOptionTab::Beginning;
        else if (k == lastInRow)
            opt.position = QStyleOptionTab::End;
        else
            opt.position = QStyleOptionTab::Middle;
        const bool selected = k == control_.ActivePageIndex();
        if (selected) opt.state |= QStyle::State_Selected;
        opt.state &= ~QStyle::State_HasFocus;
        const QString caption = control_.Pages(k)->Caption();
        opt.text = opt.fontMetrics.elidedText(caption, Qt::ElideRight, opt.rect.width() - 10);
        style()->drawControl(QStyle::CE_TabBarTab, &opt, &painter, this);
    }

    TMyPageControl& control_;
};

// ---- Page control --------------------------------------------------------------

TMyPageControl::TMyPageControl(QWidget* parent) : QWidget(parent) {
    strip_ = new TMyTabStrip(*this);
    stack_ = new QStackedWidget(this);
    stack_->setFrameShape(QFrame::StyledPanel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip_);
    layout->addWidget(stack_, 1);

    // The keys work wherever the focus is in the window, also inside a
    // grid's cell editor.
    auto addKey = [this](const QKeySequence& key, bool forward) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, forward] { SelectNextPage(forward); });
    };
    addKey(QKeySequence(Qt::CTRL | Qt::Key_Tab), true);
    addKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), false);
    UpdateStripHeight();
}

TMyTabSheet* TMyPageControl::Pages(int index) const {
    if (index < 0 || index >= PageCount()) return nullptr;
    return pages_[index];
}

void TMyPageControl::AddPage(TMyTabSheet* sheet) {
    sheet->pageIndex_ = PageCount();
    sheet->pageControl_ = this;
    pages_.append(sheet);
    stack_->addWidget(sheet);
    if (active_ < 0) SetActivePageIndex(0);
    UpdateStripHeight();
    strip_->update();
}

void TMyPageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount() || index == active_) return;
    active_ = index;
    stack_->setCurrentIndex(index);
    strip_->update();
    emit ActivePageChanged(index);
}

void TMyPageControl::SetActivePage(TMyTabSheet* sheet) {
    if (sheet && sheet->pageControl_ == this) SetActivePageIndex(sheet->pageIndex_);
}

void TMyPageControl::SelectNextPage(bool forward) {
    const int n = PageCount();
    if (n == 0) return;
    SetActivePageIndex(((active_ + (forward ? 1 : -1)) % n + n) % n);
}

int TMyPageControl::TabsPerRow() const { return std::max(1, width() / TabWidth); }

int TMyPageControl::TabRowCount() const {
    const int per = TabsPerRow();
    return (PageCount() + per - 1) / per;
}

int TMyPageControl::TabHeight() const { return fontMetrics().height() + 10; }

QRect TMyPageControl::TabRect(int index) const {
    if (index < 0 || index >= PageCount()) return {};
    const int per = TabsPerRow();
    return QRect((index % per) * TabWidth, (index / per) * TabHeight(), TabWidth, TabHeight());
}

int TMyPageControl::TabAt(const QPoint& pos) const {
    if (pos.x() < 0 || pos.y() < 0) return -1;
    const int col = pos.x() / TabWidth;
    const int row = pos.y() / TabHeight();
    if (col >= TabsPerRow()) return -1;
    const int k = row * TabsPerRow() + col;
    return k < PageCount() ? k : -1;
}

void TMyPageControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateStripHeight();
}

void TMyPageControl::UpdateStripHeight() {
    const int h = std::max(1, TabRowCount()) * TabHeight();
    if (strip_->height() != h || strip_->minimumHeight() != h) strip_->setFixedHeight(h);
}

}  // namespace orvane
