// The workbench's own tab page control: fixed-width tabs laid out in as many
// rows as the width needs, one visible page, Ctrl+Tab / Ctrl+Shift+Tab to
// step through the pages with wrap-around. Each sheet carries a header strip
// (symbol, value, units) above its own string grid.
#pragma once

#include <QFont>
#include <QFrame>
#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QStackedWidget;

namespace orvane {

class TDataGrid;
class TMyPageControl;
class TMyTabStrip;

class TMyTabSheet : public QWidget {
    Q_OBJECT
public:
    // A sheet with an empty grid of `gridColumns` columns.
    explicit TMyTabSheet(const QString& caption, int gridColumns, QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // Position in its page control; -1 before it is placed in one.
    int PageIndex() const { return pageIndex_; }
    TMyPageControl* PageControl() const { return pageControl_; }

    // The texts of the header strip.
    void SetSymbol(const QString& text);
    void SetValue(const QString& text);
    void SetUnits(const QString& text);

    // The header strip and its three texts, at fixed places on one line.
    QFrame* Strip = nullptr;
    QLabel* LblSymbol = nullptr;
    QLabel* LblValue = nullptr;
    QLabel* LblUnits = nullptr;
    // The grid below the strip, filling the rest of the sheet.
    TDataGrid* Grid = nullptr;

    static constexpr int StripHeight = 40;
    static constexpr int SymbolLeft = 80;
    static constexpr int ValueLeft = 182;
    static constexpr int UnitsLeft = 310;
    static constexpr int TextTop = 14;

private:
    friend class TMyPageControl;
    QString caption_;
    int pageIndex_ = -1;
    TMyPageControl* pageControl_ = nullptr;
};

// The font for a tab caption `width` pixels wide: `base`, or as much
// narrower (and, failing that, not bold) as the caption needs to fit whole,
// but never below a readable floor (then the caption is elided where it is
// drawn).
QFont TabCaptionFont(const QFont& base, const QString& caption, int width);

class TMyPageControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int TabWidth = 120;

    explicit TMyPageControl(QWidget* parent = nullptr);

    // Appends a page; the control takes ownership. The first page added
    // becomes the active one.
    void AddPage(TMyTabSheet* sheet);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TMyTabSheet* Pages(int index) const;

    int ActivePageIndex() const { return active_; }
    TMyTabSheet* ActivePage() const { return Pages(active_); }
    void SetActivePageIndex(int index);
    void SetActivePage(TMyTabSheet* sheet);
    // The next (or previous) page, wrapping at either end.
    void SelectNextPage(bool forward);

    // Tab geometry, in this control's coordinates.
    int TabsPerRow() const;
    int TabRowCount() const;
    int TabHeight() const;
    QRect TabRect(int index) const;
    int TabAt(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ActivePageChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutChildren();

    QList<TMyTabSheet*> pages_;
    int active_ = -1;
    TMyTabStrip* strip_ = nullptr;
    QStackedWidget* stack_ = nullptr;
};

}  // namespace orvane
