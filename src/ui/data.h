// The state and process tables: one window with one grid.
//  - State mode (ShowStates, modal): edits the initial value of every state
//    and its HoldConstant mark.
//  - Process mode (ShowProcess, non-blocking): a read-only table of all
//    processes beside the window that asked for it; that window refreshes it
//    with UpdateProcess when it recomputes the processes, if the table is
//    visible and ShowingProcesses is true.
#pragma once

#include <QDialog>

#include "model/stypes.h"

class QPushButton;
class QWidget;

namespace orvane {

struct TGlobals;
struct TForms;
class IDialogService;
class TDataGrid;

class TDataForm : public QDialog {
    Q_OBJECT
public:
    TDataForm(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // The States array as it was when the window last opened (either mode);
    // Cancel and Close copy it back.
    statearray SavedStates;
    // The mode of the last opening: true in process mode.
    bool ShowingProcesses = false;

    // Opens in state mode, modally; returns the dialog result when it closes.
    int ShowStates();
    // Opens in process mode without blocking the caller; returns at once.
    // Opening it again while it is open retakes SavedStates and rewrites it.
    void ShowProcess();
    // Rewrites every process row from g.Processes.
    void UpdateProcess();
    // Writes the value cells and check boxes back into States. A value that is
    // not a number raises EConvertError and then nothing has been written.
    void SaveStates();
    // Empties every cell and cuts the grid to 3 rows.
    void ClearGrid();

    // Prepares state mode and shows the window modally without blocking the
    // caller (ShowStates does the same and then waits). Used by tests.
    void OpenStates();

    // Grid callbacks (grid coordinates: row 0 is the header row).
    bool AdvStringGrid1SelectCell(int col, int row) const;
    void AdvStringGrid1CheckBoxClick(int row, bool state);
    void AdvStringGrid1GetCellColor(int row, int col, QColor& background, QFont& font) const;
    Qt::Alignment AdvStringGrid1GetAlignment(int row, int col) const;
    void AdvStringGrid1DrawCell(QPainter* painter, const QRect& rect, int col, int row) const;

    TDataGrid* AdvStringGrid1 = nullptr;
    QWidget* PnlTop = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

public slots:
    void BtnOKClick();
    void BtnCancelClick();
    // Escape and the window's close control mean Cancel (or Close).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PrepareStates();
    void FitWidth();
    int CheckColumnWidth() const;
    void SetRow(int row, std::string_view symbol, std::string_view name, double value,
                std::string_view units);

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
};

}  // namespace orvane
