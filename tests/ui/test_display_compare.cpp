// The output display with observations and a second run: the observed
// points, the second run's lines and the fit table on the chart of real
// runs of the example site, kept through updates until cleared.
#include <QtTest>

#include "io/numfmt.h"
#include "obs/fit.h"
#include "run/run.h"
#include "test_display_env.h"
#include "ui/display_fittable.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// A run of the temperate example from 0 to 30 with the given driver file.
QString RunExample(TDisplayEnv& env, const QString& name, const char* drivers) {
    TGlobals r;
    InitialiseGlobals(r);
    const std::string examples = std::string(ORVANE_SOURCE_DIR) + "/examples/";
    double residual = 0;
    ReadParamFile(r, examples + "temperate.par", r.ModelDef.numparam, r.Params, r.ModelDef.numstate, r.States,
                  residual);
    r.StopTime = 30;
    r.ParamFileName = examples + "temperate.par";
    r.DriverFileName = examples + drivers;
    r.OutputFileName = env.Path(name).toStdString();
    const TRunResult result = RunSimulation(r, nullptr);
    if (!result.ok) qFatal("%s", result.message.c_str());
    return env.Path(name);
}

const QString kObservations = QStringLiteral(ORVANE_SOURCE_DIR "/examples/temperate-observations.csv");

QVector<QPointF> GraphPoints(const QCPGraph* graph) {
    QVector<QPointF> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out << QPointF(it->key, it->value);
    return out;
}

}  // namespace

class TestDisplayCompare : public QObject {
    Q_OBJECT
private slots:
    void ObservationsAndSecondRunOverTheChart();
    void BadFilesKeepWhatWasLoaded();
};

