#include "ui/support_dialogs.h"

namespace orvane {

TMsgButton TScriptedDialogs::MessageDlg(TMsgKind kind, const QString& text, TMsgButtons buttons) {
    messages.append({kind, text, buttons});
    if (!messageAnswers.isEmpty()) return messageAnswers.takeFirst();
    if (buttons & static_cast<int>(TMsgButton::OK)) return TMsgButton::OK;
    if (buttons & static_cast<int>(TMsgButton::No)) return TMsgButton::No;
    return TMsgButton::Cancel;
}

QString TScriptedDialogs::InputBox(const QString& title, const QString& prompt,
                                   const QString& defaultText) {
    inputs.append({title, prompt, defaultText});
    if (inputAnswers.isEmpty()) return defaultText;
    std::optional<QString> a = inputAnswers.takeFirst();
    return a ? *a : defaultText;
}

bool TScriptedDialogs::FileAnswer(bool save, const TFileDialogSpec& dlgSpec, QString& path) {
    fileDialogs.append({save, dlgSpec});
    if (fileAnswers.isEmpty()) return false;
    std::optional<QString> a = fileAnswers.takeFirst();
    if (!a) return false;
    path = *a;
    return true;
}

bool TScriptedDialogs::OpenFile(const TFileDialogSpec& dlgSpec, QString& path) {
    return FileAnswer(false, dlgSpec, path);
}

bool TScriptedDialogs::SaveFile(const TFileDialogSpec& dlgSpec, QString& path) {
    return FileAnswer(true, dlgSpec, path);
}

bool TScriptedDialogs::ChooseFolder(const TFileDialogSpec& dlgSpec, QString& path) {
    return FileAnswer(false, dlgSpec, path);
}

QStringList TScriptedDialogs::MessageTexts() const {
    QStringList out;
    for (const auto& m : messages) out << m.text;
    return out;
}

void TScriptedDialogs::Clear() {
    messages.clear();
    inputs.clear();
    fileDialogs.clear();
    beeps = 0;
}

}  // namespace orvane
