// The main window does what it shows: an edit still being typed counts for
// the command that an access key, a shortcut, a menu or a label starts; a
// refused entry shows the value in use; inputs are never overwritten by
// output; unsaved edits are not dropped for another file; a cancelled run
// says what it left.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/progress.h"
#include "ui/support_dialogs.h"
#include "ui/support_modal.h"

using namespace orvane;

namespace {

constexpr int YesNoCancel = static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No) |
                            static_cast<int>(TMsgButton::Cancel);

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int DataRows(const QString& path) {
    return static_cast<int>(Bytes(path).count("\r\n")) - 2;
}

}  // namespace

class TestMainFormEdits : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TGlobals* g = nullptr;
    TScriptedDialogs* dlg = nullptr;
    TForms forms;
    TMainForm* w = nullptr;
    TModalWatch* modalWatch = nullptr;

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString CopyExample(const QString& from, const QString& to) {
        QFile::remove(Path(to));
        QFile::copy(QString(ORVANE_SOURCE_DIR) + "/examples/" + from, Path(to));
        QFile::setPermissions(Path(to), QFile::ReadOwner | QFile::WriteOwner);
        return Path(to);
    }

    void Activate() {
        if (!w->isActiveWindow()) {
            QApplication::setActiveWindow(w);
            QVERIFY(QTest::qWaitForWindowActive(w));
        }
    }
    // Types into a field and leaves the focus there.
    void Type(QLineEdit* field, const QString& text) {
        Activate();
        field->setFocus(Qt::TabFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    void TypeAndLeave(QLineEdit* field, const QString& text) {
        Type(field, text);
        w->BtnReload->setFocus(Qt::TabFocusReason);
    }

    // The temperate site; Run enabled.
    void ChooseSite() {
        TypeAndLeave(w->ParamBox, CopyExample("temperate.par", "site.par"));
        TypeAndLeave(w->DriverBox, CopyExample("temperate.drr", "site.drr"));
        TypeAndLeave(w->OutputBox, Path("site.out"));
        QVERIFY(w->BtnRun->isEnabled());
        QVERIFY(dlg->messages.isEmpty());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        modalWatch = new TModalWatch(15);
        modalWatch->setParent(this);
    }
    void init() {
        g = new TGlobals;
        dlg = new TScriptedDialogs;
        forms = CreateForms(*g, *dlg, "orvane");
        w = forms.MainForm;
        w->show();
        Activate();
    }
    void cleanup() {
        DestroyForms(forms);
        delete dlg;
        delete g;
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files | QDir::System)) QFile::remove(Path(f));
        QVERIFY2(!modalWatch->StrayModal(), "a modal window was left open");
        modalWatch->Reset();
    }

    void accessKeyRunsWithTheTimeBeingTyped() {
        ChooseSite();
        Type(w->MEStopTime, "5");
        QTest::keyClick(w->MEStopTime, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(g->CurrentTime, 5.0);
        QCOMPARE(g->StopTime, 5.0);
        QCOMPARE(DataRows(Path("site.out")), 6);
        QCOMPARE(w->PresentBox->text(), QString("5"));

        // The time step too (its output step raised to it, with the message),
        // and a refused step stops the command with the step in use shown again.
        Type(w->METimeStep, "2.5");
        QTest::keyClick(w->METimeStep, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(DataRows(Path("site.out")), 3);
        QCOMPARE(dlg->messages.size(), 1);
        Type(w->METimeStep, "0");
        QTest::keyClick(w->METimeStep, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(dlg->messages.size(), 2);
        QCOMPARE(dlg->messages[1].kind, TMsgKind::Error);
        QCOMPARE(w->METimeStep->text(), QString("2.5"));
        QCOMPARE(g->TimeStep, 2.5);
        QFile::remove(Path("site.out"));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(Path("site.out")));  // no run
    }

    void menusShortcutsAndLabelsTakeTheEditToo() {
        ChooseSite();
        // A menu command: the output step is checked against the stop time typed.
        Type(w->MEStopTime, "7");
        dlg->inputAnswers << QString("6");
        w->MIOutTimeStep->trigger();
        QCOMPARE(g->StopTime, 7.0);
        QCOMPARE(g->OutputStep, 6.0);
        QVERIFY(dlg->messages.isEmpty());

        // A shortcut.
        Type(w->METimeStep, "2");
        QTest::keyClick(w->METimeStep, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(g->TimeStep, 2.0);
        QCOMPARE(dlg->beeps, 1);

        // A label, clicked: it takes no focus from the field.
        Type(w->MEStartTime, "3");
        QTest::mouseClick(w->OutputLabel, Qt::LeftButton);
        QCOMPARE(g->StartTime, 3.0);
        QVERIFY(w->MEStartTime->hasFocus());

        // An edit taken once is not taken again by later commands.
        g->StartTime = 0;
        w->MIOutTimeStep->trigger();
        QCOMPARE(g->StartTime, 0.0);
    }

    void refusedTimeStepShowsTheStepInUse() {
        TypeAndLeave(w->METimeStep, "0");
        QCOMPARE(dlg->messages.size(), 1);
        QCOMPARE(w->METimeStep->text(), QString("1"));
        QCOMPARE(g->TimeStep, 1.0);

        TypeAndLeave(w->METimeStep, "1e-4");
        QCOMPARE(g->TimeStep, 1e-4);
        TypeAndLeave(w->METimeStep, "x");
        QCOMPARE(dlg->messages.size(), 2);
        QCOMPARE(dlg->messages[1].text, QString("'x' is not a valid floating point value"));
        QCOMPARE(w->METimeStep->text(), QString("1e-4"));

        // An emptied field is no entry: it shows what is in use.
        w->MEStopTime->setFocus(Qt::TabFocusReason);
        w->MEStopTime->selectAll();
        QTest::keyClick(w->MEStopTime, Qt::Key_Backspace);
        QVERIFY(w->MEStopTime->text().isEmpty());
        w->BtnReload->setFocus(Qt::TabFocusReason);
        QCOMPARE(w->MEStopTime->text(), QString("2"));
        QCOMPARE(g->StopTime, 2.0);
        QCOMPARE(dlg->messages.size(), 2);
    }

    void outputFileThatIsAnInputIsRefused() {
        ChooseSite();
        const QString par = Path("site.par");
        const QByteArray before = Bytes(par);
        QFile::link(par, Path("link.out"));
        for (const QString& name : {par, Path("link.out"), Path("site.drr")}) {
            dlg->Clear();
            TypeAndLeave(w->OutputBox, name);
            QCOMPARE(dlg->messages.size(), 1);
            QCOMPARE(dlg->messages[0].kind, TMsgKind::Error);
            QVERIFY2(dlg->messages[0].text.contains("Choose another output file."),
                     qPrintable(dlg->messages[0].text));
            QVERIFY(g->OutputFileName.empty());
        }
        // Named behind the window's back: Run refuses before writing.
        g->OutputFileName = par.toStdString();
        dlg->Clear();
        QTest::mouseClick(w->BtnRun, Qt::LeftButton);
        QCOMPARE(dlg->messages.size(), 1);
        QVERIFY(dlg->messages[0].text.startsWith("The output file \"" + par + "\" is the parameter file"));
        QCOMPARE(Bytes(par), before);
        QVERIFY(!w->MIChart->isEnabled());
    }

    void anotherParameterFileAsksAboutUnsavedEdits_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("saveDialogAnswered");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("saved");
        QTest::newRow("cancel") << int(TMsgButton::Cancel) << false << false << false;
        QTest::newRow("no") << int(TMsgButton::No) << false << true << false;
        QTest::newRow("yes") << int(TMsgButton::Yes) << true << true << true;
        QTest::newRow("yes, save cancelled") << int(TMsgButton::Yes) << false << false << false;
    }
    void anotherParameterFileAsksAboutUnsavedEdits() {
        QFETCH(int, answer);
        QFETCH(bool, saveDialogAnswered);
        QFETCH(bool, opened);
        QFETCH(bool, saved);
        const QString site = CopyExample("temperate.par", "site.par");
        const QString other = CopyExample("boreal.par", "other.par");
        TypeAndLeave(w->ParamBox, site);
        for (const bool byMenu : {false, true}) {
            g->ParamFileName = site.toStdString();
            w->ParamBox->setText(site);
            // An edit, as the parameter editor's OK leaves it.
            g->Params[1].value = 42;
            g->ParamsChanged = true;
            dlg->Clear();
            dlg->messageAnswers = {static_cast<TMsgButton>(answer)};
            if (byMenu) dlg->fileAnswers << other;
            if (saveDialogAnswered) dlg->fileAnswers << Path("saved.par");
            if (byMenu) w->MIChooseParam->trigger();
            else TypeAndLeave(w->ParamBox, other);

            QCOMPARE(dlg->messages.size(), 1);
            QCOMPARE(dlg->messages[0].text, QString("Save parameter file before opening another?"));
            QCOMPARE(dlg->messages[0].kind, TMsgKind::Confirmation);
            QCOMPARE(dlg->messages[0].buttons, YesNoCancel);
            QCOMPARE(QString::fromStdString(g->ParamFileName), opened ? other : site);
            QCOMPARE(w->ParamBox->text(), opened ? other : site);
            QCOMPARE(g->Params[1].value == 42, !opened);
            QCOMPARE(g->ParamsChanged, !opened);
            if (saved) {
                QCOMPARE(dlg->fileDialogs.last().dlgSpec.title, QString("Save Parameter File"));
                QCOMPARE(dlg->fileDialogs.last().dlgSpec.initialName, site);
                TGlobals back;
                InitialiseGlobals(back);
                double residual = 0;
                QVERIFY(ReadParamFile(back, Path("saved.par").toStdString(), back.ModelDef.numparam,
                                      back.Params, back.ModelDef.numstate, back.States, residual));
                QCOMPARE(back.Params[1].value, 42.0);
                QFile::remove(Path("saved.par"));
            }
        }
        // Edits kept are still guarded at exit.
        if (!opened) {
            dlg->Clear();
            dlg->messageAnswers = {TMsgButton::Cancel};
            w->MIExit->trigger();
            QCOMPARE(dlg->MessageTexts(), QStringList{"Save parameter file before exiting?"});
            QVERIFY(w->isVisible());
        }
    }

    void cancelledRunSaysWhereItStopped() {
        ChooseSite();
        TypeAndLeave(w->MEStopTime, "99999");
        QString shownDuringRun;
        double reachedThen = -1;
        QTimer::singleShot(50, [&] {
            shownDuringRun = w->PresentBox->text();
            reachedThen = g->CurrentTime;
            QTest::mouseClick(forms.FmProgress->BtnCancel, Qt::LeftButton);
        });
        QTest::mouseClick(w->BtnRun, Qt::LeftButton);
        QVERIFY(reachedThen > 0);
        QCOMPARE(shownDuringRun, QString::fromStdString(FormatGeneral(reachedThen, 5)));

        const int rows = DataRows(Path("site.out"));
        QCOMPARE(dlg->messages.size(), 1);
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Information);
        QCOMPARE(dlg->messages[0].text,
                 QString("Run cancelled at time %1. The output file %2 holds the %3 rows written so far.")
                     .arg(QString::fromStdString(FormatGeneral(g->CurrentTime)), Path("site.out"))
                     .arg(rows));
        QCOMPARE(rows, static_cast<int>(g->CurrentTime) + 1);
    }
};

QTEST_MAIN(TestMainFormEdits)
#include "test_mainform_edits.moc"
