// The analysis window's set-up: made by hand it saves the shipped example's
// settings, every setting survives a file's round trip through the window,
// and bad entries say why and keep Run disabled.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "analysis_env.h"
#include "calc/calculate.h"

using namespace orvane;
using namespace orvane::testing;

class TestAnalysisSetup : public TAnalysisTest {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { w.reset(); }

    void setUpByHandSavesTheShippedExample() {
        QCOMPARE(w->windowTitle(), QString("Ensemble Analysis"));
        S().CbSteadyState->click();
        Type(S().EdPasses, "3");
        // A process is a factor only as an observation of the steady state.
        Pick("Ps", TFactorKind::Process, "Ps");
        QVERIFY(S().BtnAddFactor->isEnabled());
        Pick("NPPt", TFactorKind::Process, "NPPt");
        QVERIFY(!S().BtnAddFactor->isEnabled());

        AddFactor(TFactorKind::Process, "Ps", "normal", {{"mean", "1500"}, {"sd", "100"}});
        AddFactor(TFactorKind::Process, "NPPf", "truncnormal", {{"mean", "230"}, {"sd", "25"}, {"min", "180"}, {"max", "280"}});
        AddFactor(TFactorKind::Process, "NPPw", "relative", {{"percent", "20"}});
        AddFactor(TFactorKind::Process, "NPPr", "uniform", {{"min", "280"}, {"max", "420"}});
        AddFactor(TFactorKind::Process, "Cst", "normal", {{"mean", "14000"}, {"sd", "1400"}});
        AddFactor(TFactorKind::Parameter, "Q10d", "triangular", {{"min", "1.6"}, {"mode", "2"}, {"max", "2.6"}});
        AddFactor(TFactorKind::Parameter, "Aie", "lognormal", {{"meanlog", "-8.517"}, {"sdlog", "0.2"}});
        AddFactor(TFactorKind::Parameter, "kIm", "relative", {{"percent", "25"}});
        for (const char* s : {"NPPt", "Cw", "Ch", "Nnh4", "Clw"})
            AddOutput(QString(s).startsWith("C") || QString(s) == "Nnh4" ? TFactorKind::State : TFactorKind::Process, s);
        Type(S().EdMembers, "200");
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
        QVERIFY(w->BtnRun->isEnabled());
        // The base value of an observation is the site's, at the calculation time.
        QCOMPARE(S().Factors->index(0, TFactorTableModel::ColBase).data().toString(), QString("1500"));
        QCOMPARE(S().Factors->index(5, TFactorTableModel::ColName).data().toString(),
                 QString::fromUtf8(g.Params[GetArrayIndex(g, KindParam, "Q10d")].name.data()));

        const QString mine = Path("mine.toml");
        dialogs.fileAnswers << mine;
        w->MISaveAs->trigger();
        QCOMPARE(dialogs.MessageTexts(), QStringList());
        QCOMPARE(w->windowTitle(), QString("Ensemble Analysis - mine.toml"));
        QCOMPARE(Settings(mine), Settings(kExamples + "temperate-co2-uncertainty.toml"));

        // Opened again, the window shows the same settings.
        TFmAnalysis other(g, dialogs);
        QVERIFY(other.OpenExperiment(kExamples + "temperate-co2-uncertainty.toml"));
        QCOMPARE(other.windowTitle(), QString("Ensemble Analysis - temperate-co2-uncertainty.toml"));
        QVERIFY(other.SaveExperiment(Path("again.toml")));
        QCOMPARE(Settings(Path("again.toml")), Settings(mine));
        // Settings the window has no use for are kept as well.
        QFile cvode(Path("cvode.toml"));
        QVERIFY(cvode.open(QIODevice::WriteOnly));
        cvode.write(QString::fromStdString(ensemble::ExperimentText(ensemble::ReadExperiment(mine.toStdString()), Path("cvode.toml").toStdString()))
                        .replace("output_step = 1\r\n", "output_step = 1\r\nintegrator = \"cvode\"\r\nrtol = 1e-9\r\n")
                        .toUtf8());
        cvode.close();
        QVERIFY(other.OpenExperiment(Path("cvode.toml")));
        QVERIFY(other.SaveExperiment(Path("cvode-again.toml")));
        QCOMPARE(Settings(Path("cvode-again.toml")), Settings(Path("cvode.toml")));
        QVERIFY(Settings(Path("cvode.toml")).contains("rtol = 1e-09"));
    }

