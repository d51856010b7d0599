// The workbench: the main window and every other window of the program.
#include <QApplication>
#include <QFileInfo>

#include "model/globals.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/qtdialogs.h"

namespace {

// Last line of defence: an error that escapes a window's handler is shown
// like any command's error, and the program goes on.
class TWorkbenchApplication : public QApplication {
public:
    using QApplication::QApplication;
    orvane::IDialogService* Dialogs = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            if (Dialogs) orvane::ReportError(*Dialogs, std::current_exception());
            return false;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    TWorkbenchApplication app(argc, argv);
    // The program's file name, without directory and without anything from
    // its first "." on, selects the program's modes.
    QString title = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName()
                             : QString("orvane");
    if (const int dot = title.indexOf('.'); dot >= 0) title.truncate(dot);

    orvane::TGlobals g;
    orvane::TQtDialogService dialogs;
    app.Dialogs = &dialogs;
    orvane::TForms forms;
    try {
        forms = orvane::CreateForms(g, dialogs, title);
    } catch (...) {
        orvane::ReportError(dialogs, std::current_exception());
        orvane::DestroyForms(forms);
        return 1;
    }

    // Closing the main window ends the program, whatever else is open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(forms.MainForm, &orvane::TMainForm::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    forms.MainForm->show();
    const int rc = app.exec();
    orvane::DestroyForms(forms);
    return rc;
}
