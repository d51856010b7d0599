// The output display: reading an output file into the table, and drawing
// chosen columns on the chart.
#include <QtTest>

#include "test_display_env.h"
#include "ui/display_lists.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// Column c of row r holds 100 * c + r + 1: every value positive and distinct.
double Plain(int r, int c) { return 100.0 * c + r + 1; }

QStringList SortedNames(const TDisplayEnv& env) {
    QStringList names;
    for (int i = 0; i < env.display->LbxSeries->count(); ++i) names << env.display->LbxSeries->item(i)->text();
    return names;
}

}  // namespace

class TestDisplay : public QObject {
    Q_OBJECT
private slots:
    void HeaderRowsAndSeriesList();
    void RowsBeforeStartTimeAreLeftOut();
    void ValuesAreRoundedToFourDigits();
    void ChangeIsMeasuredFromFirstKeptRow();
    void TwelveSeriesDrawTheFirstTenAlphabetically();
    void RelativeChangeFromZeroIsInvalid();
    void VerticalAxisAlwaysIncludesZero();
    void LogarithmicVerticalAxisStaysPositive();
    void PointsOnThePlotEdgesShowWhole();
    void StampedMarkersLookAsPainted();
    void CloseDisplayKeepsTableOtherClosesReread();
    void UnreadableFileKeepsRowsReadBeforeIt();
    void CutOffLastRowIsReportedNotShown();
    void MissingFileShowsReadersError();
    void ModesLayOutTheWindow();
    void NewFileReloadsAndRedraws();
    void ListColumnsFollowWidth();
};

void TestDisplay::HeaderRowsAndSeriesList() {
    TDisplayEnv env;
    TOutputTableModel* t = env.Table();
    QCOMPARE(t->Columns(), 154);
    QCOMPARE(t->CellText(0, 0), QString("0"));
    QCOMPARE(t->CellText(153, 0), QString("153"));
    QCOMPARE(t->CellText(0, 1), QString("Time"));
    QCOMPARE(t->CellText(0, 2), QString("year"));
    QCOMPARE(t->CellText(1, 1), QString("CO2"));
    QCOMPARE(t->CellText(1, 2), QString("ppmv"));
    QCOMPARE(t->CellText(9, 1), QString("Foliage Carbon"));
    QCOMPARE(env.Column("Foliage Carbon"), 9);
    QCOMPARE(env.Column("no such series"), -1);
    QCOMPARE(env.Chart()->Title(), QString("Veskor Orvane"));
    QCOMPARE(env.Chart()->AxisTitle(true), QString("Time"));
    QCOMPARE(env.display->windowTitle(), QString("Model Output Display"));

    // Every column once, alphabetical ignoring case.
    const QStringList names = SortedNames(env);
    QCOMPARE(names.size(), 154);
    for (int i = 1; i < names.size(); ++i)
        QVERIFY2(QString::compare(names[i - 1], names[i], Qt::CaseInsensitive) <= 0, qPrintable(names[i]));
    QVERIFY(names.contains("Time"));
    QCOMPARE(ListColumns(env.display->LbxSeries), 6);
}

void TestDisplay::RowsBeforeStartTimeAreLeftOut() {
    TDisplayEnv env;
    env.g.StartTime = 2;
    const statearray statesBefore = env.g.States;
    env.Open(env.WriteOutput("early.out", {0, 1, 2, 3, 4}, Plain));
    QCOMPARE(env.Table()->DataRowCount(), 3);
    QCOMPARE(env.Table()->CellText(0, 3), QString("2"));
    QCOMPARE(env.Table()->CellText(0, 5), QString("4"));
    QCOMPARE(env.Table()->Value(0, 9), Plain(2, 9));
    QCOMPARE(env.display->windowTitle(), "Model Output - File: " + env.Path("early.out"));
    // The model's own values are never touched by reading.
    for (int i = 1; i <= env.g.ModelDef.numstate; ++i) QCOMPARE(env.g.States[i].value, statesBefore[i].value);
    QVERIFY(env.dialogs.messages.isEmpty());
}

