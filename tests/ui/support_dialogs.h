// A scripted dialog service for window tests: records every message box,
// input box, file dialog and beep, and answers from queues. Nothing blocks.
#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "ui/dialogs.h"

namespace orvane {

struct TRecordedMessage {
    TMsgKind kind;
    QString text;
    TMsgButtons buttons;
};

struct TRecordedInput {
    QString title;
    QString prompt;
    QString defaultText;
};

struct TRecordedFileDialog {
    bool save;
    TFileDialogSpec dlgSpec;
};

class TScriptedDialogs : public IDialogService {
public:
    // Answers, consumed front first.
    QList<TMsgButton> messageAnswers;             // empty: OK if offered, else No, else Cancel
    QList<std::optional<QString>> inputAnswers;   // nullopt or empty queue: cancelled (default returned)
    QList<std::optional<QString>> fileAnswers;    // nullopt or empty queue: cancelled

    // What was asked.
    QList<TRecordedMessage> messages;
    QList<TRecordedInput> inputs;
    QList<TRecordedFileDialog> fileDialogs;
    int beeps = 0;

    TMsgButton MessageDlg(TMsgKind kind, const QString& text, TMsgButtons buttons) override;
    QString InputBox(const QString& title, const QString& prompt, const QString& defaultText) override;
    bool OpenFile(const TFileDialogSpec& dlgSpec, QString& path) override;
    bool SaveFile(const TFileDialogSpec& dlgSpec, QString& path) override;
    // Recorded as an open dialog; answered from fileAnswers.
    bool ChooseFolder(const TFileDialogSpec& dlgSpec, QString& path) override;
    void Beep() override { ++beeps; }

    // Texts of all messages recorded so far.
    QStringList MessageTexts() const;
    void Clear();

private:
    bool FileAnswer(bool save, const TFileDialogSpec& dlgSpec, QString& path);
};

}  // namespace orvane
