// The main window: start-up and modes, choosing files, enabling Run, runs
// with their results and errors, the time settings and leaving the program.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <functional>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "model/site_fixture.h"
#include "ui/aboutbox.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/progress.h"
#include "ui/support_dialogs.h"
#include "ui/support_modal.h"
#include "ui/trouble.h"

using namespace orvane;

namespace {

QStringList ReadLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// Data rows of an output file (the two header lines left out): their times.
QList<double> OutputTimes(const QString& path) {
    QList<double> times;
    const QStringList lines = ReadLines(path);
    for (int i = 2; i < lines.size(); ++i)
        times << lines[i].section(' ', 0, 0, QString::SectionSkipEmpty).toDouble();
    return times;
}

// Answers the next modal window (our own windows, not the dialog service's).
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(10, [act] {
        if (QWidget* w = QApplication::activeModalWidget()) act(w);
        else WhenModal(act);
    });
}

}  // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString oldCwd;
    TGlobals* g = nullptr;
    TScriptedDialogs* dlg = nullptr;
    TForms forms;
    TMainForm* w = nullptr;

    // A modal window that no test step answers would hang the test: close
    // it after a while and fail the test instead.
    TModalWatch* modalWatch = nullptr;

    void Start(const QString& title) {
        Stop();
        g = new TGlobals;
        dlg = new TScriptedDialogs;
        forms = CreateForms(*g, *dlg, title);
        w = forms.MainForm;
        w->show();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void Stop() {
        if (w) DestroyForms(forms);
        w = nullptr;
        delete dlg;
        dlg = nullptr;
        delete g;
        g = nullptr;
    }

    // The test site as files in the scratch directory.
    void WriteSiteParams(const QString& name) {
        TGlobals s;
        InitialiseGlobals(s);
        fixture::LoadSite(s);
        WriteParamFile(s, name.toStdString(), s.ModelDef.numparam, s.Params, s.ModelDef.numstate,
                       s.States, 0);
    }
    // Site drivers; from time `badFrom` on (if >= 0), drivers the model
    // cannot evaluate.
    void WriteSiteDrivers(const QString& name, double badFrom = -1) {
        TGlobals s;
        InitialiseGlobals(s);
        drivearray d = s.Drivers;
        fixture::SetSiteDrivers(d);
        OpenDriverFile(s, name.toStdString(), s.ModelDef.numdrive, s.Drivers, true);
        WriteDriverRow(s, 0, s.ModelDef.numdrive, d);
        if (badFrom >= 0) {
            d[dr::Ss].value = 0;
            d[dr::Sp].value = 0;
            d[dr::Ppt].value = -1;
            WriteDriverRow(s, badFrom, s.ModelDef.numdrive, d);
        }
        CloseDriverFile(s);
    }

    // Types into a field and leaves it, as a user does.
    void TypeAndLeave(QLineEdit* field, const QString& text, QWidget* next = nullptr) {
        if (!w->isActiveWindow()) {
            QApplication::setActiveWindow(w);
            QVERIFY(QTest::qWaitForWindowActive(w));
        }
        field->setFocus(Qt::TabFocusReason);
        QVERIFY(field->hasFocus());
        field->selectAll();
        QTest::keyClicks(field, text);
        (next ? next : w->BtnReload)->setFocus(Qt::TabFocusReason);
    }

    // Parameter, driver and output files of the test site, chosen by typing.
    void ChooseSiteFiles(double badFrom = -1) {
        WriteSiteParams("site.par");
        WriteSiteDrivers("site.drr", badFrom);
        TypeAndLeave(w->ParamBox, "site.par");
        TypeAndLeave(w->DriverBox, "site.drr");
        TypeAndLeave(w->OutputBox, "site.out");
    }

private slots:
    void initTestCase() {
        modalWatch = new TModalWatch(15);
        modalWatch->setParent(this);
        QVERIFY(dir.isValid());
        oldCwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(oldCwd); }
    void init() {
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files)) QFile::remove(f);
        Start("orvane");
    }
    void cleanup() {
        Stop();
        QVERIFY2(!modalWatch->StrayModal(), "a modal window was left open");
        modalWatch->Reset();
    }

    // ---- Start-up ---------------------------------------------------------

    void startUpGivesInitialValuesAndWindow() {
        QCOMPARE(g->StartTime, 0.0);
        QCOMPARE(g->StopTime, 2.0);
        QCOMPARE(g->TimeStep, 1.0);
        QCOMPARE(g->OutputStep, 1.0);
        QCOMPARE(g->CalcTime, 0.0);
        QCOMPARE(g->Tolerance, 1e-8);
        QCOMPARE(g->ModelDef.numstate, 19);
        QCOMPARE(g->PrevDrivers[1].name, g->Drivers[1].name);
        QCOMPARE(w->windowTitle(), QString("Veskor Orvane"));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));

        QCOMPARE(w->ParamLabel->text(), QString("&Parameter File"));
        QCOMPARE(w->OutputLabel->text(), QString("O&utput File"));
        QCOMPARE(w->StepLabel->text(), QString("Ti&me Step"));
        QCOMPARE(w->MEStartTime->text(), QString("0"));
        QCOMPARE(w->MEStopTime->text(), QString("2"));
        QCOMPARE(w->METimeStep->text(), QString("1"));
        QCOMPARE(w->PresentBox->text(), QString("0"));
        QVERIFY(w->PresentBox->isReadOnly());
        QCOMPARE(w->PresentBox->focusPolicy(), Qt::NoFocus);
        QCOMPARE(w->BtnRun->text(), QString("&Run"));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(!w->MISaveParam->isEnabled());
        QCOMPARE(w->MISaveParam->shortcut(), QKeySequence("Ctrl+S"));
        QVERIFY(!w->MICalculate->menuAction()->isEnabled());
        QVERIFY(!w->MIChart->isEnabled());
        QVERIFY(!w->MITable->isEnabled());
        QVERIFY(w->MIViewOutFile->isEnabled());
        QVERIFY(w->findChild<QLineEdit*>("ParamBox"));
        QVERIFY(w->findChild<QAction*>("MISaveParam"));
        // The sibling model's controls never show.
        for (const char* name :
             {"LblWelcome", "LblDirections", "LblSpecies1", "LblSpecies2", "EdNumSpecies"}) {
            QWidget* c = w->findChild<QWidget*>(name);
            QVERIFY2(c && !c->isVisible(), name);
        }

        // Tab order: driver, output, the three times, the buttons, parameter.
        const QList<QWidget*> order = {w->DriverBox, w->OutputBox, w->MEStartTime, w->MEStopTime,
                                       w->METimeStep, w->BtnRun, w->BtnReload, w->ParamBox};
        w->BtnRun->setEnabled(true);  // a disabled button takes no focus
        w->DriverBox->setFocus(Qt::TabFocusReason);
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), order[i]);
        }
    }

    void modeFlagsFollowTheProgramName_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<bool>("sensitivity");
        QTest::addColumn<bool>("montecarlo");
        QTest::addColumn<bool>("interactive");
        QTest::newRow("modelbatch") << "modelbatch" << true << false << false << false;
        QTest::newRow("ModelBatch") << "ModelBatch" << true << false << false << false;
        QTest::newRow("SENSITIVITY") << "SENSITIVITY" << false << true << false << false;
        QTest::newRow("montecarlo") << "MonteCarlo" << false << false << true << false;
        QTest::newRow("MyOrvane2") << "MyOrvane2" << false << false << false << true;
        QTest::newRow("modelbatch2") << "modelbatch2" << false << false << false << false;
        QTest::newRow("other") << "other" << false << false << false << false;
    }
    void modeFlagsFollowTheProgramName() {
        QFETCH(QString, title);
        Start(title);
        QFETCH(bool, batch);
        QFETCH(bool, sensitivity);
        QFETCH(bool, montecarlo);
        QFETCH(bool, interactive);
        QCOMPARE(g->ModelBatch, batch);
        QCOMPARE(g->Sensitivity, sensitivity);
        QCOMPARE(g->MonteCarlo, montecarlo);
        QCOMPARE(g->InteractiveRun, interactive);
        QCOMPARE(w->InteractiveRun(), interactive);
    }

    // ---- Choosing files -----------------------------------------------------

    void parameterFileLoadsFromFieldLabelAndMenu() {
        WriteSiteParams("site.par");
        TGlobals site;
        InitialiseGlobals(site);
        fixture::LoadSite(site);

        // Typed into the field and left.
        TypeAndLeave(w->ParamBox, "site.par");
        QCOMPARE(QString::fromStdString(g->ParamFileName), QString("site.par"));
        QCOMPARE(g->States[st::Cw].value, site.States[st::Cw].value);
        QCOMPARE(g->Params[pa::Deltad].value, site.Params[pa::Deltad].value);
        QVERIFY(w->MISaveParam->isEnabled());
        QVERIFY(!g->NewParamFile);
        QVERIFY(dlg->messages.isEmpty());
        // The focus does not stay in the field that chose the file.
        QVERIFY(!w->ParamBox->hasFocus());

        // By the label: the open dialog, preset with the current name.
        QFile::copy("site.par", "other.par");
        g->States[st::Cw].value = 1;
        dlg->fileAnswers << QString("other.par");
        w->ParamBox->setFocus(Qt::TabFocusReason);
        QTest::mouseClick(w->ParamLabel, Qt::LeftButton);
        // The field lost the focus without choosing its text once more.
        QVERIFY(!w->ParamBox->hasFocus());
        QCOMPARE(dlg->fileDialogs.size(), 1);
        const TFileDialogSpec& dlgSpec = dlg->fileDialogs[0].dlgSpec;
        QVERIFY(!dlg->fileDialogs[0].save);
        QCOMPARE(dlgSpec.title, QString("Choose Parameter File"));
        QCOMPARE(dlgSpec.defaultExt, QString("par"));
        QCOMPARE(dlgSpec.filters[0].label, QString("Parameter FIles (*.par)"));
        QCOMPARE(dlgSpec.initialName, QString("site.par"));
        QVERIFY(dlgSpec.promptCreate && dlgSpec.hideReadOnly && !dlgSpec.mustExist);
        QCOMPARE(w->ParamBox->text(), QString("other.par"));
        QCOMPARE(g->States[st::Cw].value, site.States[st::Cw].value);

        // By the menu; a cancelled dialog changes nothing.
        g->States[st::Cw].value = 1;
        w->MIChooseParam->trigger();
        QCOMPARE(dlg->fileDialogs.size(), 2);
        QCOMPARE(g->States[st::Cw].value, 1.0);
        dlg->fileAnswers << QString("site.par");
        w->MIChooseParam->trigger();
        QCOMPARE(g->States[st::Cw].value, site.States[st::Cw].value);
    }

    void missingParameterFileIsCreatedAndValuesCleared() {
        TypeAndLeave(w->ParamBox, "new.par");
        QCOMPARE(ReadLines("new.par").size(), 109);
        QVERIFY(g->NewParamFile);
        for (int i = 1; i <= g->ModelDef.numstate; ++i) QCOMPARE(g->States[i].value, 0.0);
        for (int i = 1; i <= g->ModelDef.numparam; ++i) QCOMPARE(g->Params[i].value, 0.0);
    }

    void parameterFileOfAnotherVersionIsRefused() {
        WriteSiteParams("old.par");
        QStringList lines = ReadLines("old.par");
        lines[0].replace("3.3.6.5b", "3.3.6.4 ");
        {
            QFile f("old.par");
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write((lines.join("\r\n") + "\r\n").toLatin1());
        }
        fixture::LoadSite(*g);
        TypeAndLeave(w->ParamBox, "old.par");
        QCOMPARE(dlg->MessageTexts(), QStringList{MsgParamFileIncompatible});
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Error);
        QVERIFY(g->ParamFileName.empty());
        for (int i = 1; i <= g->ModelDef.numstate; ++i) QCOMPARE(g->States[i].value, 0.0);
        for (int i = 1; i <= g->ModelDef.numparam; ++i) QCOMPARE(g->Params[i].value, 0.0);
    }

    void withoutTheInteractiveModeChoosingOnlyRecordsTheName() {
        Start("other");
        TypeAndLeave(w->ParamBox, "none.par");
        TypeAndLeave(w->DriverBox, "none.drr");
        QCOMPARE(QString::fromStdString(g->ParamFileName), QString("none.par"));
        QCOMPARE(QString::fromStdString(g->DriverFileName), QString("none.drr"));
        QVERIFY(!QFile::exists("none.par"));
        QVERIFY(!QFile::exists("none.drr"));
    }

    void missingDriverFileIsCreatedWithOneRowOfZeros() {
        g->Drivers[1].value = 5;
        dlg->fileAnswers << QString("new.drr");
        w->MIChooseDriver->trigger();
        QCOMPARE(dlg->fileDialogs[0].dlgSpec.title, QString("Open Driver File"));
        QCOMPARE(w->DriverBox->text(), QString("new.drr"));
        QVERIFY(g->NewDriverFile);
        QCOMPARE(g->Drivers[1].value, 0.0);
        const QStringList lines = ReadLines("new.drr");
        QCOMPARE(lines.size(), 3);
        for (const QString& v : lines[2].split(' ', Qt::SkipEmptyParts)) QCOMPARE(v.toDouble(), 0.0);

        // An existing file is taken as it is.
        WriteSiteDrivers("site.drr");
        TypeAndLeave(w->DriverBox, "site.drr");
        QVERIFY(!g->NewDriverFile);
        QCOMPARE(ReadLines("site.drr").size(), 3);
    }

    void existingOutputFileIsOverwrittenOnlyWhenConfirmed() {
        WriteSiteParams("site.par");
        WriteSiteDrivers("site.drr");
        QFile f("old.out");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        TypeAndLeave(w->ParamBox, "site.par");
        TypeAndLeave(w->DriverBox, "site.drr");

        dlg->messageAnswers << TMsgButton::No;
        TypeAndLeave(w->OutputBox, "old.out");
        QCOMPARE(dlg->MessageTexts(), QStringList{"Overwrite existing output file, old.out?"});
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Confirmation);
        QCOMPARE(dlg->messages[0].buttons,
                 static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No));
        QVERIFY(g->OutputFileName.empty());
        QCOMPARE(w->OutputBox->text(), QString("old.out"));
        // No output file is named, so there is nothing to run into.
        QVERIFY(!w->BtnRun->isEnabled());

        // Leaving the field again asks again; Yes keeps the name.
        dlg->messageAnswers << TMsgButton::Yes;
        w->OutputBox->setFocus(Qt::TabFocusReason);
        w->BtnReload->setFocus(Qt::TabFocusReason);
        QCOMPARE(dlg->messages.size(), 2);
        QCOMPARE(QString::fromStdString(g->OutputFileName), QString("old.out"));
        QVERIFY(w->BtnRun->isEnabled());

        // The menu item uses the save dialog, without its own overwrite question.
        dlg->fileAnswers << QString("other.out");
        w->MIOutputFile->trigger();
        const TFileDialogSpec& dlgSpec = dlg->fileDialogs.last().dlgSpec;
        QVERIFY(dlg->fileDialogs.last().save);
        QCOMPARE(dlgSpec.title, QString("Save Output File as"));
        QVERIFY(!dlgSpec.promptOverwrite);
        QCOMPARE(w->OutputBox->text(), QString("other.out"));
    }

    void runIsEnabledOnceFilesAndTimesAllowIt() {
        WriteSiteParams("site.par");
        WriteSiteDrivers("site.drr");
        TypeAndLeave(w->ParamBox, "site.par");
        QVERIFY(!w->MICalculate->menuAction()->isEnabled());
        TypeAndLeave(w->DriverBox, "site.drr");
        QVERIFY(w->MICalculate->menuAction()->isEnabled());
        QVERIFY(!w->BtnRun->isEnabled());
        TypeAndLeave(w->OutputBox, "site.out");
        QVERIFY(w->BtnRun->isEnabled());
        QVERIFY(g->RunEnabled);

        // Once enabled it stays so, even for a stop time that is not after the start.
        TypeAndLeave(w->MEStopTime, "0");
        QCOMPARE(g->StopTime, 0.0);
        QVERIFY(w->BtnRun->isEnabled());

        // Stop before start from the beginning: not enabled.
        Start("orvane");
        TypeAndLeave(w->MEStopTime, "0");
        ChooseSiteFiles();
        QVERIFY(!w->BtnRun->isEnabled());
        TypeAndLeave(w->MEStopTime, "3");
        QVERIFY(w->BtnRun->isEnabled());
    }

    // ---- Runs ---------------------------------------------------------------

    void runWritesRowsAndShowsTheTimeReached() {
        ChooseSiteFiles();
        QVERIFY(w->BtnRun->isEnabled());
        QTest::mouseClick(w->BtnRun, Qt::LeftButton);
        QCOMPARE(OutputTimes("site.out"), (QList<double>{0, 1, 2}));
        QCOMPARE(g->CurrentTime, 2.0);
        QCOMPARE(w->PresentBox->text(), QString("2"));
        QVERIFY(g->OutputCurrent);
        QVERIFY(w->MIChart->isEnabled() && w->MITable->isEnabled());
        QCOMPARE(QString::fromStdString(g->DisplayFile), QString("site.out"));
        QVERIFY(g->ReloadNeeded);
        QVERIFY(w->isEnabled());
        QVERIFY(!forms.FmProgress->isVisible());
        QVERIFY(dlg->messages.isEmpty());

        // The driver reader starts its next pass from the beginning.
        QCOMPARE(g->PrevDriverTime, 0.0);
        QCOMPARE(g->NextDriverTime, 0.0);

        // Any change of the times disables the output display again, and
        // leaves the driver reader where it was.
        g->PrevDriverTime = 1;
        g->NextDriverTime = 2;
        TypeAndLeave(w->MEStopTime, "4");
        QVERIFY(!w->MIChart->isEnabled());
        QCOMPARE(w->PresentBox->text(), QString("0"));
        QCOMPARE(g->NextDriverTime, 2.0);
        // While the output is current, every refresh rewinds the reader.
        g->OutputCurrent = true;
        w->UpdateMainForm();
        QCOMPARE(g->PrevDriverTime, 0.0);
        QCOMPARE(g->NextDriverTime, 0.0);
    }

    void presentTimeHasFiveSignificantDigits() {
        ChooseSiteFiles();
        TypeAndLeave(w->MEStopTime, "102");
        TypeAndLeave(w->MEStartTime, "100");
        TypeAndLeave(w->METimeStep, "1.237");
        w->BtnRunClick();
        QCOMPARE(g->CurrentTime, 100 + 1.237);
        QCOMPARE(w->PresentBox->text(), QString("101.24"));
    }

    void failingRunShowsItsMessageInTheErrorWindow() {
        ChooseSiteFiles(2);
        TypeAndLeave(w->MEStopTime, "5");
        QStringList shown;
        WhenModal([&](QWidget* m) {
            QCOMPARE(m, static_cast<QWidget*>(forms.FmTrouble));
            shown << forms.FmTrouble->MmError->toPlainText();
            forms.FmTrouble->BtnOK->click();
        });
        w->BtnRunClick();
        QCOMPARE(shown.size(), 1);
        QVERIFY(!shown[0].isEmpty());
        QCOMPARE(forms.FmTrouble->MmError->blockCount(), 1);
        QCOMPARE(OutputTimes("site.out"), (QList<double>{0, 1, 2}));
        QCOMPARE(g->CurrentTime, 2.0);
        QCOMPARE(w->PresentBox->text(), QString("2"));
        QVERIFY(w->MIChart->isEnabled());
        QVERIFY(w->isEnabled());
        QVERIFY(!forms.FmProgress->isVisible());
        QVERIFY(dlg->messages.isEmpty());

        // A second failure replaces the message rather than adding to it.
        WhenModal([&](QWidget*) { forms.FmTrouble->BtnOK->click(); });
        w->BtnRunClick();
        QCOMPARE(forms.FmTrouble->MmError->blockCount(), 1);
    }

    void withoutTheInteractiveModeARunErrorGoesToTheErrorReport() {
        Start("sensitivity");
        WriteSiteParams("site.par");
        WriteSiteDrivers("site.drr", 2);
        fixture::LoadSite(*g);
        // Only the names are recorded in this mode.
        TypeAndLeave(w->ParamBox, "site.par");
        TypeAndLeave(w->DriverBox, "site.drr");
        TypeAndLeave(w->OutputBox, "site.out");
        TypeAndLeave(w->MEStopTime, "5");
        QVERIFY(w->BtnRun->isEnabled());
        QTest::mouseClick(w->BtnRun, Qt::LeftButton);
        QCOMPARE(dlg->messages.size(), 1);
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Error);
        QCOMPARE(forms.FmTrouble->MmError->toPlainText(), QString());
        QCOMPARE(OutputTimes("site.out"), (QList<double>{0, 1, 2}));
        // The present time is only shown in the interactive mode.
        QCOMPARE(w->PresentBox->text(), QString("0"));
    }

    void runEndsWithTheTimeStepOfItsField() {
        ChooseSiteFiles();
        g->TimeStep = 0.5;  // as though the run had changed it
        w->BtnRunClick();
        QCOMPARE(g->TimeStep, 1.0);
        // A field that holds no usable step leaves the step alone.
        w->METimeStep->setText("x");
        g->TimeStep = 1;
        w->BtnRunClick();
        QCOMPARE(g->TimeStep, 1.0);
    }

    void cancelEndsALongRunQuietly() {
        ChooseSiteFiles();
        TypeAndLeave(w->MEStopTime, "99999");
        QTimer::singleShot(50, [&] {
            QVERIFY(forms.FmProgress->isVisible());
            QVERIFY(!w->isEnabled());
            QTest::mouseClick(forms.FmProgress->BtnCancel, Qt::LeftButton);
        });
        w->BtnRunClick();
        // No error: only the note of where the run stopped.
        QCOMPARE(dlg->messages.size(), 1);
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Information);
        QVERIFY(g->CurrentTime > 0 && g->CurrentTime < 99999);
        QVERIFY(w->isEnabled());
        QVERIFY(!forms.FmProgress->isVisible());
        QVERIFY(w->MIChart->isEnabled());
        // The file is closed and holds the rows written so far.
        const QList<double> times = OutputTimes("site.out");
        QVERIFY(times.size() >= 2);
        QCOMPARE(times.last(), g->CurrentTime);
    }

    // ---- Time settings --------------------------------------------------------

    void timeFieldsActOnlyWhenEdited() {
        ChooseSiteFiles();
        w->BtnRunClick();
        QVERIFY(w->MIChart->isEnabled());
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        // Leaving an unedited field changes nothing.
        w->MEStartTime->setFocus(Qt::TabFocusReason);
        w->BtnReload->setFocus(Qt::TabFocusReason);
        QVERIFY(w->MIChart->isEnabled());
        // Enter runs the handler as leaving does.
        w->MEStopTime->setFocus(Qt::TabFocusReason);
        w->MEStopTime->selectAll();
        QTest::keyClicks(w->MEStopTime, "7");
        QTest::keyClick(w->MEStopTime, Qt::Key_Return);
        QCOMPARE(g->StopTime, 7.0);
        QVERIFY(!w->MIChart->isEnabled());
        // Once edited, a field is read again at every exit, a run between
        // or not.
        w->BtnRunClick();
        QVERIFY(w->MIChart->isEnabled());
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->MEStopTime->setFocus(Qt::TabFocusReason);
        w->BtnReload->setFocus(Qt::TabFocusReason);
        QVERIFY(!w->MIChart->isEnabled());
        // Start and stop take digits only, five at most.
        TypeAndLeave(w->MEStartTime, "1a2345678");
        QCOMPARE(w->MEStartTime->text(), QString("12345"));
    }

    void timeStepChangeCorrectsTheOutputStep() {
        g->ReloadNeeded = false;
        TypeAndLeave(w->METimeStep, "2");
        QCOMPARE(g->TimeStep, 2.0);
        QCOMPARE(g->OutputStep, 2.0);
        QCOMPARE(dlg->MessageTexts(),
                 QStringList{"Output time step is less than simulation time step. Output time "
                             "step increased to time step."});
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Information);
        QCOMPARE(dlg->messages[0].buttons, static_cast<int>(TMsgButton::OK));
        QVERIFY(g->ReloadNeeded);

        // A fractional step is fine; text that is no number is reported.
        dlg->Clear();
        TypeAndLeave(w->METimeStep, "0.5");
        QCOMPARE(g->TimeStep, 0.5);
        dlg->Clear();
        TypeAndLeave(w->METimeStep, "abc");
        QCOMPARE(dlg->MessageTexts(), QStringList{"'abc' is not a valid floating point value"});
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Error);
        QCOMPARE(g->TimeStep, 0.5);
        // A step of zero would never end a run.
        dlg->Clear();
        TypeAndLeave(w->METimeStep, "0");
        QCOMPARE(dlg->messages.size(), 1);
        QCOMPARE(dlg->messages[0].kind, TMsgKind::Error);
        QCOMPARE(g->TimeStep, 0.5);
    }

    void outputTimeStepCommandCorrectsWhatIsEntered_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<double>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("too small") << "2" << "0.5" << 1.0
                                   << "Output time step is less than simulation time step. "
                                      "Output time step increased to time step.";
        QTest::newRow("too large") << "2" << "3" << 2.0
                                   << "Output time step is greater than run length. Output "
                                      "time step decreased to run length.";
        QTest::newRow("not a multiple") << "2" << "1.5" << 1.0
                                        << "Output time step must be a multiple of simulation "
                                           "time step. Output time step changed to current "
                                           "time step.";
        QTest::newRow("near a multiple") << "5" << "2.0005" << 2.0005 << "";
    }
    void outputTimeStepCommandCorrectsWhatIsEntered() {
        QFETCH(QString, stop);
        QFETCH(QString, entered);
        QFETCH(double, result);
        QFETCH(QString, message);
        TypeAndLeave(w->MEStopTime, stop);
        dlg->Clear();
        dlg->inputAnswers << entered;
        w->MIOutTimeStep->trigger();
        QCOMPARE(dlg->inputs.size(), 1);
        QCOMPARE(dlg->inputs[0].title, QString("Output Time Step"));
        QCOMPARE(dlg->inputs[0].prompt, QString("Enter the time step for the output data."));
        QCOMPARE(dlg->inputs[0].defaultText, QString("1"));
        QCOMPARE(g->OutputStep, result);
        QCOMPARE(dlg->MessageTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
    }

    void outputTimeStepAsksAgainUntilPositive() {
        dlg->inputAnswers << QString("0") << QString("-1") << QString("2");
        w->MIOutTimeStep->trigger();
        QCOMPARE(dlg->inputs.size(), 3);
        QCOMPARE(dlg->inputs[1].defaultText, QString("0"));
        QCOMPARE(g->OutputStep, 2.0);

        // Text that is no number ends the command with the step it had, not
        // with an unchecked 0 from an earlier answer.
        dlg->Clear();
        dlg->inputAnswers << QString("0") << QString("abc");
        w->MIOutTimeStep->trigger();
        QCOMPARE(dlg->MessageTexts(), QStringList{"'abc' is not a valid floating point value"});
        QCOMPARE(g->OutputStep, 2.0);

        // With a run length of 0 the correction leaves a step of 0; then a
        // cancelled question must not be asked for ever.
        TypeAndLeave(w->MEStopTime, "0");
        dlg->Clear();
        w->MIOutTimeStep->trigger();  // cancelled: keeps 2, too large
        QCOMPARE(g->OutputStep, 0.0);
        dlg->Clear();
        w->MIOutTimeStep->trigger();  // cancelled again
        QCOMPARE(dlg->inputs.size(), 1);
        QCOMPARE(g->OutputStep, 0.0);
    }

    void atTimeSetsTheCalculationTime() {
        g->ReloadNeeded = false;
        dlg->inputAnswers << QString("12.5");
        w->MICalTime->trigger();
        QCOMPARE(dlg->inputs[0].title, QString("Steady State Time"));
        QCOMPARE(dlg->inputs[0].prompt,
                 QString("Enter the time from the driver file at which to calculate a steady "
                         "state."));
        QCOMPARE(dlg->inputs[0].defaultText, QString("0"));
        QCOMPARE(g->CalcTime, 12.5);
        QVERIFY(g->ReloadNeeded);
        dlg->inputAnswers << QString("soon");
        w->MICalTime->trigger();
        QCOMPARE(dlg->MessageTexts(), QStringList{"'soon' is not a valid floating point value"});
        QCOMPARE(g->CalcTime, 12.5);
    }

    // ---- Other commands ---------------------------------------------------------

    void savingTheParameterFile() {
        WriteSiteParams("site.par");
        TypeAndLeave(w->ParamBox, "site.par");
        g->Params[pa::Deltad].value = 43;
        g->ParamsChanged = true;
        g->NewParamFile = true;
        g->OutputCurrent = true;
        w->UpdateMainForm();
        QVERIFY(w->MIChart->isEnabled());
        QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dlg->beeps, 1);
        QVERIFY(dlg->fileDialogs.isEmpty());
        QVERIFY(!g->ParamsChanged);
        QVERIFY(!g->NewParamFile);
        QVERIFY(!g->OutputCurrent);
        QVERIFY(!w->MIChart->isEnabled());
        QVERIFY(ReadLines("site.par")[1 + 19 + pa::Deltad - 1].contains("4.30000000000000E+0001"));

        dlg->fileAnswers << QString("copy.par");
        w->MISaveAsParam->trigger();
        QCOMPARE(dlg->fileDialogs.last().dlgSpec.title, QString("Save Parameter File"));
        QVERIFY(dlg->fileDialogs.last().dlgSpec.promptOverwrite);
        QVERIFY(dlg->fileDialogs.last().dlgSpec.refuseReadOnly);
        QVERIFY(!dlg->fileDialogs.last().dlgSpec.hideReadOnly);
        QCOMPARE(QString::fromStdString(g->ParamFileName), QString("copy.par"));
        QCOMPARE(w->ParamBox->text(), QString("site.par"));
        QCOMPARE(ReadLines("copy.par").size(), 109);

        // With no file named (a refused file empties the name) saving asks
        // for one rather than failing on an empty name.
        g->ParamFileName.clear();
        dlg->fileAnswers << QString("named.par");
        w->MISaveParam->trigger();
        QCOMPARE(dlg->fileDialogs.last().dlgSpec.title, QString("Save Parameter File"));
        QCOMPARE(QString::fromStdString(g->ParamFileName), QString("named.par"));
        QCOMPARE(ReadLines("named.par").size(), 109);
        QVERIFY(dlg->messages.isEmpty());

        // No beep in the sensitivity mode.
        Start("sensitivity");
        TypeAndLeave(w->ParamBox, "site.par");
        w->MISaveParamClick();
        QCOMPARE(dlg->beeps, 0);
    }

    void fromFileShowsAnyOutputFile() {
        g->ReloadNeeded = false;
        w->MIViewOutFile->trigger();  // cancelled
        QVERIFY(!w->MIChart->isEnabled());
        QCOMPARE(dlg->fileDialogs[0].dlgSpec.title, QString("Open Output File"));
        QVERIFY(dlg->fileDialogs[0].dlgSpec.mustExist);
        dlg->fileAnswers << QString("any.out");
        w->MIViewOutFile->trigger();
        QCOMPARE(QString::fromStdString(g->DisplayFile), QString("any.out"));
        QVERIFY(g->ReloadNeeded && g->OutputCurrent);
        QVERIFY(w->MIChart->isEnabled() && w->MITable->isEnabled());
    }

    void exitAsksAboutUnsavedEdits() {
        // Cancel: the program goes on.
        g->ParamsChanged = true;
        dlg->messageAnswers << TMsgButton::Cancel;
        w->MIExit->trigger();
        QCOMPARE(dlg->MessageTexts(), QStringList{"Save parameter file before exiting?"});
        QCOMPARE(dlg->messages[0].buttons, static_cast<int>(TMsgButton::Yes) |
                                               static_cast<int>(TMsgButton::No) |
                                               static_cast<int>(TMsgButton::Cancel));
        QVERIFY(w->isVisible());

        // Yes, but the save dialog cancelled: still running.
        dlg->messageAnswers << TMsgButton::Yes;
        w->MIExit->trigger();
        QVERIFY(w->isVisible());

        // Yes and a name: written under that name, then the window closes.
        QSignalSpy closed(w, &TMainForm::Closed);
        dlg->messageAnswers << TMsgButton::Yes;
        dlg->fileAnswers << QString("saved.par");
        w->MIExit->trigger();
        QCOMPARE(ReadLines("saved.par").size(), 109);
        QCOMPARE(QString::fromStdString(g->ParamFileName), QString("saved.par"));
        QVERIFY(!w->isVisible());
        QCOMPARE(closed.count(), 1);
    }

    void exitWithoutEditsOrWithNoClosesAtOnce() {
        w->MIExit->trigger();
        QVERIFY(dlg->messages.isEmpty());
        QVERIFY(!w->isVisible());

        Start("orvane");
        g->ParamsChanged = true;
        dlg->messageAnswers << TMsgButton::No;
        w->MIExit->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(dlg->messages.size(), 1);  // asked once, not again on closing
        QVERIFY(QDir(".").entryList(QDir::Files).isEmpty());
    }

    void closeControlAsksAboutUnsavedEditsToo() {
        QSignalSpy closed(w, &TMainForm::Closed);
        g->ParamsChanged = true;
        dlg->messageAnswers << TMsgButton::Cancel;
        w->close();
        QCOMPARE(dlg->MessageTexts(), QStringList{"Save parameter file before exiting?"});
        QVERIFY(w->isVisible());
        QCOMPARE(closed.count(), 0);

        dlg->messageAnswers << TMsgButton::Yes;
        dlg->fileAnswers << QString("kept.par");
        w->close();
        QCOMPARE(ReadLines("kept.par").size(), 109);
        QVERIFY(!w->isVisible());
        QCOMPARE(closed.count(), 1);
    }

    void aboutOpensTheAboutWindow() {
        bool shown = false;
        WhenModal([&](QWidget* m) {
            shown = m == forms.FmAbout;
            QCOMPARE(forms.FmAbout->LblModel->text(), QString("Veskor Orvane"));
            QCOMPARE(forms.FmAbout->LblVersion->text(), QString("Version 3.3.6.5b"));
            QTest::keyClick(m, Qt::Key_Escape);
        });
        w->MIAbout->trigger();
        QVERIFY(shown);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