void TestDisplay::ValuesAreRoundedToFourDigits() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("round.out", {12346, 20000}, [](int r, int c) {
        return c == 9 ? 1.23456789 * (r + 1) : (c == 10 ? -0.000123456 : 5);
    }));
    QCOMPARE(env.Table()->CellText(0, 3), QString("1.235e+04"));
    QCOMPARE(env.Table()->DisplayValue(0, 0), 12350.0);
    QCOMPARE(env.Table()->Value(0, 0), 12346.0);  // kept as the file holds it
    QCOMPARE(env.Table()->CellText(9, 3), QString("1.235"));
    QCOMPARE(env.Table()->CellText(10, 3), QString("-0.0001235"));
    QCOMPARE(env.Table()->data(env.Table()->index(1, 9), Qt::DisplayRole).toString(), QString("1.235"));
    QCOMPARE(env.Table()->data(env.Table()->index(0, 9), Qt::DisplayRole).toString(), QString("gC m-2ground"));

    // The chart draws the numbers the table shows.
    env.Select({"Foliage Carbon"});
    env.display->UpdateChart();
    const QVector<QPointF> p = env.Points(1);
    QCOMPARE(p.size(), 2);
    QCOMPARE(p[0].x(), 12350.0);
    QCOMPARE(p[0].y(), 1.235);
    QCOMPARE(p[1].y(), 2.469);
    QCOMPARE(RoundG4(1.2345), 1.234);  // stored just below the tie, so it rounds down
}

void TestDisplay::ChangeIsMeasuredFromFirstKeptRow() {
    TDisplayEnv env;
    env.g.StartTime = 1;
    // Foliage Carbon: 5 (left out), then 2, 4, 8.
    env.Open(env.WriteOutput("y0.out", {0, 1, 2, 3}, [](int r, int c) {
        const double v[] = {5, 2, 4, 8};
        return c == 9 ? v[r] : 1.0;
    }));
    env.Select({"Foliage Carbon"});
    env.display->SetValueType(TFmDisplayData::RelativeChange);
    env.display->UpdateChart();
    QCOMPARE(env.Points(1), (QVector<QPointF>{{1, 1}, {2, 2}, {3, 4}}));
    env.display->SetValueType(TFmDisplayData::CumulativeChange);
    env.display->UpdateChart();
    QCOMPARE(env.Points(1), (QVector<QPointF>{{1, 0}, {2, 2}, {3, 6}}));
    QCOMPARE(env.Chart()->SeriesTitle(1), QString("Foliage Carbon"));
    QCOMPARE(env.Chart()->AxisTitle(true), QString("Time"));
}

void TestDisplay::TwelveSeriesDrawTheFirstTenAlphabetically() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("twelve.out", {0, 1, 2}, Plain));
    // Twelve names given out of order; the list decides the order drawn.
    const QStringList chosen = {"Wood Carbon",        "Root Carbon",      "Foliage Carbon", "CO2",
                                "Soil NH4",           "Humus SN",         "Active SN",      "Soluble SC",
                                "Daily Air Temp max", "Precipitation",    "Insoluble SC",   "Extractive SC"};
    env.Select(chosen);
    QStringList expected = chosen;
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });

    env.display->UpdateChart();
    QCOMPARE(env.dialogs.MessageTexts(), QStringList({MsgTooManySeries, MsgTooManySeries}));
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Error);
    QCOMPARE(env.display->YCount, 10);
    for (int k = 1; k <= 10; ++k) {
        QVERIFY(env.Chart()->SeriesActive(k));
        QCOMPARE(env.Chart()->SeriesTitle(k), expected[k - 1]);
        QCOMPARE(env.Chart()->PointCount(k), 3);
    }
    QCOMPARE(env.Chart()->legend->itemCount(), 10);
    // The extra entries stay selected, so the next update warns again.
    QCOMPARE(env.display->LbxSeries->selectedItems().size(), 12);
    env.dialogs.Clear();
    env.display->UpdateChart();
    QCOMPARE(env.dialogs.messages.size(), 2);

    // Fewer series: the rest become inactive and leave the legend.
    env.display->BtnClearSeriesClick();
    env.Select({"CO2"});
    env.dialogs.Clear();
    env.display->UpdateChart();
    QVERIFY(env.dialogs.messages.isEmpty());
    QVERIFY(env.Chart()->SeriesActive(1));
    QVERIFY(!env.Chart()->SeriesActive(2));
    QCOMPARE(env.Chart()->PointCount(2), 0);
    QCOMPARE(env.Chart()->legend->itemCount(), 1);
}

