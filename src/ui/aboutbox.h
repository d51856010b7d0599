// The about window: names the model and its version.
#pragma once

#include <QDialog>

#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/forms.h"

class QLabel;
class QPushButton;

namespace orvane {

class TFmAbout : public QDialog {
    Q_OBJECT

public:
    TFmAbout(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // Fills the labels from the model definition; runs at every opening.
    void FormShow();
    // Shows the window modally; returns the dialog's result.
    int ShowModal();

    QWidget* Icon = nullptr;
    QLabel* LblModel = nullptr;
    QLabel* LblVersion = nullptr;
    QPushButton* BtnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
};

}  // namespace orvane
