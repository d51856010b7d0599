// The program's dialog service: Qt's message boxes, input box and file
// dialogs, and the system beep.
#pragma once

#include "ui/dialogs.h"

class QWidget;

namespace orvane {

class TQtDialogService : public IDialogService {
public:
    TMsgButton MessageDlg(TMsgKind kind, const QString& text, TMsgButtons buttons) override;
    QString InputBox(const QString& title, const QString& prompt, const QString& defaultText) override;
    bool OpenFile(const TFileDialogSpec& dlgSpec, QString& path) override;
    bool SaveFile(const TFileDialogSpec& dlgSpec, QString& path) override;
    bool ChooseFolder(const TFileDialogSpec& dlgSpec, QString& path) override;
    void Beep() override;

    // Qt's name filter for one entry: "Label (pattern)"; "*.*" means every
    // file, which Qt writes "*".
    static QString NameFilter(const TFileFilter& filter);

private:
    bool FileDialog(bool save, const TFileDialogSpec& dlgSpec, QString& path);
};

}  // namespace orvane