void TestDisplay::RelativeChangeFromZeroIsInvalid() {
    TDisplayEnv env;
    // Wood Carbon (column 10) starts at 0; CO2 (column 1) does not.
    env.Open(env.WriteOutput("zero.out", {0, 1, 2}, [](int r, int c) { return c == 10 ? r : 10.0 + r; }));
    env.Select({"CO2", "Wood Carbon"});
    env.display->SetValueType(TFmDisplayData::RelativeChange);
    env.display->UpdateChart();
    QCOMPARE(env.dialogs.MessageTexts(), QStringList{MsgInvalidSeries});
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Information);
    QCOMPARE(env.dialogs.messages[0].buttons, static_cast<int>(TMsgButton::OK));
    // CO2 was drawn before the failure and stays; the axes are still rescaled.
    QCOMPARE(env.Points(1).size(), 3);
    QCOMPARE(env.Points(2).size(), 0);
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.0);
    QCOMPARE(env.Chart()->AxisMaximum(false), 1.2);

    // Cumulative change from 0 is fine.
    env.dialogs.Clear();
    env.display->SetValueType(TFmDisplayData::CumulativeChange);
    env.display->UpdateChart();
    QVERIFY(env.dialogs.messages.isEmpty());
    QCOMPARE(env.Points(2).size(), 3);
}

void TestDisplay::VerticalAxisAlwaysIncludesZero() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("pos.out", {0, 1, 2}, [](int r, int c) { return c == 9 ? 50.0 + r : -3.0 - r; }));
    env.Select({"Foliage Carbon"});
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.0);
    QCOMPARE(env.Chart()->AxisMaximum(false), 52.0);
    QVERIFY(!env.Chart()->AxisAutomatic(false));
    QVERIFY(env.Chart()->AxisAutomatic(true));
    QCOMPARE(env.Chart()->AxisMinimum(true), 0.0);
    QCOMPARE(env.Chart()->AxisMaximum(true), 2.0);

    // Negative values set the lower limit themselves.
    env.display->BtnClearSeriesClick();
    env.Select({"Wood Carbon"});
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->AxisMinimum(false), -5.0);
    QCOMPARE(env.Chart()->AxisMaximum(false), -3.0);

    // Fixed limits last only until the next update.
    env.display->SetAxisScale(false, false, 10, -20, 5);
    QCOMPARE(env.Chart()->AxisMinimum(false), -20.0);  // swapped
    QCOMPARE(env.Chart()->AxisMaximum(false), 10.0);
    QCOMPARE(env.Chart()->AxisIncrement(false), 5.0);
    env.display->SetAxisScale(true, false, 1, 1, 0);
    QCOMPARE(env.Chart()->AxisMaximum(true), 1 + 1e-10);
    // Where 1e-10 is below the spacing of doubles the range still opens.
    env.display->SetAxisScale(true, false, 1e9, 1e9, 0);
    QCOMPARE(env.Chart()->AxisMinimum(true), 1e9);
    QVERIFY(env.Chart()->AxisMaximum(true) > 1e9);
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->AxisMinimum(false), -5.0);
    QVERIFY(env.Chart()->AxisAutomatic(true));
    QCOMPARE(env.Chart()->AxisMaximum(true), 2.0);
}