    void methodSettingsAndFileDesignsSurviveTheWindow() {
        // A local analysis: factors without distributions, an output whose
        // symbol has two kinds, chosen times.
        const QString local = Path("local.toml");
        WriteFile(local, "[site]\nparameters = \"" + kExamples.toUtf8() + "temperate.par\"\ndrivers = \"" + kExamples.toUtf8() +
                             "temperate-co2.drr\"\n[run]\nstop = 5\n[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\n"
                             "[design]\nmethod = \"local\"\nstep = 0.01\ndifferences = \"central\"\n"
                             "[outputs]\nvariables = [\"driver:Sp\", \"Cw\"]\ntimes = [0, 5]\n");
        QVERIFY(w->OpenExperiment(local));
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
        QCOMPARE(static_cast<QLineEdit*>(S().MethodField("step"))->text(), QString("0.01"));
        QCOMPARE(static_cast<QComboBox*>(S().MethodField("differences"))->currentText(), QString("central"));
        QCOMPARE(S().Factors->Cell(0, "distribution").data().toString(), QString("none"));
        QVERIFY(S().RbTheseTimes->isChecked());
        QCOMPARE(S().EdTimes->text(), QString("0, 5"));
        QVERIFY(w->SaveExperiment(Path("local-again.toml")));
        QCOMPARE(Settings(Path("local-again.toml")), Settings(local));

        // What was typed for a method waits for the return to it.
        S().SetMethod("morris");
        QVERIFY(!S().MethodField("step"));
        Type(static_cast<QLineEdit*>(S().MethodField("trajectories")), "7");
        S().SetMethod("local");
        QCOMPARE(static_cast<QLineEdit*>(S().MethodField("step"))->text(), QString("0.01"));
        S().SetMethod("morris");
        QCOMPARE(static_cast<QLineEdit*>(S().MethodField("trajectories"))->text(), QString("7"));
        // A Monte Carlo design needs the distributions that a local one does without.
        S().SetMethod("lhs");
        QVERIFY(!S().Valid());
        QVERIFY(!S().Factors->Problem(S().Factors->Cell(0, "symbol")).isEmpty());

        // Parameter sets from a file.
        WriteFile(Path("sets.csv"), "Q10d\n1.5\n2.5\n");
        const QString sets = Path("sets.toml");
        QString text = QString::fromUtf8(ReadAll(local));
        text.replace("method = \"local\"\nstep = 0.01\ndifferences = \"central\"", "method = \"csv\"\nfile = \"sets.csv\"");
        WriteFile(sets, text.toUtf8());
        QVERIFY(w->OpenExperiment(sets));
        QCOMPARE(S().EdDesignFile->text(), Path("sets.csv"));
        QVERIFY(S().BtnDesignFile->isEnabled());
        QVERIFY(w->SaveExperiment(Path("sets-again.toml")));
        QCOMPARE(Settings(Path("sets-again.toml")), Settings(sets));
    }

