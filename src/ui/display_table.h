// The output display's table: every column of an output file (time, drivers,
// states, processes) at every output time. It keeps the values as the file
// holds them; the table shows them, and the chart draws them, rounded to 4
// significant digits ("%.4g"), made only for the cells on screen and the
// columns drawn, which keeps a large file quick to open.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <vector>

#include "io/numfmt.h"
#include "io/outputtable.h"

namespace orvane {

struct TGlobals;

class TOutputTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TOutputTableModel(QObject* parent = nullptr);

    // Builds the columns and their header texts from the catalogue: "Time",
    // then every driver, state and process name, with their units.
    void BuildHeader(const TGlobals& g);

    int Columns() const { return static_cast<int>(names_.size()); }
    int DataRowCount() const { return rows_; }
    const QString& Name(int col) const { return names_[col]; }
    const QString& Units(int col) const { return units_[col]; }
    // A value as the file holds it.
    double Value(int row, int col) const {
        return data_.Value(static_cast<std::size_t>(row), static_cast<std::size_t>(col));
    }
    // The same value as the table shows it and the chart draws it.
    double DisplayValue(int row, int col) const { return RoundG4(Value(row, col)); }
    // Every value, with the columns' names and units.
    const TOutputTable& Data() const { return data_; }
    // A cell as the grid numbers them: row 0 column numbers, row 1 names,
    // row 2 units, data from row 3 on. Empty outside the table.
    QString CellText(int col, int gridRow) const;

    // Replaces every data row; `values` holds Columns() numbers per row.
    void SetRows(std::vector<double>&& values);
    void Clear();

    // Model rows: row 0 holds the units (it scrolls with the data).
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList names_;
    QStringList units_;
    TOutputTable data_;
    int rows_ = 0;
};

// A read-only table view whose first column (the time) stays in place while
// the others scroll sideways.
class TOutputTableView : public QTableView {
    Q_OBJECT
public:
    explicit TOutputTableView(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    QTableView* FrozenView() const { return frozen_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void UpdateFrozenGeometry();
    QTableView* frozen_;
};

}  // namespace orvane
