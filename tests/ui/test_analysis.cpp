// The analysis window: a set-up made by hand saves the shipped example's
// settings, bad entries say why and keep Run disabled, a cancelled run
// keeps its members and a second Run completes them, and the charts show
// the numbers of the result files.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "calc/calculate.h"
#include "ensemble/experiment_write.h"
#include "ensemble/journal.h"
#include "ensemble/results_read.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "ui/analysis/analysis.h"
#include "ui/analysis/analysis_factors.h"
#include "ui/analysis/analysis_picker.h"
#include "ui/analysis/analysis_results.h"
#include "ui/analysis/analysis_setup.h"
#include "ui/analysis/analysis_views.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/support_dialogs.h"

using namespace orvane;
using ensemble::TFactorKind;

namespace {

const QString kExamples = QStringLiteral(ORVANE_SOURCE_DIR "/examples/");

// The experiment of a file as the writer gives it: one line per setting,
// the same text for the same settings.
QStringList Settings(const QString& path) {
    const ensemble::TExperiment e = ensemble::ReadExperiment(path.toStdString());
    return QString::fromStdString(ensemble::ExperimentText(e, "/settings.toml")).split("\r\n");
}

void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

}  // namespace

class TestAnalysis : public QObject {
    Q_OBJECT

    TGlobals g;
    TScriptedDialogs dialogs;
    std::unique_ptr<TFmAnalysis> w;
    QTemporaryDir dir;

    TAnalysisSetup& S() { return *w->Setup; }

