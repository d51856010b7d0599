// A small string grid on Qt's model/view: one fixed header row (shown as the
// horizontal header), cell texts, a check box per row in column 0, and
// selectability, colours, alignment and cell frames supplied by the window
// that owns the grid. Rows and columns are addressed the grid's way: row 0 is
// the header, rows 1.. are the data rows.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVector>
#include <functional>

class QLineEdit;

namespace orvane {

class TDataGrid;

class TStringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TStringGridModel(TDataGrid& grid, int columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Grid rows including the header row.
    int GridRows() const { return static_cast<int>(cells_.size()); }
    void SetGridRows(int rows);
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);
    bool HasCheckBox(int row) const;
    void AddCheckBox(int row, bool checked);
    bool CheckState(int row) const;
    void SetCheckState(int row, bool checked);
    void ClearCells();
    // Tells the view that colours, alignment or flags may have changed.
    void Refresh();

private:
    struct TRow {
        QVector<QString> text;
        bool hasCheck = false;
        bool checked = false;
    };
    TDataGrid& grid_;
    int columns_;
    QVector<TRow> cells_;
};

// Draws the cell frame and a centred check box, and keeps track of the one
// open editor so that a button can commit it before reading the grid.
class TDataGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TDataGridDelegate(TDataGrid& grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // Writes the text of an open editor into its cell.
    void CommitOpenEditor();
    // The rectangle of a centred check box within a cell.
    static QRect CheckRect(const QRect& cell, const QWidget* widget);

private:
    TDataGrid& grid_;
    mutable QPointer<QLineEdit> editor_;
    mutable QPersistentModelIndex editorIndex_;
};

class TDataGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDataGrid(int columns, QWidget* parent = nullptr);

    TStringGridModel& Model() { return *model_; }
    const TStringGridModel& Model() const { return *model_; }
    TDataGridDelegate& Delegate() { return *delegate_; }

    // What the owner says about each cell (grid coordinates, row >= 1).
    std::function<bool(int col, int row)> OnSelectCell;
    std::function<void(int row, bool state)> OnCheckBoxClick;
    std::function<void(int row, int col, QColor& background, QFont& font)> OnGetCellColor;
    std::function<Qt::Alignment(int row, int col)> OnGetAlignment;
    std::function<void(QPainter* painter, const QRect& rect, int col, int row)> OnDrawCell;

    bool CanSelect(int col, int row) const { return !OnSelectCell || OnSelectCell(col, row); }
    void SetEditing(bool on);
    bool Editing() const { return editing_; }
    // Moves the cursor to a cell (grid coordinates).
    void SetCursor(int col, int row);
    // Grid coordinates of the cursor; row 0 when there is none.
    int CursorCol() const;
    int CursorRow() const;
    // Rectangle of a cell in viewport coordinates (grid coordinates).
    QRect CellRect(int col, int row) const;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    TStringGridModel* model_;
    TDataGridDelegate* delegate_;
    bool editing_ = false;
};

}  // namespace orvane
