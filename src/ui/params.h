// The parameter editor: one tab page per process that owns parameters, each
// with the process value at the calculation time above a grid of the
// process's parameters. Edits stay in the grids until they are committed.
#pragma once

#include <QDialog>
#include <QList>

#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/forms.h"

class QPushButton;
class QShowEvent;

namespace orvane {

class TDataGrid;
class TMyPageControl;
class TMyTabSheet;

class TFmParameter : public QDialog {
    Q_OBJECT

public:
    TFmParameter(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);
    ~TFmParameter() override;

    // Shows the editor modally; returns the dialog's result.
    int ShowModal();

    // Refreshes caption, processes and every shown value. `sender` is
    // BtnUpdateProc when Update processes asks; anything else is an opening.
    void FormShow(QObject* sender);
    // Computes every process at CalcTime from States, the committed Params
    // and the driver file. Raises whatever the reading or the model raises.
    void CalculateProcesses();
    // Commits the value column of every page to Params and sets
    // ParamsChanged. A cell that is not a number raises EConvertError; then
    // nothing has been committed and that cell is shown with the cursor on it.
    void updateparams();
    // Asks once per opening for consent, commits and recomputes. False when
    // the user declined or a value could not be committed.
    bool UpdateProcesses(QObject* button);
    // Only the value column can be selected.
    static bool StringGridSelectCell(int column, int row);

    // Page k belongs to this process.
    int ProcessOfPage(int page) const { return pageProcess_.value(page, 0); }
    TMyTabSheet* Page(int page) const;

    // True once the user has agreed, in this opening, to commit the grids.
    bool ValuesCommitted = false;

    TMyPageControl* PageControl = nullptr;
    QWidget* PlBottom = nullptr;
    QPushButton* BtnUpdateProc = nullptr;
    QPushButton* BtnShowAllProcess = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnClose = nullptr;

public slots:
    void BtnUpdateProcClick();
    void BtnShowAllProcessClick();
    void BtnOKClick();
    void BtnCloseClick();
    // Escape and the window's close control act as the cancel button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void AddPage(int process);
    void HideProcessTable();
    void FocusGrid(TDataGrid& grid);

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
    QList<int> pageProcess_;
};

}  // namespace orvane
