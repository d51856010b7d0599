// Every window opens wholly on the screen that holds the window that opened
// it: here on two screens side by side, the left one 1366 x 768.
#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QtTest>

#include "ui/aboutbox.h"
#include "ui/calculate_form.h"
#include "ui/data.h"
#include "ui/display.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/note.h"
#include "ui/params.h"
#include "ui/progress.h"
#include "ui/reloaddlg.h"
#include "ui/scaledlg.h"
#include "ui/seriesform.h"
#include "ui/support_dialogs.h"
#include "ui/trouble.h"

using namespace orvane;

class TestPlacement : public QObject {
    Q_OBJECT

    TGlobals* g = nullptr;
    TScriptedDialogs* dlg = nullptr;
    TForms forms;

    QScreen* Screen(const QString& name) {
        for (QScreen* s : QGuiApplication::screens())
            if (s->name() == name) return s;
        return nullptr;
    }
    void Activate(QWidget* w) {
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // The window lies wholly on the named screen.
    void OnScreen(QWidget* w, const QString& screen) {
        QVERIFY(w->isVisible());
        const QRect area = Screen(screen)->availableGeometry();
        QVERIFY2(area.contains(w->frameGeometry()),
                 qPrintable(QString("%1 at %2,%3 %4x%5 is not wholly on %6")
                                .arg(w->windowTitle())
                                .arg(w->frameGeometry().x())
                                .arg(w->frameGeometry().y())
                                .arg(w->frameGeometry().width())
                                .arg(w->frameGeometry().height())
                                .arg(screen)));
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::screens().size(), 2); }
    void init() {
        g = new TGlobals;
        dlg = new TScriptedDialogs;
        forms = CreateForms(*g, *dlg, "orvane");
        forms.MainForm->show();
        Activate(forms.MainForm);
    }
    void cleanup() {
        DestroyForms(forms);
        delete dlg;
        delete g;
    }

    // The process table opens at the right of the parameter editor, pushed
    // in from the screen's edge; the wider state table opened later must not
    // keep that place and stick out.
    void stateTableAfterTheProcessTable() {
        forms.FmParameter->show();
        Activate(forms.FmParameter);
        forms.DataForm->ShowProcess();
        OnScreen(forms.DataForm, "left");
        QVERIFY(forms.DataForm->frameGeometry().left() > forms.FmParameter->frameGeometry().left());
        forms.DataForm->hide();
        forms.FmParameter->hide();

        Activate(forms.MainForm);
        forms.DataForm->OpenStates();
        OnScreen(forms.DataForm, "left");
        forms.DataForm->BtnCancelClick();
    }

    void everyWindowOpensOnItsOwnersScreen() {
        const QRect right = Screen("right")->availableGeometry();
        forms.MainForm->move(right.center() - QPoint(forms.MainForm->width() / 2, 0));
        QCOMPARE(forms.MainForm->screen()->name(), QString("right"));
        Activate(forms.MainForm);
        const QList<QWidget*> windows{forms.FmCalculate, forms.DlgScale,      forms.DlgReload,
                                      forms.FmParameter, forms.DataForm,      forms.FmNote,
                                      forms.FmDisplayData, forms.FmAbout,     forms.FmSeries,
                                      forms.FmTrouble,   forms.FmProgress};
        for (QWidget* w : windows) {
            w->show();
            OnScreen(w, "right");
            w->hide();
            Activate(forms.MainForm);
        }
        // The output display opens maximised, and stays so, on that screen.
        QWidget* display = forms.FmDisplayData;
        display->move(0, 0);
        display->setWindowState(Qt::WindowMaximized);
        display->show();
        QVERIFY(display->isMaximized());
        QTRY_COMPARE(display->screen()->name(), QString("right"));
        OnScreen(display, "right");
    }
};

int main(int argc, char** argv) {
    QTemporaryFile screens;
    if (!screens.open()) return 1;
    screens.write(R"({"screens": [
        {"name": "left", "x": 0, "y": 0, "width": 1366, "height": 768,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "right", "x": 1366, "y": 0, "width": 1024, "height": 768,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName()).toLocal8Bit());
    QApplication app(argc, argv);
    TestPlacement test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_placement.moc"
