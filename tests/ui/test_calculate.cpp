// The steady-state window on a site that is exactly at steady state: binding
// of its fields by name, the opening and its question, entries that
// recalculate at once, validation colours and the status light, the buttons,
// failures, label types and the quiet modes.
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <tuple>

#include "calc/steady_site.h"
#include "io/fileio.h"
#include "io/numfmt.h"
#include "ui/calculate_form.h"
#include "ui/data.h"
#include "ui/data_grid.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/mainform_iface.h"
#include "ui/support_dialogs.h"

using namespace orvane;

namespace {

class TFakeMain : public IMainForm {
public:
    int saves = 0;
    TGlobals* g = nullptr;
    statearray savedStates;
    void UpdateMainForm() override {}
    void ChooseDriverFromEditor() override {}
    void MISaveParamClick() override {
        ++saves;
        savedStates = g->States;
    }
    void MIViewOutFileClick() override {}
    double TimeStepFieldValue() const override { return 1; }
};

const QColor Yellow(Qt::yellow);

}  // namespace

class TestCalculate : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<TGlobals> g;
    TScriptedDialogs dialogs;
    TFakeMain main;
    TForms forms;
    TFmCalculate* form = nullptr;
    TDataForm* table = nullptr;

    TCalcField* F(const char* name) {
        TCalcField* f = form->Field(name);
        if (!f) qFatal("no field %s", name);
        return f;
    }
    QColor Background(const char* name) { return F(name)->palette().color(QPalette::Base); }
    double Shown(const char* name) { return form->Calc.ShownValue(F(name)->Kind, F(name)->Index); }

    // Types a value into a field and presses Enter in it.
    void Enter(const char* name, const QString& text) {
        TCalcField* f = F(name);
        f->setFocus();
        f->selectAll();
        QTest::keyClicks(f, text);
        QTest::keyClick(f, Qt::Key_Return);
    }
    // The fields of a group, left column first, each top to bottom.
    QStringList FieldOrder(const char* group) {
        QGroupBox* box = form->Group(group);
        auto* grid = qobject_cast<QGridLayout*>(box->layout());
        QList<std::tuple<int, int, QString>> at;
        for (TCalcField* f : box->findChildren<TCalcField*>()) {
            int row = 0, col = 0, rows = 0, cols = 0;
            grid->getItemPosition(grid->indexOf(f), &row, &col, &rows, &cols);
            at.append({col, row, f->objectName()});
        }
        std::sort(at.begin(), at.end());
        QStringList names;
        for (const auto& a : at) names << std::get<2>(a);
        return names;
    }
    // Opens the window, answering the question with `answer`.
    void Open(TMsgButton answer = TMsgButton::No) {
        dialogs.messageAnswers = {answer};
        form->OpenForm();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    void WriteDriverFile() {
        const std::string path = dir.filePath("site.drr").toStdString();
        OpenDriverFile(*g, path, g->ModelDef.numdrive, g->Drivers, true);
        WriteDriverRow(*g, 0, g->ModelDef.numdrive, g->Drivers);
        CloseDriverFile(*g);
        g->DriverFileName = path;
    }

private slots:
    void init() {
        g = std::make_unique<TGlobals>();
        QVERIFY(fixture::LoadSteadySite(*g));
        g->InteractiveRun = true;
        g->Messages = &dialogs;
        WriteDriverFile();
        dialogs.Clear();
        dialogs.messageAnswers.clear();
        main = TFakeMain{};
        main.g = g.get();
        forms = TForms{};
        table = new TDataForm(*g, dialogs, forms);
        forms.DataForm = table;
        form = new TFmCalculate(*g, dialogs, forms);
        form->MainFormLink = &main;
        forms.FmCalculate = form;
    }
    void cleanup() {
        delete form;
        delete table;
        form = nullptr;
        table = nullptr;
    }

    void fieldsAreBoundByTheirNames() {
        QCOMPARE(form->Fields().size(), 158);
        int inputs = 0;
        for (TCalcField* f : form->Fields()) {
            QVERIFY2(f->Index != 0, qPrintable(f->objectName()));
            if (f->Input) ++inputs;
            QCOMPARE(f->isReadOnly(), !f->Input);
        }
        QCOMPARE(inputs, 83);
        QCOMPARE(form->Groups().size(), 17);
        QCOMPARE(F("MeStateCf")->Kind, KindState);
        QCOMPARE(F("MeStateCf")->Index, int(st::Cf));
        QCOMPARE(F("MePar_AlambdaF")->Kind, KindParam);
        QCOMPARE(F("MePar_AlambdaF")->Index, int(pa::AlambdaF));
        QCOMPARE(F("MePs")->Kind, KindProcess);
        QCOMPARE(F("MePs")->Index, int(pr::Ps));
        // Sp is a driver here, not the process of the same symbol.
        QCOMPARE(F("MeDriveSp")->Kind, KindDriver);
        QCOMPARE(F("MeDriveSp")->Index, int(dr::Sp));

        QCOMPARE(form->Label("LblStateCf")->text(), QString("Foliage Carbon"));
        QCOMPARE(form->Label("LblStateCfUnits")->text(), QString("gC m-2ground"));
        QCOMPARE(form->Label("LblPar_Psiw")->text(), QString("Wilt Potential"));
        QCOMPARE(form->Label("LblDriveSpUnits")->text(), QString("days"));
        QCOMPARE(form->Group("GbSapwood")->title(), QString("Sapwood "));
        QCOMPARE(form->windowTitle(),
                 QString("Calculate Steady State - Enter values for all underlined items"));

        // Underlined: entries and drivers, except two entries; results are not.
        QVERIFY(form->Label("LblStateCf")->font().underline());
        QVERIFY(form->Label("LblDriveCa")->font().underline());
        QVERIFY(form->Label("LblPs")->font().underline());
        QVERIFY(!form->Label("LblPar_aTCW")->font().underline());
        QVERIFY(!form->Label("LblStateCs")->font().underline());
        QVERIFY(!form->Label("LblStateCfUnits")->font().underline());
        QCOMPARE(F("MeNPPf")->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(F("MePar_beta")->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(F("MePar_Q10d")->focusPolicy(), Qt::StrongFocus);
    }

    void wideGroupsHoldEntriesLeftAndResultsRight() {
        QCOMPARE(FieldOrder("GbState"),
                 (QStringList{"MeStateCf", "MeStateNf", "MeStateCw", "MeStateNw", "MeStateCr",
                              "MeStateNr", "MeStateClf", "MeStateNlf", "MeStateClw", "MeStateNlw",
                              "MeStateClr", "MeStateNlr", "MeStateNh", "MeStateNnh4", "MeStateCs",
                              "MeStateCe", "MeStateCi", "MeStateCh", "MeStateNa"}));
        QCOMPARE(FieldOrder("GbNPP"),
                 (QStringList{"MeNPPf", "MeNPPw", "MeNPPr", "MePar_sigmaF", "MePar_sigmaW",
                              "MePar_sigmaR", "MeNPPt", "MelambdaCFT", "MelambdaNFT",
                              "MelambdaCWT", "MelambdaNWT", "MelambdaCRT", "MelambdaNRT",
                              "MePar_AlambdaF", "MePar_AlambdaW", "MePar_AlambdaR"}));
        QCOMPARE(FieldOrder("GbSoilC"),
                 (QStringList{"MePar_Ase", "MePar_Aie", "MePar_Aei", "MePar_Aih", "MeFCse",
                              "MeFCie", "MeFNai", "MeFClambdaS", "MeFClambdaE", "MeFCei",
                              "MeFCih", "MeFNah", "MeFClambdaI"}));
        // In every group the entries come before the results.
        for (QGroupBox* box : form->Groups()) {
            bool result = false;
            for (const QString& n : FieldOrder(qPrintable(box->objectName()))) {
                const bool input = F(qPrintable(n))->Input;
                QVERIFY2(!(input && result), qPrintable(n));
                result = result || !input;
            }
        }
    }

    void openingAtSteadyStateIsGreenBeforeAnyCalculation() {
        const statearray states = g->States;
        Open(TMsgButton::No);
        QCOMPARE(dialogs.MessageTexts(), QStringList{"Calculate steady state now?"});
        QCOMPARE(dialogs.messages[0].kind, TMsgKind::Confirmation);
        QVERIFY(form->StatusGreen());
        QVERIFY(!form->Calc.FinalPass);  // no calculation ran
        QVERIFY(g->CalcFormShowing);
        for (TCalcField* f : form->Fields()) {
            QCOMPARE(f->text(), QString::fromStdString(
                                    FormatGeneral(form->Calc.ShownValue(f->Kind, f->Index), 6)));
            QVERIFY(f->palette().color(QPalette::Base) != Yellow);
        }
        QCOMPARE(F("MeStateCw")->text(), QString("9000"));
        QVERIFY(F("MePs")->hasFocus());
        // Leaving a field without changing it stores nothing and calculates nothing.
        QTest::keyClick(F("MePs"), Qt::Key_Tab);
        QVERIFY(!form->Calc.FinalPass);
        // Tab follows the entries of the group and passes over the foliage density.
        QVERIFY(F("MePar_daymid")->hasFocus());
        QTest::keyClick(F("MePar_daymid"), Qt::Key_Tab);
        QVERIFY(F("MePar_Deltad")->hasFocus());
        // Declining leaves the model as it was.
        for (int i = 1; i <= 19; ++i) QCOMPARE(g->States[i].value, states[i].value);
    }

    void enteringAValueRecalculatesAtOnce() {
        Open(TMsgButton::Yes);
        QVERIFY(form->Calc.FinalPass);
        QVERIFY(form->StatusGreen());
        const QString oldRate = F("MePar_AlambdaF")->text();
        // Typing and leaving the field by Tab.
        TCalcField* cf = F("MeStateCf");
        cf->setFocus();
        cf->selectAll();
        QTest::keyClicks(cf, "300");
        QTest::keyClick(cf, Qt::Key_Tab);
        QCOMPARE(form->Calc.WorkSet.States[st::Cf].value, 300.0);
        QCOMPARE(cf->text(), QString("300"));
        QVERIFY(F("MePar_AlambdaF")->text() != oldRate);
        QVERIFY(dialogs.messages.size() == 1);  // only the opening question
        QVERIFY(form->StatusGreen());
        // Production shown equals litterfall after a completed calculation.
        QCOMPARE(Shown("MeNPPf"), Shown("MelambdaCFT"));

        // Emptying a field stores nothing.
        cf->setFocus();
        cf->clear();
        QTest::keyClicks(cf, " ");
        QTest::keyClick(cf, Qt::Key_Return);
        QCOMPARE(form->Calc.WorkSet.States[st::Cf].value, 300.0);
    }

    void negativeEntryIsYellowAndTheLightRed() {
        Open();
        Enter("MePar_rg", "-0.1");
        QCOMPARE(F("MePar_rg")->text(), QString("-0.1"));
        QCOMPARE(Background("MePar_rg"), Yellow);
        QVERIFY(!form->StatusGreen());
        QVERIFY(Background("MePar_aWR") != Yellow);

        // A negative state is replaced by 1e-05 by the model.
        Enter("MeStateCf", "-5");
        QCOMPARE(F("MeStateCf")->text(), QString("1E-5"));
    }

    void nonNumberIsReportedAndNothingStored() {
        Open();
        Enter("MeStateNf", "abc");
        QCOMPARE(dialogs.messages.last().text, QString("'abc' is not a valid floating point value"));
        QCOMPARE(dialogs.messages.last().kind, TMsgKind::Error);
        QCOMPARE(F("MeStateNf")->text(), QString("abc"));
        QCOMPARE(form->Calc.WorkSet.States[st::Nf].value, g->States[st::Nf].value);
        QVERIFY(!form->Calc.FinalPass);
    }

    void cancelWithYesRestoresAndWithNoCommits() {
        const double cf = g->States[st::Cf].value;
        Open();
        Enter("MeStateCf", "300");
        form->BtnShowallProc->click();
        QVERIFY(table->isVisible());
        dialogs.messageAnswers = {TMsgButton::Yes};
        form->BtnCancel->click();
        QCOMPARE(dialogs.messages.last().text,
                 QString("Discard all changes made in this window since the last save?"));
        QVERIFY(!form->isVisible());
        QVERIFY(!table->isVisible());
        QVERIFY(!g->CalcFormShowing);
        QCOMPARE(g->States[st::Cf].value, cf);

        Open();
        Enter("MeStateCf", "300");
        const double rate = Shown("MePar_AlambdaF");
        dialogs.messageAnswers = {TMsgButton::No};
        form->BtnCancel->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Cf].value, 300.0);
        QCOMPARE(g->Params[pa::AlambdaF].value, rate);
    }

    void okCommitsAndTheCloseControlDoesNothing() {
        Open();
        Enter("MeStateCf", "300");
        form->close();
        QVERIFY(!form->isVisible());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(g->States[st::Cf].value, 250.0);

        // OK with nothing changed leaves nothing unsaved...
        Open();
        form->BtnOK->click();
        QVERIFY(!g->ParamsChanged);

        // ...but new values are unsaved work that the exit question must know of.
        Open();
        Enter("MeStateCf", "310");
        form->BtnOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Cf].value, 310.0);
        QVERIFY(g->ParamsChanged);
        QCOMPARE(g->Processes[pr::NPPf].value, form->Calc.ShownSet.Processes[pr::NPPf].value);
    }

    void accessKeysTakeTheEntryBeingTyped() {
        // Alt+O presses OK with the focus still in the field: the entry counts.
        Open();
        TCalcField* f = F("MeStateCf");
        f->setFocus();
        f->selectAll();
        QTest::keyClicks(f, "310");
        QTest::keyClick(f, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Cf].value, 310.0);

        // An entry that cannot be taken stops OK, with its message.
        Open();
        f->setFocus();
        f->selectAll();
        QTest::keyClicks(f, "abc");
        dialogs.Clear();
        QTest::keyClick(f, Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QString("'abc' is not a valid floating point value"));
        QVERIFY(form->isVisible());
        form->done(QDialog::Rejected);
    }

    void saveAsksOnceAndCancelRestoresTheSavedValues() {
        const double drive = g->Drivers[dr::Ca].value;
        Open();
        dialogs.messageAnswers = {TMsgButton::No};
        form->BtnSaveParamFile->click();
        QCOMPARE(dialogs.MessageTexts().mid(1),
                 (QStringList{"Overwrite existing parameter file?", "No values saved."}));
        QCOMPARE(main.saves, 0);

        Enter("MeStateCf", "300");
        dialogs.Clear();
        dialogs.messageAnswers = {TMsgButton::Yes};
        form->BtnSaveParamFile->click();
        QCOMPARE(dialogs.MessageTexts(), QStringList{"Overwrite existing parameter file?"});
        QCOMPARE(main.saves, 1);
        QCOMPARE(main.savedStates[st::Cf].value, 300.0);
        QVERIFY(form->isVisible());

        Enter("MeStateCf", "320");
        dialogs.Clear();
        form->BtnSaveParamFile->click();
        QVERIFY(dialogs.messages.isEmpty());  // the second save does not ask
        QCOMPARE(main.saves, 2);
        QCOMPARE(main.savedStates[st::Cf].value, 320.0);

        Enter("MeStateCf", "340");
        g->Drivers[dr::Ca].value = -1;  // whatever the model holds meanwhile
        dialogs.messageAnswers = {TMsgButton::Yes};
        form->BtnCancel->click();
        QCOMPARE(g->States[st::Cf].value, 320.0);
        QCOMPARE(g->Drivers[dr::Ca].value, drive);
    }

    void failedCalculationDisablesNineGroupsAndShowsRed() {
        Open();
        QVERIFY(form->StatusGreen());
        // Humus N above total soil N.
        Enter("MeStateNh", "1e6");
        QCOMPARE(dialogs.messages.size(), 2);
        const QString msg = dialogs.messages.last().text;
        QVERIFY2(msg.startsWith("Steady state calculation failed. Error calculating new parameter"),
                 qPrintable(msg));
        QVERIFY(msg.endsWith("Additional Info:  Active soil N is negative because value entered "
                             "for humus N is greater than total soil N."));
        QCOMPARE(dialogs.messages.last().kind, TMsgKind::Error);
        QVERIFY(!form->StatusGreen());
        QCOMPARE(Background("MeStateNa"), Yellow);

        const QStringList disabled{"GbState", "GbDriver", "GbNPP", "GbSapwood", "GbPResp",
                                   "GbTranslocation", "GbGrowth", "GbAllocation", "GbStatus"};
        for (const QString& n : disabled) QVERIFY2(!form->Group(n)->isEnabled(), qPrintable(n));
        int enabled = 0;
        for (QGroupBox* gb : form->Groups()) enabled += gb->isEnabled();
        QCOMPARE(enabled, 9);
        QVERIFY(!F("MeStateCf")->isEnabled());
        QVERIFY(F("MePs")->isEnabled());
        QVERIFY(F("MeCst")->isEnabled());

        // Those entries still work, and the next calculation runs (and fails again).
        Enter("MeCst", "30000");
        QCOMPARE(form->Calc.WorkSet.Processes[pr::Cst].value, 30000.0);
        QCOMPARE(dialogs.messages.size(), 3);
        QVERIFY(!form->StatusGreen());

        // A new opening enables everything again.
        form->close();
        Open();
        for (QGroupBox* gb : form->Groups()) QVERIFY(gb->isEnabled());
    }

    void failureWithSteadyOldProcessesIsStillRed() {
        Open();
        // Photosynthesis below production: stops before any process changes.
        Enter("MePs", "100");
        QVERIFY(dialogs.messages.last().text.contains(
            "Insufficient photosynthesis, plant respiration is negative."));
        QVERIFY(form->Calc.DerivativesSteady());
        QVERIFY(!form->StatusGreen());
    }

    void symbolsAsCaptions() {
        Open();
        Enter("MePar_rg", "-0.1");
        form->RbSymbols->click();
        QCOMPARE(form->Label("LblStateCf")->text(), QString("Cf"));
        QCOMPARE(form->Label("LblPar_AlambdaF")->text(), QString("AlambdaF"));
        QCOMPARE(form->Label("LblPs")->text(), QString("Ps"));
        QCOMPARE(form->Label("LblDriveTamax")->text(), QString("Tamax"));
        QCOMPARE(form->Label("LblStateCfUnits")->text(), QString("gC m-2ground"));
        QCOMPARE(form->Label("LblPar_AlambdaFUnits")->text(), QString("yr-1"));
        // Values and colours are untouched.
        QCOMPARE(F("MePar_rg")->text(), QString("-0.1"));
        QCOMPARE(Background("MePar_rg"), Yellow);
        form->RbNames->click();
        QCOMPARE(form->Label("LblPs")->text(), QString("Photosynthesis"));
    }

    void showAllProcessesKeepsTheTableInStep() {
        Open();
        form->BtnShowallProc->click();
        QVERIFY(table->isVisible() && table->ShowingProcesses);
        QCOMPARE(table->AdvStringGrid1->Model().GridRows(), 127);
        Enter("MeStateCf", "300");
        // The table and the model follow every update while the table shows.
        QCOMPARE(g->States[st::Cf].value, 300.0);
        const int p = pr::lambdaCFT;
        QCOMPARE(table->AdvStringGrid1->Model().Cell(3, p),
                 QString::fromStdString(FormatGeneral(form->Calc.ShownSet.Processes[p].value, 15)));
        form->BtnOK->click();
        QVERIFY(!table->isVisible());
    }

    void openingFailures() {
        // The opening evaluation fails: a warning, and the window stays open.
        g->Params[pa::mf].value = 0;
        Open();
        QCOMPARE(dialogs.MessageTexts(),
                 QStringList{"Cannot calculate process values. Steady state calculation aborted."});
        QCOMPARE(dialogs.messages[0].kind, TMsgKind::Warning);
        QVERIFY(form->isVisible());
        QVERIFY(!form->StatusGreen());
        form->close();

        // A missing driver file ends the opening and goes to the caller.
        g->DriverFileName = dir.filePath("missing.drr").toStdString();
        dialogs.Clear();
        bool raised = false;
        try {
            form->OpenForm();
        } catch (const EOrvaneError&) {
            raised = true;
        }
        QVERIFY(raised);
        QVERIFY(!form->isVisible());
        QVERIFY(!g->CalcFormShowing);
        QVERIFY(dialogs.MessageTexts().contains("Cannot read driver file. File does not exist."));
    }

    void quietModesCalculateAtOnceAndPassErrorsOn() {
        g->Sensitivity = true;
        g->InteractiveRun = false;
        form->OpenForm();
        QVERIFY(dialogs.messages.isEmpty());  // no question
        QVERIFY(form->Calc.FinalPass);       // calculated at once
        QVERIFY(form->StatusGreen());
        form->close();

        // Not at steady state: the first update raises, before any calculation.
        g->States[st::Cf].value = 400;
        QString message;
        try {
            form->OpenForm();
        } catch (const EOrvaneError& e) {
            message = QString::fromStdString(e.Message());
        }
        QCOMPARE(message, QString("Invalid Steady State"));
        QVERIFY(!form->Calc.FinalPass);
        QVERIFY(!form->isVisible());

        // An entry error in the window goes to the general error report.
        g->States[st::Cf].value = 250;
        g->Sensitivity = false;
        g->MonteCarlo = true;
        form->OpenForm();
        Enter("MeStateNh", "1e6");
        QVERIFY(dialogs.messages.last().text.startsWith("Steady state calculation failed. "));
        QVERIFY(form->Group("GbState")->isEnabled());  // only the interactive mode disables

        // The error passed on keeps its kind; only its message gains the prefix.
        bool newValue = false;
        try {
            form->ChangeValue(KindProcess, pr::Ps, 100, true);
        } catch (const ECalcNewValue& e) {
            newValue = true;
            message = QString::fromStdString(e.Message());
        } catch (...) {
        }
        QVERIFY(newValue);
        QVERIFY(message.startsWith("Steady state calculation failed. Error calculating new "
                                   "parameter or state variable."));
        QVERIFY(message.endsWith("Additional Info:  Insufficient photosynthesis, plant "
                                 "respiration is negative. "));
    }

    void processTableIsUsableBesideTheModalWindow() {
        bool shown = false;
        bool closed = false;
        QTimer::singleShot(0, form, [&] {
            form->BtnShowallProc->click();
            QTest::qWait(20);
            shown = table->isVisible();
            // A click that goes through the window system, where modality applies.
            QPushButton* close = table->BtnCancel;
            QTest::mouseClick(table->windowHandle(), Qt::LeftButton, {},
                              close->mapTo(table, close->rect().center()));
            QTest::qWait(20);
            closed = !table->isVisible();
            form->BtnOK->click();
        });
        QTimer::singleShot(10000, form, [&] { if (form->isVisible()) form->done(-1); });
        dialogs.messageAnswers = {TMsgButton::No};
        form->ShowModalForm();
        QVERIFY(shown);
        QVERIFY(closed);
    }

    void modalOpeningRuns() {
        QTimer::singleShot(0, form, [&] {
            Enter("MeStateCf", "300");
            form->BtnOK->click();
        });
        QTimer::singleShot(10000, form, [&] { if (form->isVisible()) form->done(-1); });
        dialogs.messageAnswers = {TMsgButton::No};
        QCOMPARE(form->ShowModalForm(), int(QDialog::Accepted));
        QCOMPARE(g->States[st::Cf].value, 300.0);
    }

    void calculateMenuOpensTheWindowAndErrorsReachTheReport() {
        TGlobals mg;
        TScriptedDialogs md;
        TForms mf = CreateForms(mg, md, "orvane");
        QVERIFY(fixture::LoadSteadySite(mg));
        mg.DriverFileName = g->DriverFileName;
        mg.Messages = &md;
        bool opened = false;
        QTimer::singleShot(0, mf.FmCalculate, [&] {
            opened = mf.FmCalculate->isVisible() && mf.FmCalculate->isModal();
            mf.FmCalculate->BtnOK->click();
        });
        QTimer::singleShot(5000, mf.FmCalculate, [&] {
            if (mf.FmCalculate->isVisible()) mf.FmCalculate->done(-1);
        });
        md.messageAnswers = {TMsgButton::No};
        mf.MainForm->MICalcSS->trigger();
        QVERIFY(opened);
        QVERIFY(md.MessageTexts().contains("Calculate steady state now?"));

        // Without a driver file the window does not open and the user is told.
        mg.DriverFileName = dir.filePath("none.drr").toStdString();
        md.Clear();
        mf.MainForm->MICalcSS->trigger();
        QVERIFY(!mf.FmCalculate->isVisible());
        QVERIFY(md.MessageTexts().contains("Cannot read driver file. File does not exist."));
        QVERIFY(md.messages.size() >= 2);  // and the reading error that followed
        DestroyForms(mf);
    }
};

QTEST_MAIN(TestCalculate)
#include "test_calculate.moc"