    // Picks a variable by typing part of its name, as a user finds it.
    void Pick(const QString& search, TFactorKind kind, const QString& symbol) {
        Type(S().Picker->EdFind, search);
        QVERIFY2(S().Picker->Select(kind, symbol), qPrintable(symbol));
    }
    void AddFactor(TFactorKind kind, const QString& symbol, const QString& distribution,
                   const QMap<QString, QString>& settings) {
        Pick(symbol, kind, symbol);
        QVERIFY(S().BtnAddFactor->isEnabled());
        S().BtnAddFactor->click();
        TFactorTableModel& m = *S().Factors;
        const int row = m.FindRow(symbol);
        QVERIFY(row >= 0);
        QVERIFY(m.setData(m.Cell(row, "distribution"), distribution));
        for (auto it = settings.begin(); it != settings.end(); ++it) QVERIFY(m.setData(m.Cell(row, it.key()), it.value()));
    }
    void AddOutput(TFactorKind kind, const QString& symbol) {
        Pick(symbol, kind, symbol);
        S().BtnAddOutput->click();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    // A small set-up on the temperate site that runs in a moment.
    void SmallSetUp(int members, double stop) {
        Type(S().EdStop, QString::number(stop));
        AddFactor(TFactorKind::Parameter, "Q10d", "uniform", {{"min", "1.6"}, {"max", "2.6"}});
        AddFactor(TFactorKind::Parameter, "kIm", "relative", {{"percent", "20"}});
        AddOutput(TFactorKind::State, "Cw");
        AddOutput(TFactorKind::Process, "NPPt");
        Type(S().EdMembers, QString::number(members));
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
    }

    void WaitForRun() {
        QSignalSpy ended(w.get(), &TFmAnalysis::RunEnded);
        QVERIFY(ended.wait(120000));
    }

private slots:
    void init() {
        InitialiseGlobals(g);
        g.ParamFileName = (kExamples + "temperate.par").toStdString();
        g.DriverFileName = (kExamples + "temperate-co2.drr").toStdString();
        g.StopTime = 200;
        dialogs.Clear();
        w = std::make_unique<TFmAnalysis>(g, dialogs);
        w->ShowFromMain();
    }
    void cleanup() { w.reset(); }

    void mainWindowOpensItWithTheCalculateMenu() {
        w.reset();
        TGlobals mg;
        TScriptedDialogs md;
        TForms f = CreateForms(mg, md, "orvane");
        TMainForm* m = f.MainForm;
        QStringList menus;
        for (QAction* a : m->menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, (QStringList{"&Files", "&Edit", "&Calculate", "&Analysis", "&Output", "&About"}));
        QCOMPARE(m->MIEnsemble->text(), QString("&Ensemble..."));
        QVERIFY(!m->MIAnalysis->menuAction()->isEnabled());
        m->ParamBox->setText(kExamples + "temperate.par");
        m->ChooseParamFile(TMainForm::TFileSource::Box);
        m->DriverBox->setText(kExamples + "temperate-co2.drr");
        m->ChooseDriver(TMainForm::TFileSource::Box);
        QVERIFY(m->MICalculate->menuAction()->isEnabled());
        QVERIFY(m->MIAnalysis->menuAction()->isEnabled());
        m->MIEnsemble->trigger();
        QVERIFY(f.FmAnalysis->isVisible());
        QCOMPARE(f.FmAnalysis->windowTitle(), QString("Ensemble Analysis"));
        QCOMPARE(f.FmAnalysis->Setup->EdParamFile->text(), kExamples + "temperate.par");
        DestroyForms(f);
    }

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

    void cancelledRunKeepsItsMembersAndRunCompletesThem() {
        SmallSetUp(600, 20);
        const QString folder = Path("small-results");
        Type(w->EdResultsFolder, folder);
        dialogs.fileAnswers << Path("small.toml");
        // Cancelled at the first news of progress, which comes while the
        // window goes on answering.
        const auto cancel = connect(w->PbMembers, &QProgressBar::valueChanged, w.get(), [this](int done) {
            if (done > 0 && w->BtnCancel->isEnabled()) w->BtnCancel->click();
        });
        w->BtnRun->click();  // saves the set-up first
        QVERIFY2(w->Running(), qPrintable(dialogs.MessageTexts().join("\n")));
        QVERIFY(!w->BtnRun->isEnabled());
        QVERIFY(!S().isEnabled());
        WaitForRun();
        disconnect(cancel);
        QVERIFY(!w->Running());
        QVERIFY(w->BtnRun->isEnabled());
        QVERIFY2(w->LblStatus->text().startsWith("Cancelled: "), qPrintable(w->LblStatus->text()));
        const std::string journal = QDir(folder).filePath("members.journal").toStdString();
        ensemble::TJournalReader reader(journal);
        ensemble::TMemberRecord r;
        std::size_t kept = 0;
        while (reader.Next(r)) ++kept;
        QVERIFY(kept > 0 && kept < 600);
        QVERIFY(w->LblStatus->text().contains(QString::number(kept) + " of 600"));
        QVERIFY(!QFile::exists(QDir(folder).filePath("members.csv")));

        dialogs.messageAnswers << TMsgButton::Yes;
        w->BtnRun->click();
        QCOMPARE(dialogs.messages.last().text, "The results folder " + QDir::toNativeSeparators(folder) + " holds " +
                                                   QString::number(kept) + " of the 600 members of this experiment. "
                                                   "Run the other " + QString::number(600 - kept) + "?");
        WaitForRun();
        QVERIFY2(w->LblStatus->text().startsWith("Done: 600 members"), qPrintable(w->LblStatus->text()));
        QCOMPARE(ensemble::ReadMembersFile(QDir(folder).filePath("members.csv").toStdString(), {"Cw", "NPPt"}).rows.size(),
                 std::size_t{600});

        // The fan chart holds the summary's numbers as the file has them.
        TAnalysisResultsPage& page = *w->ResultsPage;
        QCOMPARE(w->Pages->currentWidget(), static_cast<QWidget*>(&page));
        QVERIFY(page.SelectChart(TChartKind::Fan));
        QVERIFY(page.SelectOutput("NPPt"));
        const TChartData& fan = page.Chart->Data();
        const auto summary = ensemble::ReadSummaryFile(QDir(folder).filePath("summary.csv").toStdString());
        QCOMPARE(fan.table.rows.size(), 21);
        QCOMPARE(fan.table.header, (QStringList{"time", "q05", "q25", "q50", "q75", "q95", "base"}));
        for (const auto& s : summary) {
            if (s.variable != "NPPt") continue;
            const QStringList& row = fan.table.rows[static_cast<int>(s.time)];
            QCOMPARE(row[3], QString::fromStdString(FormatShortest(s.q50)));
            QCOMPARE(row[5], QString::fromStdString(FormatShortest(s.q95)));
        }
        QVERIFY(fan.lines.size() == 2);  // median and the base run
        QVERIFY(page.Chart->xAxis->label().contains("year"));
        QVERIFY(page.Chart->yAxis->label().contains("gC m-2"));

        // The histogram counts every member that succeeded, at the time chosen.
        QVERIFY(page.SelectChart(TChartKind::Histogram));
        QVERIFY(page.SelectTime(10));
        int members = 0;
        for (const QStringList& row : page.Chart->Data().table.rows) members += row[2].toInt();
        QCOMPARE(members, 600 - static_cast<int>(page.Results()->members.Failed()));

        // Saved as a picture and as numbers, through the dialog service.
        dialogs.fileAnswers << Path("hist.png") << Path("hist");
        page.SaveImageClick();
        page.ExportDataClick();
        QVERIFY(QFileInfo(Path("hist.png")).size() > 1000);
        QFile csv(Path("hist.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readLine().startsWith("bin_lower,bin_upper,members"));
        QCOMPARE(dialogs.MessageTexts().size(), 1);  // only the resume question

        // The folder opened later shows the same charts.
        TFmAnalysis later(g, dialogs);
        QVERIFY(later.OpenResults(folder));
        QCOMPARE(later.ResultsPage->Results()->members.rows.size(), std::size_t{600});
    }

    void smallSobolRunShowsTheRunnersIndices() {
        QVERIFY(w->OpenExperiment(kExamples + "temperate-co2-sobol.toml"));
        QCOMPARE(S().LblMembers->text(), QString("&Base sample N:"));
        Type(S().EdStop, "10");
        Type(S().EdMembers, "16");
        Type(static_cast<QLineEdit*>(S().MethodField("bootstrap")), "200");
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
        const QString path = Path("sobol-small.toml");
        Type(w->EdResultsFolder, Path("window"));
        // Run would save over the shipped file: only if the user says so.
        dialogs.messageAnswers << TMsgButton::Cancel;
        w->BtnRun->click();
        QCOMPARE(dialogs.messages.last().text, QString("Run saves the set-up first. Save the changes over "
                                                       "temperate-co2-sobol.toml? (No saves them under another name.)"));
        QVERIFY(!w->Running());
        dialogs.fileAnswers << path;
        QVERIFY(w->MISaveAs->isEnabled());
        w->MISaveAs->trigger();
        w->BtnRun->click();
        WaitForRun();
        QVERIFY2(w->LblStatus->text().startsWith("Done: 192 members"), qPrintable(w->LblStatus->text()));

        // The runner, on the file the window saved.
        QProcess runner;
        runner.start(ORVANE_BIN_DIR "/orvane-ensemble", {path, "--out", Path("runner")});
        QVERIFY(runner.waitForFinished(120000));
        QCOMPARE(runner.exitCode(), 0);
        const auto indices = ensemble::ReadIndicesFile(Path("runner/indices.csv").toStdString());

        TAnalysisResultsPage& page = *w->ResultsPage;
        QCOMPARE(page.CurrentChart(), TChartKind::SobolBars);  // an analysis opens on its indices
        QVERIFY(page.SelectOutput("Cw"));
        QVERIFY(page.SelectTime(10));
        const TChartData bars = page.Chart->Data();
        QCOMPARE(bars.table.header, (QStringList{"factor", "S1", "S1_lower", "S1_upper", "ST", "ST_lower", "ST_upper"}));
        QCOMPARE(bars.table.rows.size(), 10);
        int compared = 0;
        for (const QStringList& row : bars.table.rows) {
            for (const auto& i : indices) {
                if (i.output != "Cw" || i.time != 10 || QString::fromStdString(i.factor) != row[0]) continue;
                const int at = i.index == "S1" ? 1 : 4;
                QCOMPARE(row[at], QString::fromStdString(FormatShortest(i.value)));
                QCOMPARE(row[at + 1], QString::fromStdString(FormatShortest(i.lower)));
                QCOMPARE(row[at + 2], QString::fromStdString(FormatShortest(i.upper)));
                ++compared;
            }
        }
        QCOMPARE(compared, 20);
        // Ranked by total index, the largest first.
        QVERIFY(bars.table.rows[0][4].toDouble() >= bars.table.rows[1][4].toDouble());
        QCOMPARE(bars.categories.last(), bars.table.rows[0][0]);

        // The total indices over time of the top factors, on a plain axis.
        QVERIFY(page.SelectChart(TChartKind::SobolOverTime));
        const TChartData& lines = page.Chart->Data();
        QCOMPARE(static_cast<int>(lines.lines.size()), 5);
        QCOMPARE(lines.table.rows.size(), 11);
        QCOMPARE(lines.lines[0].name, bars.table.rows[0][0]);
        QVERIFY(!qSharedPointerDynamicCast<QCPAxisTickerText>(page.Chart->yAxis->ticker()));

        // The runner's folder shows the same.
        TFmAnalysis other(g, dialogs);
        QVERIFY(other.OpenResults(Path("runner")));
        other.ResultsPage->SelectOutput("Cw");
        other.ResultsPage->SelectTime(10);
        QCOMPARE(other.ResultsPage->Chart->Data().table.rows, bars.table.rows);
    }

    void localAndMorrisChartsRankTheFactors() {
        TResultsData r;
        r.info.variables = {{"Cw", "gC m-2ground", "Wood Carbon"}};
        auto row = [](const char* method, const char* factor, const char* index, double v, double lo = NAN, double hi = NAN) {
            return ensemble::TIndexRow{method, "Cw", 5, factor, index, v, lo, hi};
        };
        r.indices = {row("local", "a", "S", 0.2), row("local", "b", "S", -0.5), row("local", "c", "S", NAN),
                     row("morris", "a", "mu_star", 3, 2, 4), row("morris", "b", "mu_star", 7, 6, 8),
                     row("morris", "a", "sigma", 1), row("morris", "b", "sigma", 2)};
        QCOMPARE(AvailableCharts(r).first(), TChartKind::LocalBars);
        QCOMPARE(ChartTimes(r, TChartKind::MorrisBars, "Cw"), QVector<double>{5});
        // Local: by size whatever the sign, the undefined last; the largest on top.
        const TChartData local = BuildChart(r, TChartKind::LocalBars, "Cw", 5, 0);
        QCOMPARE(local.table.rows.first(), (QStringList{"b", "-0.5"}));
        QCOMPARE(local.table.rows.last().first(), QString("c"));
        QCOMPARE(local.categories, (QStringList{"c", "a", "b"}));
        QVERIFY(local.horizontal);
        const TChartData mu = BuildChart(r, TChartKind::MorrisBars, "Cw", 5, 0);
        QCOMPARE(mu.table.header, (QStringList{"factor", "mu_star", "lower", "upper"}));
        QCOMPARE(mu.table.rows.first(), (QStringList{"b", "7", "6", "8"}));
        QVERIFY(mu.xTitle.endsWith("(gC m-2ground)"));
        const TChartData scatter = BuildChart(r, TChartKind::MorrisScatter, "Cw", 5, 0);
        QCOMPARE(scatter.points.front().labels, (QStringList{"a", "b"}));
        QCOMPARE(scatter.points.front().y, (QVector<double>{1, 2}));
        // The CSV of a chart is its table, quoted where a name needs it.
        TChartTable t{{"factor", "S"}, {{"x,y", "0.1"}}};
        QCOMPARE(ChartCsv(t), QByteArray("factor,S\r\n\"x,y\",0.1\r\n"));
    }
};

QTEST_MAIN(TestAnalysis)
#include "test_analysis.moc"