void TestDisplayCompare::ObservationsAndSecondRunOverTheChart() {
    TDisplayEnv env;
    const QString a = RunExample(env, "co2.out", "temperate-co2.drr");
    const QString b = RunExample(env, "steady.out", "temperate.drr");
    env.Open(a);
    env.Select({"Foliage Carbon", "Labile Wood C"});

    env.dialogs.fileAnswers << kObservations;
    env.display->MIObservations->trigger();
    QCOMPARE(env.dialogs.messages.size(), 0);
    QCOMPARE(env.dialogs.fileDialogs.last().dlgSpec.title, QString("Open Observation File"));
    env.dialogs.fileAnswers << b;
    env.display->MICompareRun->trigger();
    QCOMPARE(env.dialogs.messages.size(), 0);
    env.display->BtnUpdateChart->click();  // the overlays survive an update

    // Per plotted series: the second run's line, then the observations.
    TOutputChart* chart = env.Chart();
    QCOMPARE(chart->OverlayCount(), 4);
    const TRunTable runB = ReadRunTable(b.toStdString());
    const QCPGraph* lineCf = chart->Overlay(0);
    QCOMPARE(lineCf->lineStyle(), QCPGraph::lsLine);
    QCOMPARE(lineCf->pen().color(), TOutputChart::SeriesColour(1));
    QCOMPARE(GraphPoints(lineCf).size(), 31);
    QCOMPARE(GraphPoints(lineCf)[30], QPointF(30, runB.At(30, 9)));
    QCOMPARE(chart->SeriesTitle(1), QString("Foliage Carbon (co2.out)"));
    QCOMPARE(lineCf->name(), QString("Foliage Carbon (steady.out)"));
    QCOMPARE(chart->legend->itemCount(), 6);

    // Every observation of Cf is drawn with its standard deviation (only
    // those up to year 30 fall inside this run, but all are measurements).
    TGlobals cat;
    InitialiseGlobals(cat);
    const TObservations obs = ReadObservationFile(kObservations.toStdString(), TVariableCatalogue(cat));
    const TObservedVariable& cf = obs.variables[0];
    const QCPGraph* pointsCf = chart->Overlay(1);
    QCOMPARE(pointsCf->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(pointsCf->name(), QString("Foliage Carbon (temperate-observations.csv)"));
    QCOMPARE(GraphPoints(pointsCf).size(), static_cast<int>(cf.points.size()));
    QCOMPARE(GraphPoints(pointsCf)[2], QPointF(cf.points[2].time, cf.points[2].value));
    QVERIFY(chart->OverlayErrorBars(1));
    QCOMPARE(chart->OverlayErrorBars(1)->data()->at(2).errorPlus, cf.points[2].sd);
    // Labile Wood C is observed every other inventory only.
    QCOMPARE(GraphPoints(chart->Overlay(3)).size(), 7);

    // The fit table holds the core's numbers for both runs.
    QVERIFY(env.display->PnFit->isVisibleTo(env.display.get()));
    TFitTable* table = env.display->TblFit;
    QCOMPARE(table->rowCount(), 12);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("run"));
    const TRunFit fitA = FitRun(obs, ReadRunTable(a.toStdString()));
    const TFitStats& s = fitA.variables[0].stats;
    QCOMPARE(table->item(0, 0)->text(), QString("co2.out"));
    QCOMPARE(table->item(0, 1)->text(), QString("Cf"));
    QCOMPARE(table->item(0, 3)->text(), QString::number(s.n));
    QCOMPARE(table->item(0, 4)->text(), QString::fromStdString(FormatGeneral(s.bias, 6)));
    QCOMPARE(table->item(0, 10)->text(), QString::fromStdString(FormatGeneral(s.m2ll, 6)));
    QCOMPARE(table->item(6, 0)->text(), QString("steady.out"));
    // Copying gives every digit.
    table->clearSelection();
    table->item(0, 4)->setSelected(true);
    QCOMPARE(table->CopyText(), "bias\n" + QString::fromStdString(FormatShortest(s.bias)) + "\n");
    QVERIFY(env.display->LblFitNotes->text().contains("outside the run not used (the run's times are 0 to 30)"));

    // Exporting the table offers the differences as well.
    env.dialogs.fileAnswers << env.Path("table.csv");
    env.dialogs.messageAnswers << TMsgButton::Yes;
    env.display->MIExportTable->trigger();
    QCOMPARE(env.dialogs.messages.size(), 1);
    QVERIFY(env.dialogs.messages[0].text.startsWith("Also export the differences of the compared run steady.out"));
    QFile diff(env.Path("table-differences.csv"));
    QVERIFY(diff.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = diff.readAll().split('\n');
    QCOMPARE(lines.size(), 2 + 31 + 1);
    QVERIFY(lines[0].startsWith("Time,CO2,"));
    const TRunTable runA = ReadRunTable(a.toStdString());
    const QList<QByteArray> last = lines[32].trimmed().split(',');
    QCOMPARE(last[0], QByteArray("30"));
    QCOMPARE(last[9].toDouble(), runB.At(30, 9) - runA.At(30, 9));

    // Cleared from the same menu, both go.
    env.display->MIClearObservations->trigger();
    QCOMPARE(chart->OverlayCount(), 2);
    QVERIFY(!env.display->PnFit->isVisibleTo(env.display.get()));
    QVERIFY(!env.display->MIClearObservations->isEnabled());
    env.display->MIClearCompareRun->trigger();
    QCOMPARE(chart->OverlayCount(), 0);
    QCOMPARE(chart->SeriesTitle(1), QString("Foliage Carbon"));
    QCOMPARE(chart->legend->itemCount(), 2);
}

void TestDisplayCompare::BadFilesKeepWhatWasLoaded() {
    TDisplayEnv env;
    const QString a = RunExample(env, "co2.out", "temperate-co2.drr");
    env.Open(a);
    env.Select({"Foliage Carbon"});
    QVERIFY(env.display->LoadObservations(kObservations));

    QFile bad(env.Path("bad.csv"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("time,Cf\n1,x\n");
    bad.close();
    QVERIFY(!env.display->LoadObservations(env.Path("bad.csv")));
    QCOMPARE(env.dialogs.MessageTexts(), QStringList{env.Path("bad.csv") + ":2:3: the value 'x' is not a number"});
    QVERIFY(env.display->HasObservations());

    // Another model's output (here: one column short) is refused.
    QFile other(env.Path("other.out"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("                Time                  CO2 \r\n                year                 ppmv \r\n0 1\r\n");
    other.close();
    QVERIFY(!env.display->LoadComparedRun(env.Path("other.out")));
    QVERIFY(env.dialogs.MessageTexts().last().endsWith("the file does not hold this model's columns."));
    QVERIFY(!env.display->HasComparedRun());
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->OverlayCount(), 1);
}

QTEST_MAIN(TestDisplayCompare)
#include "test_display_compare.moc"