    void factorTableFollowsTheDistributionAndKind() {
        AddFactor(TFactorKind::Driver, "Sp", "uniform", {{"min", "0.9"}, {"max", "1.1"}});
        AddOutput(TFactorKind::State, "Cw");
        TFactorTableModel& m = *S().Factors;
        QCOMPARE(m.index(0, TFactorTableModel::ColKind).data().toString(), QString("driver"));
        QCOMPARE(m.index(0, TFactorTableModel::ColUnits).data().toString(), QString("1 (scale)"));
        QCOMPARE(m.index(0, TFactorTableModel::ColBase).data().toString(), QString("1"));
        QVERIFY(m.flags(m.Cell(0, "apply")) & Qt::ItemIsEditable);
        QVERIFY(!(m.flags(m.Cell(0, "mean")) & Qt::ItemIsEditable));
        QVERIFY(m.setData(m.Cell(0, "apply"), "offset"));
        QCOMPARE(m.index(0, TFactorTableModel::ColBase).data().toString(), QString("0"));
        QVERIFY(m.index(0, TFactorTableModel::ColUnits).data().toString() != "1 (scale)");
        QVERIFY(!m.setData(m.Cell(0, "apply"), "sideways"));
        // Another distribution keeps the settings the two share.
        QVERIFY(m.setData(m.Cell(0, "distribution"), "triangular"));
        QCOMPARE(m.Cell(0, "min").data().toString(), QString("0.9"));
        QCOMPARE(m.Problem(m.Cell(0, "mode")), QString("\"mode\" needs a value"));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(m.setData(m.Cell(0, "mode"), "1"));
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
        // A factor once only; a parameter is not an output.
        Pick("Sp", TFactorKind::Driver, "Sp");
        S().BtnAddFactor->click();
        QCOMPARE(m.rowCount(), 1);
        Pick("Q10d", TFactorKind::Parameter, "Q10d");
        QVERIFY(!S().BtnAddOutput->isEnabled());
    }

    void badEntriesSayWhyAndKeepRunDisabled() {
        SmallSetUp(10, 5);
        QVERIFY(w->BtnRun->isEnabled());
        TFactorTableModel& m = *S().Factors;
        const QModelIndex symbol = m.Cell(0, "symbol");
        const QModelIndex min = m.Cell(0, "min");
        const QModelIndex max = m.Cell(0, "max");

        QVERIFY(m.setData(symbol, "Q10x"));
        QCOMPARE(m.Problem(symbol), QString("unknown parameter symbol \"Q10x\"; the closest names are: Q10d, qu0"));
        QCOMPARE(m.data(symbol, Qt::ToolTipRole).toString(), m.Problem(symbol));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(w->LblStatus->text().contains("Q10x"));
        QVERIFY(m.setData(symbol, "Q10d"));
        QVERIFY(w->BtnRun->isEnabled());

        QVERIFY(m.setData(min, "2.6"));
        QVERIFY(m.setData(max, "1.6"));
        QCOMPARE(m.Problem(max),
                 QString("the bounds of parameter Q10d are in the wrong order: \"min\" must be less than \"max\""));
        // Every bad factor at once.
        QVERIFY(m.setData(m.Cell(1, "percent"), "120"));
        QCOMPARE(m.Problem(m.Cell(1, "percent")), QString("\"percent\" must be greater than 0 and at most 100"));
        QVERIFY(!m.Problem(max).isEmpty());
        QVERIFY(m.setData(m.Cell(1, "percent"), "20"));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(m.setData(max, "1.6x"));
        QCOMPARE(m.Problem(max), QString("'1.6x' is not a valid floating point value"));
        QVERIFY(m.setData(min, "1.6"));
        QVERIFY(m.setData(max, "2.6"));
        QVERIFY(w->BtnRun->isEnabled());

        Type(S().EdMembers, "0");
        QCOMPARE(S().FieldProblem(S().EdMembers), QString("\"members\" must be at least 1"));
        QCOMPARE(S().EdMembers->toolTip(), S().FieldProblem(S().EdMembers));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(!w->MIRunStart->isEnabled());
        // Saving a bad set-up is refused with the reason.
        QVERIFY(!w->SaveExperiment(Path("bad.toml")));
        QVERIFY(dialogs.MessageTexts().last().contains("\"members\" must be at least 1"));
        QVERIFY(!QFile::exists(Path("bad.toml")));

        Type(S().EdMembers, "10");
        QVERIFY(S().FieldProblem(S().EdMembers).isEmpty());
        QVERIFY(S().EdMembers->toolTip().isEmpty());
        QVERIFY(w->BtnRun->isEnabled());
    }
};

QTEST_MAIN(TestAnalysisSetup)
#include "test_analysis_setup.moc"
