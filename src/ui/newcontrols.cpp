#include "ui/newcontrols.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

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

namespace {
void SetLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}
}  // namespace

void TMyTabSheet::SetSymbol(const QString& text) { SetLabelText(LblSymbol, text); }
void TMyTabSheet::SetValue(const QString& text) { SetLabelText(LblValue, text); }
void TMyTabSheet::SetUnits(const QString& text) { SetLabelText(LblUnits, text); }

void TMyTabSheet::SetCaption(const QString& caption) {
    caption_ = caption;
    if (pageControl_) pageControl_->update();
}

// ---- Tab strip ---------------------------------------------------------------

QFont TabCaptionFont(const QFont& base, const QString& caption, int width) {
    // Long process names fit a 120-pixel tab in narrower type rather than
    // losing their ends; the type keeps its height so the rows stay even.
    QFont font = base;
    for (int stretch = 100; stretch >= 70; stretch -= 5) {
        font.setStretch(stretch);
        // The same measure as the eliding that draws it.
        if (QFontMetrics(font).elidedText(caption, Qt::ElideRight, width) == caption) return font;
    }
    // The active tab's bold is only emphasis: the whole name matters more.
    if (base.bold()) {
        QFont plain = base;
        plain.setBold(false);
        return TabCaptionFont(plain, caption, width);
    }
    return font;
}

// Draws the tabs of its page control in rows and activates a page on click.
// The tabs are drawn here rather than by the style, whose tab shapes assume a
// single row.
class TMyTabStrip : public QWidget {
public:
    explicit TMyTabStrip(TMyPageControl& control) : QWidget(&control), control_(control) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int k = 0; k < control_.PageCount(); ++k) DrawTab(painter, k);
    }

    bool event(QEvent* event) override {
        // The whole caption of a tab too narrow for it.
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int k = control_.TabAt(mapTo(&control_, help->pos()));
            if (k >= 0)
                QToolTip::showText(help->globalPos(), control_.Pages(k)->Caption(), this);
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const int k = control_.TabAt(mapTo(&control_, event->position().toPoint()));
        if (k >= 0) control_.SetActivePageIndex(k);
    }

private:
    void DrawTab(QPainter& painter, int k) {
        const bool selected = k == control_.ActivePageIndex();
        const QRect cell = control_.TabRect(k).translated(-pos());
        // The active tab stands out: lighter, a little taller, bold caption.
        const QRect tab = selected ? cell.adjusted(0, 0, -1, -1) : cell.adjusted(1, 2, -2, -1);
        const QPalette& pal = palette();
        painter.fillRect(tab, selected ? pal.color(QPalette::Base) : pal.color(QPalette::Button));
        painter.setPen(selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid));
        painter.drawRect(tab);
        if (selected) painter.fillRect(tab.left() + 1, tab.top() + 1, tab.width() - 1, 2,
                                       pal.color(QPalette::Highlight));
        QFont bold = font();
        bold.setBold(selected);
        painter.setPen(pal.color(QPalette::ButtonText));
        const QRect text = tab.adjusted(3, 0, -3, 0);
        const QString caption = control_.Pages(k)->Caption();
        const QFont font = TabCaptionFont(bold, caption, text.width());
        painter.setFont(font);
        painter.drawText(text, Qt::AlignCenter,
                         QFontMetrics(font).elidedText(caption, Qt::ElideRight, text.width()));
    }

    TMyPageControl& control_;
};

// ---- Page control --------------------------------------------------------------

TMyPageControl::TMyPageControl(QWidget* parent) : QWidget(parent) {
    strip_ = new TMyTabStrip(*this);
    stack_ = new QStackedWidget(this);
    stack_->setFrameShape(QFrame::StyledPanel);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // The keys work wherever the focus is in the window, also inside a
    // grid's cell editor.
    auto addKey = [this](const QKeySequence& key, bool forward) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, forward] { SelectNextPage(forward); });
    };
    addKey(QKeySequence(Qt::CTRL | Qt::Key_Tab), true);
    addKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), false);
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
    LayoutChildren();
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

QSize TMyPageControl::sizeHint() const {
    return {5 * TabWidth, 8 * TabHeight() + 300};
}

QSize TMyPageControl::minimumSizeHint() const { return {TabWidth, 2 * TabHeight() + 100}; }

void TMyPageControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
}

// The tabs take as many rows as the width needs; the page gets the rest.
void TMyPageControl::LayoutChildren() {
    const int h = std::max(1, TabRowCount()) * TabHeight();
    strip_->setGeometry(0, 0, width(), h);
    stack_->setGeometry(0, h, width(), std::max(0, height() - h));
    strip_->update();
}

}  // namespace orvane
