// The program's own dialog service, driven through Qt's real dialogs.
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/qtdialogs.h"

using namespace orvane;

namespace {

// Acts on the next modal dialog of type T once it is showing.
template <class T>
void WhenShown(std::function<void(T*)> act) {
    QTimer::singleShot(10, [act] {
        if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) act(d);
        else WhenShown<T>(act);
    });
}

// Types `name` into a file dialog and accepts it, as a user does. The dialog
// may still be reading its directory, which can reset the name: then again.
void AcceptName(QFileDialog* d, const QString& name) {
    if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
    else d->selectFile(name);
    static_cast<QDialog*>(d)->accept();
    if (d->isVisible()) QTimer::singleShot(20, d, [d, name] { AcceptName(d, name); });
}

}  // namespace

class TestQtDialogs : public QObject {
    Q_OBJECT

    TQtDialogService dialogs;
    const TMsgButtons yesNoCancel = static_cast<int>(TMsgButton::Yes) |
                                    static_cast<int>(TMsgButton::No) |
                                    static_cast<int>(TMsgButton::Cancel);

private slots:
    void messageBoxShowsKindTextAndButtons() {
        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->text(), QString("Save parameter file before exiting?"));
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->standardButtons(),
                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(dialogs.MessageDlg(TMsgKind::Confirmation, "Save parameter file before exiting?",
                                    yesNoCancel),
                 TMsgButton::No);

        // Escape gives the most cautious answer offered.
        WhenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(dialogs.MessageDlg(TMsgKind::Confirmation, "?", yesNoCancel), TMsgButton::Cancel);

        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(dialogs.MessageDlg(TMsgKind::Error, "Floating point overflow",
                                    static_cast<int>(TMsgButton::OK)),
                 TMsgButton::OK);
    }

    void inputBoxReturnsTheDefaultWhenCancelled() {
        WhenShown<QInputDialog>([](QInputDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Output Time Step"));
            QCOMPARE(d->labelText(), QString("Enter the time step for the output data."));
            QCOMPARE(d->textValue(), QString("1"));
            d->setTextValue("5");
            d->reject();
        });
        QCOMPARE(dialogs.InputBox("Output Time Step", "Enter the time step for the output data.",
                                  "1"),
                 QString("1"));
        WhenShown<QInputDialog>([](QInputDialog* d) {
            d->setTextValue("2.5");
            d->accept();
        });
        QCOMPARE(dialogs.InputBox("t", "p", "1"), QString("2.5"));
    }

    void fileFiltersMatchEveryFileForAllFiles() {
        QCOMPARE(TQtDialogService::NameFilter({"Parameter FIles (*.par)", "*.par"}),
                 QString("Parameter FIles (*.par)"));
        QCOMPARE(TQtDialogService::NameFilter({"All Files", "*.*"}), QString("All Files (*)"));
        QCOMPARE(TQtDialogService::NameFilter({"All Files (*.*)", "*.*"}),
                 QString("All Files (*)"));
    }

    void fileDialogStartsHereAndAnswersRelativeNames() {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QFile f("site.par");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        TFileDialogSpec dlgSpec;
        dlgSpec.title = "Choose Parameter File";
        dlgSpec.defaultExt = "par";
        dlgSpec.filters = {{"Parameter FIles (*.par)", "*.par"}, {"All Files", "*.*"}};
        dlgSpec.promptCreate = true;
        dlgSpec.hideReadOnly = true;
        WhenShown<QFileDialog>([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Choose Parameter File"));
            QCOMPARE(QDir(d->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
            QCOMPARE(d->nameFilters().size(), 2);
            AcceptName(d, "site.par");
        });
        QString path;
        QVERIFY(dialogs.OpenFile(dlgSpec, path));
        QCOMPARE(path, QString("site.par"));

        // A name that does not exist is asked about; the default extension is added.
        WhenShown<QFileDialog>([](QFileDialog* d) {
            WhenShown<QMessageBox>(
                [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
            AcceptName(d, "new");
        });
        QVERIFY(dialogs.OpenFile(dlgSpec, path));
        QCOMPARE(path, QString("new.par"));

        // A name in a folder that does not exist is refused; the dialog stays.
        bool warned = false;
        WhenShown<QFileDialog>([&](QFileDialog* d) {
            WhenShown<QMessageBox>([&, d](QMessageBox* box) {
                warned = box->text().endsWith("The folder does not exist.");
                box->button(QMessageBox::Ok)->click();
                QTimer::singleShot(20, d, [d] { d->reject(); });
            });
            AcceptName(d, "nowhere/site.out");
        });
        TFileDialogSpec save;
        save.title = "Save Output File as";
        save.defaultExt = "out";
        path = "unchanged";
        QVERIFY(!dialogs.SaveFile(save, path));
        QVERIFY(warned);
        QCOMPARE(path, QString("unchanged"));

        WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
        path = "unchanged";
        QVERIFY(!dialogs.SaveFile(dlgSpec, path));
        QCOMPARE(path, QString("unchanged"));
        QDir::setCurrent(old);
    }
};

QTEST_MAIN(TestQtDialogs)
#include "test_mainform_dialogs.moc"
