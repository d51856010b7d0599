#include "ui/qtdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>

namespace orvane {

namespace {

QWidget* DialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// Hides files the user may not write, for dialogs that refuse them.
class THideReadOnly : public QSortFilterProxyModel {
protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!fs) return true;
        const QFileInfo info = fs->fileInfo(fs->index(row, 0, parent));
        return info.isDir() || info.isWritable();
    }
};

bool Ask(const QString& text) {
    return QMessageBox::question(DialogParent(), QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

TMsgButton TQtDialogService::MessageDlg(TMsgKind kind, const QString& text, TMsgButtons buttons) {
    QMessageBox box(DialogParent());
    switch (kind) {
    case TMsgKind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle("Warning");
        break;
    case TMsgKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle("Error");
        break;
    case TMsgKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle("Information");
        break;
    case TMsgKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle("Confirm");
        break;
    }
    box.setText(text);
    struct Pair {
        TMsgButton ours;
        QMessageBox::StandardButton qt;
    };
    const Pair pairs[] = {{TMsgButton::Yes, QMessageBox::Yes},
                          {TMsgButton::No, QMessageBox::No},
                          {TMsgButton::OK, QMessageBox::Ok},
                          {TMsgButton::Cancel, QMessageBox::Cancel}};
    QMessageBox::StandardButtons qtButtons;
    for (const Pair& p : pairs)
        if (buttons & static_cast<int>(p.ours)) qtButtons |= p.qt;
    if (!qtButtons) qtButtons = QMessageBox::Ok;
    box.setStandardButtons(qtButtons);
    // Closing the box answers with its most cautious button.
    if (qtButtons & QMessageBox::Cancel) box.setEscapeButton(QMessageBox::Cancel);
    else if (qtButtons & QMessageBox::No) box.setEscapeButton(QMessageBox::No);
    else box.setEscapeButton(QMessageBox::Ok);

    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const Pair& p : pairs)
        if (clicked == p.qt) return p.ours;
    if (qtButtons & QMessageBox::Cancel) return TMsgButton::Cancel;
    if (qtButtons & QMessageBox::No) return TMsgButton::No;
    return TMsgButton::OK;
}

QString TQtDialogService::InputBox(const QString& title, const QString& prompt,
                                   const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(DialogParent(), title, prompt, QLineEdit::Normal,
                                               defaultText, &ok);
    return ok ? text : defaultText;
}

bool TQtDialogService::OpenFile(const TFileDialogSpec& dlgSpec, QString& path) {
    return FileDialog(false, dlgSpec, path);
}

bool TQtDialogService::SaveFile(const TFileDialogSpec& dlgSpec, QString& path) {
    return FileDialog(true, dlgSpec, path);
}

bool TQtDialogService::ChooseFolder(const TFileDialogSpec& dlgSpec, QString& path) {
    QFileDialog dlg(DialogParent(), dlgSpec.title);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    const QFileInfo initial(dlgSpec.initialName);
    dlg.setDirectory(!dlgSpec.initialName.isEmpty() && initial.dir().exists() ? initial.absolutePath()
                                                                               : QDir::currentPath());
    if (!dlgSpec.initialName.isEmpty()) dlg.selectFile(initial.fileName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    path = dlg.selectedFiles().first();
    return true;
}

void TQtDialogService::Beep() { QApplication::beep(); }

QString TQtDialogService::NameFilter(const TFileFilter& filter) {
    const QString pattern = filter.pattern == "*.*" ? QString("*") : filter.pattern;
    QString label = filter.label;
    // Qt reads the patterns from the parentheses; keep the label's words.
    const int paren = label.indexOf('(');
    if (paren >= 0) label = label.left(paren).trimmed();
    return label + " (" + pattern + ")";
}

bool TQtDialogService::FileDialog(bool save, const TFileDialogSpec& dlgSpec, QString& path) {
    QFileDialog dlg(DialogParent(), dlgSpec.title);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(dlgSpec.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!dlgSpec.defaultExt.isEmpty()) dlg.setDefaultSuffix(dlgSpec.defaultExt);
    if (!dlgSpec.promptOverwrite) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (dlgSpec.hideReadOnly) dlg.setProxyModel(new THideReadOnly);
    QStringList filters;
    for (const TFileFilter& f : dlgSpec.filters) filters << NameFilter(f);
    if (!filters.isEmpty()) dlg.setNameFilters(filters);

    // Start where the preset name lies, or in the current directory, where
    // the workbench is started among the user's files.
    const QFileInfo initial(dlgSpec.initialName);
    if (!dlgSpec.initialName.isEmpty() && initial.dir().exists()) {
        dlg.setDirectory(initial.absoluteDir());
        dlg.selectFile(initial.fileName());
    } else {
        dlg.setDirectory(QDir::current());
    }

    for (;;) {
        if (dlg.exec() != QDialog::Accepted) return false;
        const QStringList chosen = dlg.selectedFiles();
        if (chosen.isEmpty()) return false;
        const QFileInfo info(chosen.first());
        // A name typed into a folder that is not there could be neither read
        // nor created.
        if (!info.absoluteDir().exists()) {
            QMessageBox::warning(DialogParent(), dlgSpec.title,
                                 info.absolutePath() + "\nThe folder does not exist.");
            continue;
        }
        if ((dlgSpec.hideReadOnly || dlgSpec.refuseReadOnly) && info.exists() && !info.isWritable()) {
            QMessageBox::warning(DialogParent(), dlgSpec.title,
                                 info.fileName() + " is read-only.\nChoose another file.");
            continue;
        }
        if (dlgSpec.promptCreate && !info.exists() &&
            !Ask(info.fileName() + "\nThis file does not exist.\nCreate it?"))
            continue;
        // Keep names in the current directory short, as the user sees them.
        const QString relative = QDir::current().relativeFilePath(info.absoluteFilePath());
        path = relative.startsWith("..") ? info.absoluteFilePath() : relative;
        return true;
    }
}

}  // namespace orvane
