// The driver editor: the chosen driver file as plain text in aligned
// columns, edited freely and saved as it stands. Only the next reading of
// the file interprets what the user typed.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/forms.h"

class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace orvane {

class IMainForm;

// The main window's save dialog for driver files.
TFileDialogSpec DlgSaveDriver(const QString& initialName);

// One column of the driver text: the field left-justified in 21 characters.
// A text of 21 characters or more is kept whole and followed by a blank, so
// that it never runs into the next field.
std::string DriverTextField(std::string_view text);
// A driver value as text: the general format with 15 digits, or with as many
// more as it takes to read back as exactly the same number.
std::string DriverValueText(double value);

class TFmNote : public QDialog {
    Q_OBJECT

public:
    TFmNote(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // Shows the editor modally; returns the dialog's result.
    int ShowModal();

    // Rebuilds the caption and the whole text from DriverFileName.
    void FormActivate();

    // Where Choose Driver File goes; the main window unless set otherwise.
    void SetMainForm(IMainForm* mainForm) { mainForm_ = mainForm; }

    QPlainTextEdit* MoDrivers = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* BtnChooseFile = nullptr;
    QPushButton* BtnSaveFile = nullptr;
    QPushButton* BtnClose = nullptr;

public slots:
    void BtnChooseFileClick();
    void BtnSaveFileClick();
    void BtnCloseClick();
    // Escape and the window's close control act as the Close button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Asks for a name and writes the text; false when nothing was written.
    bool SaveText();
    // Checks the text as the driver reader will take it; a row it cannot
    // take is named in a question. False unless it reads or the user saves anyway.
    bool ReadsAsDriverFile();
    IMainForm* MainForm() const;

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
    IMainForm* mainForm_ = nullptr;
};

}  // namespace orvane
