// The analysis window's runs and results: it opens from the main window, a
// cancelled run keeps its members and a second Run completes them, the
// charts show the numbers of the result files (the runner's too), and
// folders that cannot be used are refused with the reason.
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include "analysis_env.h"
#include "ensemble/journal.h"
#include "ensemble/results_read.h"
#include "io/numfmt.h"
#include "ui/analysis/analysis_results.h"
#include "ui/analysis/analysis_views.h"
#include "ui/forms.h"
#include "ui/mainform.h"

using namespace orvane;
using namespace orvane::testing;

class TestAnalysis : public TAnalysisTest {
    Q_OBJECT

private slots:
    void init() { Open(); }
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

    void foldersThatCannotBeUsedAreRefused() {
        QVERIFY(QDir().mkpath(Path("empty")));
        QVERIFY(!w->OpenResults(Path("empty")));
        QVERIFY2(dialogs.MessageTexts().last().contains("has no trajectories.nc"), qPrintable(dialogs.MessageTexts().last()));
        QVERIFY(!w->ResultsPage->HasResults());

        SmallSetUp(8, 3);
        dialogs.fileAnswers << Path("a.toml");
        QVERIFY(w->MISaveAs->isEnabled());
        w->MISaveAs->trigger();
        Type(w->EdResultsFolder, Path("a-results"));
        w->BtnRun->click();
        WaitForRun();
        QVERIFY(w->ResultsPage->HasResults());
        QVERIFY(w->ResultsPage->Results()->baseNote.isEmpty());

        // Once the experiment changes, its old folder is another experiment's.
        Type(S().EdMembers, "9");
        dialogs.Clear();
        dialogs.messageAnswers << TMsgButton::Yes;  // save over a.toml
        w->BtnRun->click();
        QVERIFY(!w->Running());
        QVERIFY2(dialogs.MessageTexts().last().contains("holds the members of another experiment"),
                 qPrintable(dialogs.MessageTexts().join("\n")));

        // Results moved away from their experiment show without the base run.
        QVERIFY(QDir().rename(Path("a-results"), Path("moved")));
        QDir().mkpath(Path("elsewhere"));
        QVERIFY(QDir().rename(Path("moved"), Path("elsewhere/moved")));
        TFmAnalysis other(g, dialogs);
        QVERIFY(other.OpenResults(Path("elsewhere/moved")));
        QVERIFY(other.ResultsPage->Results()->baseNote.startsWith("The base run is not shown"));
        QCOMPARE(static_cast<int>(other.ResultsPage->Chart->Data().lines.size()), 1);  // the median alone
    }

    void histogramBins() {
        const THistogram one = MakeHistogram({2, 2, 2});
        QCOMPARE(one.counts, (std::vector<std::size_t>{3}));
        QVERIFY(one.edges[0] < 2 && one.edges[1] > 2);
        std::vector<double> v;
        for (int i = 0; i <= 100; ++i) v.push_back(i);
        const THistogram h = MakeHistogram(v);
        QCOMPARE(h.counts.size(), std::size_t{10});
        QCOMPARE(h.edges.front(), 0.0);
        QCOMPARE(h.edges.back(), 100.0);
        std::size_t n = 0;
        for (const std::size_t c : h.counts) n += c;
        QCOMPARE(n, v.size());  // the largest value is in the last bin
        QCOMPARE(h.counts.back(), std::size_t{11});
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