void TestDisplay::LogarithmicVerticalAxisStaysPositive() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("log.out", {0, 1, 2}, [](int r, int c) { return c == 9 ? 0.03 * (r + 1) : 700.0 * (r + 1); }));
    env.Select({"Foliage Carbon", "CO2"});
    env.display->SetAxisLog(false, true);
    env.display->UpdateChart();
    // The automatic minimum of 0 becomes the decade below the smallest value.
    QVERIFY(env.Chart()->AxisLogarithmic(false));
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.01);
    QCOMPARE(env.Chart()->AxisMaximum(false), 2100.0);
    QVERIFY(env.Chart()->yAxis->scaleType() == QCPAxis::stLogarithmic);
    env.display->SetAxisLog(false, false);
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.0);
}

void TestDisplay::PointsOnThePlotEdgesShowWhole() {
    TDisplayEnv env;
    // Foliage Carbon is 5 throughout: its points lie on the left, top and
    // right edges of the plot (time 0..2, vertical axis 0..5).
    env.Open(env.WriteOutput("edge.out", {0, 1, 2}, [](int, int c) { return c == 9 ? 5.0 : 1.0; }));
    env.display->resize(900, 700);
    env.Select({"Foliage Carbon"});
    env.display->UpdateChart();
    TOutputChart* chart = env.Chart();
    const QImage image = chart->toPixmap(chart->width(), chart->height()).toImage();
    auto red = [&](double x, double y, int dx, int dy) {
        const QColor c = image.pixelColor(qRound(chart->xAxis->coordToPixel(x)) + dx,
                                          qRound(chart->yAxis->coordToPixel(y)) + dy);
        return c.red() > 200 && c.green() < 80 && c.blue() < 80;
    };
    QVERIFY(red(1, 5, 0, 2));    // the marker itself (red square of series 1)
    QVERIFY(red(0, 5, -2, 2));   // left half of the first point
    QVERIFY(red(1, 5, 0, -2));   // upper half of a point at the maximum
    QVERIFY(red(2, 5, 2, 2));    // right half of the last point
}

void TestDisplay::StampedMarkersLookAsPainted() {
    TDisplayEnv env;
    // Dense, overlapping markers of every shape, some on the plot's edges.
    std::vector<double> times;
    for (int r = 0; r < 3000; ++r) times.push_back(r * 0.1);
    env.Open(env.WriteOutput("dense.out", times, [](int r, int c) { return 50 + 40 * std::sin(r * 0.002 * c) * (c % 3); }));
    env.display->resize(900, 700);
    for (int i = 0; i < 10; ++i) env.display->LbxSeries->item(3 + 15 * i)->setSelected(true);
    env.display->UpdateChart();
    TOutputChart* chart = env.Chart();
    const QImage stamped = chart->toPixmap(chart->width(), chart->height()).toImage();
    chart->SetStampMarkers(false);
    const QImage painted = chart->toPixmap(chart->width(), chart->height()).toImage();
    QCOMPARE(stamped.size(), painted.size());
    int differ = 0;
    int worst = 0;
    for (int y = 0; y < stamped.height(); ++y)
        for (int x = 0; x < stamped.width(); ++x) {
            const QColor a = stamped.pixelColor(x, y);
            const QColor b = painted.pixelColor(x, y);
            const int d = std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                                    std::abs(a.blue() - b.blue())});
            differ += d > 0;
            worst = std::max(worst, d);
        }
    QVERIFY2(worst <= 2, qPrintable(QString("%1 pixels differ, by up to %2").arg(differ).arg(worst)));
}

