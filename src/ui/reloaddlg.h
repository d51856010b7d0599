// The reload dialog: puts back the parameter values, the initial state
// values, or both, from the current parameter file.
#pragma once

#include <QDialog>

#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/forms.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace orvane {

class TDlgReload : public QDialog {
    Q_OBJECT

public:
    TDlgReload(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // Shows the dialog modally; returns the dialog's result.
    int ShowModal();

    QPlainTextEdit* MoDirections = nullptr;
    QCheckBox* CbParams = nullptr;
    QCheckBox* CbState = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

public slots:
    // Reads ParamFileName and copies the chosen values; the dialog then
    // closes with the accepted result, also when the file was refused.
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
};

}  // namespace orvane
