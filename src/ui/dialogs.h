// The dialog service: every message box, input box, file dialog and beep of
// the workbench goes through it. The program uses Qt's dialogs
// (TQtDialogService); window tests use a scripted implementation that
// records every message and answers from a queue, so no test ever blocks.
#pragma once

#include <QString>
#include <QStringList>

#include "model/reporter.h"

namespace orvane {

enum class TMsgButton { None = 0, OK = 1, Cancel = 2, Yes = 4, No = 8 };
using TMsgButtons = int;  // OR of TMsgButton values

// One filter entry of a file dialog: label and pattern ("Parameter FIles (*.par)", "*.par").
struct TFileFilter {
    QString label;
    QString pattern;
};

struct TFileDialogSpec {
    QString title;
    QString defaultExt;            // without the dot
    QList<TFileFilter> filters;
    QString initialName;
    bool mustExist = false;        // open: the file must exist
    bool promptCreate = false;     // ask before accepting a name that does not exist
    bool promptOverwrite = false;  // save: ask before overwriting
    bool hideReadOnly = false;     // read-only files neither listed nor accepted
    bool refuseReadOnly = false;   // read-only files listed but not accepted
};

class IDialogService : public IMessageSink {
public:
    // A message box of the given kind; returns the button chosen.
    virtual TMsgButton MessageDlg(TMsgKind kind, const QString& text, TMsgButtons buttons) = 0;
    // An input box; returns `defaultText` when cancelled.
    virtual QString InputBox(const QString& title, const QString& prompt, const QString& defaultText) = 0;
    // File dialogs; false when cancelled, otherwise `path` holds the choice.
    virtual bool OpenFile(const TFileDialogSpec& dlgSpec, QString& path) = 0;
    virtual bool SaveFile(const TFileDialogSpec& dlgSpec, QString& path) = 0;
    // A folder (which may be made in the dialog); false when cancelled. Only
    // `title` and `initialName` of the spec apply. A service without one
    // (a benchmark's) always cancels.
    virtual bool ChooseFolder(const TFileDialogSpec& dlgSpec, QString& path) {
        (void)dlgSpec;
        (void)path;
        return false;
    }
    virtual void Beep() = 0;

    // IMessageSink: the core's messages are OK-only message boxes.
    void ShowMessage(TMsgKind kind, const std::string& text) override {
        MessageDlg(kind, QString::fromStdString(text), static_cast<int>(TMsgButton::OK));
    }
};

}  // namespace orvane