void TestDisplay::CloseDisplayKeepsTableOtherClosesReread() {
    TDisplayEnv env;
    const QString path = env.WriteOutput("keep.out", {0, 1}, Plain);
    env.Open(path, true);
    QCOMPARE(env.Table()->DataRowCount(), 2);
    QVERIFY(env.g.ReloadNeeded);  // stays set after loading

    env.display->BtnCloseDisplay->click();
    QVERIFY(!env.display->isVisible());
    QVERIFY(!env.g.ReloadNeeded);
    env.WriteOutput("keep.out", {0, 1, 2, 3}, Plain);
    env.display->show();
    QCOMPARE(env.Table()->DataRowCount(), 2);

    // Closing any other way rereads at the next opening.
    env.display->close();
    QVERIFY(!env.g.ReloadNeeded);  // unchanged by closing...
    env.g.ReloadNeeded = true;     // ...but a run or From File asks for a reread
    env.display->show();
    QCOMPARE(env.Table()->DataRowCount(), 4);
    env.display->close();
    QVERIFY(env.g.ReloadNeeded);
    env.WriteOutput("keep.out", {0}, Plain);
    env.display->show();
    QCOMPARE(env.Table()->DataRowCount(), 1);

    // Escape is Close Display.
    QTest::keyClick(env.display.get(), Qt::Key_Escape);
    QVERIFY(!env.display->isVisible());
    QVERIFY(!env.g.ReloadNeeded);
}

void TestDisplay::UnreadableFileKeepsRowsReadBeforeIt() {
    TDisplayEnv env;
    const QString path = env.WriteOutput("bad.out", {0, 1, 2, 3}, Plain);
    // Spoil a number in the third data row.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    lines[4].replace("1.030000000000E+002", "1.03000000000xE+02");
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(lines.join('\n'));
    f.close();

    env.Open(path);
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Error);
    // The reader's message, then where it happened.
    QCOMPARE(env.dialogs.messages[0].text,
             QString(MsgInvalidNumericInput) + "\nFile \"" + path + "\", line 5, field 2: \"1.03000000000xE+02\"");
    QCOMPARE(env.Table()->DataRowCount(), 2);
    QVERIFY(env.display->isVisible());
    QVERIFY(env.Chart()->isVisibleTo(env.display.get()));
    QVERIFY(!env.g.OutputReader.IsOpen());
}

void TestDisplay::CutOffLastRowIsReportedNotShown() {
    TDisplayEnv env;
    const QString path = env.WriteOutput("cut.out", {0, 1, 2}, Plain);
    // The disk filled while the last row was written: 39 fields and part of
    // the 40th, no line end.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray text = f.readAll();
    QVERIFY(f.resize(text.lastIndexOf("\r\n", text.size() - 3) + 2 + 39 * 21 + 18));
    f.close();

    env.Open(path, true);
    QCOMPARE(env.Table()->DataRowCount(), 2);
    QCOMPARE(env.Table()->CellText(0, 4), QString("1"));
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Warning);
    QCOMPARE(env.dialogs.messages[0].text,
             "The last row is cut off: it has 40 of 154 values and no line end.\nFile \"" + path + "\", line 5\n" +
                 MsgCutOffRowLeftOut);
    // Charts draw the whole rows only.
    env.Select({"CO2"});
    env.display->UpdateChart();
    QCOMPARE(env.Points(1).size(), 2);
}

void TestDisplay::MissingFileShowsReadersError() {
    TDisplayEnv env;
    // A device that never ends is refused, not read for ever.
    env.Open("/dev/zero", true);
    QCOMPARE(env.dialogs.MessageTexts(), QStringList{"Cannot read file \"/dev/zero\": it is not a regular file"});
    env.display->close();
    env.dialogs.Clear();
    env.Open(env.Path("nothing-here.out"), true);
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Error);
    QCOMPARE(env.dialogs.messages[0].text,
             "Cannot open file \"" + env.Path("nothing-here.out") + "\": No such file or directory");
    QCOMPARE(env.Table()->DataRowCount(), 0);
    QVERIFY(env.display->SgModelOutput->isVisibleTo(env.display.get()));
    // Nothing to draw is not an error.
    env.dialogs.Clear();
    env.Select({"CO2"});
    env.display->UpdateChart();
    QVERIFY(env.dialogs.messages.isEmpty());
}

void TestDisplay::ModesLayOutTheWindow() {
    TDisplayEnv env;
    const QString path = env.WriteOutput("modes.out", {0}, Plain);
    env.Open(path, true);
    TFmDisplayData* d = env.display.get();
    QVERIFY(d->SgModelOutput->isVisibleTo(d));
    QVERIFY(!d->ChOutput->isVisibleTo(d));
    QVERIFY(!d->MIChart->menuAction()->isVisible());
    QVERIFY(!d->MIChart->menuAction()->isEnabled());
    QCOMPARE(d->PnBottom->height(), 40);
    QVERIFY(!d->LbxSeries->isVisibleTo(d));
    QVERIFY(!d->LbxSeries->isEnabled());
    QVERIFY(!d->RgValueType->isVisibleTo(d));
    QVERIFY(!d->BtnUpdateChart->isEnabled());
    QCOMPARE(d->BtnCloseDisplay->y(), 5);

    d->close();
    env.g.TableMode = false;
    d->show();
    QVERIFY(!d->SgModelOutput->isVisibleTo(d));
    QVERIFY(d->ChOutput->isVisibleTo(d));
    QVERIFY(d->MIChart->menuAction()->isVisible());
    QCOMPARE(d->PnBottom->height(), 210);
    QVERIFY(d->LbxSeries->isVisibleTo(d));
    QVERIFY(d->LbDirections->isVisibleTo(d));
    QCOMPARE(d->LbDirections->text(), QString(" Select a maximum of 10 series to plot."));
    QVERIFY(d->BtnUpdateChart->isEnabled());
    QCOMPARE(d->BtnCloseDisplay->y(), 164);

    // Opening does not redraw: the chart waits for Update.
    env.Select({"CO2"});
    d->close();
    d->show();
    QVERIFY(!env.Chart()->SeriesActive(1));
    QTest::mouseClick(d->BtnUpdateChart, Qt::LeftButton);
    QVERIFY(env.Chart()->SeriesActive(1));
}

void TestDisplay::NewFileReloadsAndRedraws() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("first.out", {0, 1}, Plain));
    env.Select({"CO2"});
    env.main->chosenFiles << env.WriteOutput("second.out", {0, 1, 2, 3, 4}, Plain);
    env.display->MINewFile->trigger();
    QCOMPARE(env.main->fromFileCalls, 1);
    QCOMPARE(env.Table()->DataRowCount(), 5);
    QCOMPARE(env.display->windowTitle(), "Model Output - File: " + env.Path("second.out"));
    QCOMPARE(env.Points(1).size(), 5);
}

void TestDisplay::ListColumnsFollowWidth() {
    // a = width / 150: whole when a / floor(a) is within the threshold,
    // otherwise rounded (halves to even); never below one column.
    QCOMPARE(ListColumnCount(300, 1.2), 2);
    QCOMPARE(ListColumnCount(340, 1.2), 2);
    QCOMPARE(ListColumnCount(400, 1.2), 3);
    QCOMPARE(ListColumnCount(375, 1.2), 2);
    QCOMPARE(ListColumnCount(525, 1.1), 4);   // 3.5 rounds to even
    QCOMPARE(ListColumnCount(525, 1.2), 3);
    QCOMPARE(ListColumnCount(340, 1.1), 2);
    QCOMPARE(ListColumnCount(170, 1.1), 1);
    QCOMPARE(ListColumnCount(100, 1.2), 1);
    QCOMPARE(ListColumnCount(0, 1.2), 1);

    TDisplayEnv env;
    // The list gets the window's width less the right-hand panel.
    const int right = env.display->PnBottomRight->width();
    QVERIFY(right >= 170);
    // Wider than the test screen: an opening would fit it to the screen.
    env.display->show();
    env.display->resize(right + 1200, 600);
    QTRY_COMPARE(ListColumns(env.display->LbxSeries), 8);
    env.display->resize(right + 1050, 600);
    QTRY_COMPARE(ListColumns(env.display->LbxSeries), 7);
}

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
