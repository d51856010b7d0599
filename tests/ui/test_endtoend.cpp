// The workbench from end to end: the real windows, created as the program
// creates them, driven through their fields, menus and buttons on copies of
// the example sites that ship with the program. Only message boxes and file
// dialogs are scripted; our own modal windows are answered once they are up.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "run/run.h"
#include "ui/calculate_form.h"
#include "ui/data_grid.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_table.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/newcontrols.h"
#include "ui/params.h"
#include "ui/reloaddlg.h"
#include "ui/support_dialogs.h"
#include "ui/support_modal.h"
#include "ui/trouble.h"

using namespace orvane;

namespace {

const QString Foliage = "Foliage Carbon";
const QString Photosynthesis = "Photosynthesis";

// An output file as it lies on disk: the names of header line 1 (cut to the
// 20 characters a column holds), the raw lines, and the numbers of each row.
struct TOutputFile {
    bool crlf = true;
    QStringList names;
    QStringList lines;
    QList<QList<double>> rows;

    int Column(const QString& name) const { return names.indexOf(name); }
    double At(int row, const QString& name) const { return rows[row][Column(name)]; }
};

TOutputFile ReadOutputFile(const QString& path) {
    TOutputFile out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return out;
    const QString text = QString::fromLatin1(f.readAll());
    out.lines = text.split("\r\n");
    if (!out.lines.isEmpty() && out.lines.last().isEmpty()) out.lines.removeLast();
    for (const QString& line : out.lines)
        if (line.contains('\n') || line.contains('\r')) out.crlf = false;
    if (out.lines.size() < 2) return out;
    const QString& header = out.lines[0];
    for (int at = 0; at < header.size(); at += 21) out.names << header.mid(at, 20).trimmed();
    for (int i = 2; i < out.lines.size(); ++i) {
        QList<double> row;
        for (const QString& field : out.lines[i].split(' ', Qt::SkipEmptyParts))
            row << field.toDouble();
        out.rows << row;
    }
    return out;
}

// What the output display showed while it was open.
struct TShownOutput {
    bool opened = false;
    bool tableShown = false;
    bool chartShown = false;
    QString title;
    int seriesListed = 0;
    // The numbers of the data rows as the table shows them, by column name.
    QMap<QString, QList<double>> columns;
    int rows = 0;

    double Last(const QString& name) const {
        const QList<double> c = columns.value(name);
        return c.isEmpty() ? std::nan("") : c.last();
    }
    double First(const QString& name) const {
        const QList<double> c = columns.value(name);
        return c.isEmpty() ? std::nan("") : c.first();
    }
};

TShownOutput ReadDisplay(const TFmDisplayData& d) {
    TShownOutput s;
    s.opened = true;
    s.tableShown = d.SgModelOutput->isVisible();
    s.chartShown = d.ChOutput->isVisible();
    s.title = d.windowTitle();
    s.seriesListed = d.LbxSeries->count();
    const QAbstractItemModel* m = d.SgModelOutput->model();
    // The first model row holds the units; the data rows follow.
    s.rows = m->rowCount() - 1;
    for (int c = 0; c < m->columnCount(); ++c) {
        const QString name =
            m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().section('\n', 1);
        QList<double>& values = s.columns[name];
        for (int r = 1; r < m->rowCount(); ++r)
            values << m->data(m->index(r, c), Qt::DisplayRole).toString().toDouble();
    }
    return s;
}

// Two numbers agree to the 4 significant digits the table shows.
bool SameTo4Digits(double shown, double exact) {
    return std::fabs(shown - exact) <= 5e-4 * std::fabs(exact);
}

}  // namespace

// Runs a checking helper; a failure in it ends the test there.
#define STEP(call)                                  \
    do {                                            \
        call;                                       \
        if (QTest::currentTestFailed()) return;     \
    } while (false)

class TestEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TGlobals* g = nullptr;
    TScriptedDialogs* dlg = nullptr;
    TForms forms;
    TMainForm* w = nullptr;

    // A modal window that no step answers would hang the test: close it
    // after a while and fail the test instead.
    TModalWatch* modalWatch = nullptr;

    // Runs `open`, which shows `window` modally, and `act` on the window
    // once it is up; `act` must close it. True when `act` ran. Polling stops
    // when `open` returns, so a window that never opened leaves nothing
    // behind that could act later.
    bool OnModal(QWidget* window, const std::function<void()>& open, std::function<void()> act) {
        auto pending = std::make_shared<bool>(true);
        auto ran = std::make_shared<bool>(false);
        Poll(window, pending, ran, std::move(act));
        open();
        *pending = false;
        return *ran;
    }
    void Poll(QWidget* window, std::shared_ptr<bool> pending, std::shared_ptr<bool> ran,
              std::function<void()> act) {
        QTimer::singleShot(10, this, [=, this] {
            if (!*pending) return;
            if (QApplication::activeModalWidget() != window) {
                Poll(window, pending, ran, act);
                return;
            }
            *pending = false;
            *ran = true;
            act();
        });
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // The example site copied into the scratch directory, so that nothing
    // here can change the shipped files.
    QString CopyExample(const QString& name) {
        const QString to = Path(name);
        QFile::remove(to);
        if (!QFile::copy(QString(ORVANE_SOURCE_DIR) + "/examples/" + name, to)) return {};
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        return to;
    }

    // Types into a field and leaves it, as a user does.
    void TypeAndLeave(QLineEdit* field, const QString& text) {
        if (!w->isActiveWindow()) {
            QApplication::setActiveWindow(w);
            QVERIFY(QTest::qWaitForWindowActive(w));
        }
        field->setFocus(Qt::TabFocusReason);
        QVERIFY(field->hasFocus());
        field->selectAll();
        QTest::keyClicks(field, text);
        w->BtnReload->setFocus(Qt::TabFocusReason);
    }

    // The temperate site's files, typed into the main window, and a stop time.
    void ChooseTemperateSite(const QString& outputName, const QString& stopTime) {
        const QString par = CopyExample("temperate.par");
        const QString drr = CopyExample("temperate.drr");
        QVERIFY(!par.isEmpty() && !drr.isEmpty());
        TypeAndLeave(w->ParamBox, par);
        TypeAndLeave(w->DriverBox, drr);
        TypeAndLeave(w->OutputBox, Path(outputName));
        TypeAndLeave(w->MEStopTime, stopTime);
        QCOMPARE(QString::fromStdString(g->ParamFileName), par);
        QCOMPARE(QString::fromStdString(g->DriverFileName), drr);
        QCOMPARE(QString::fromStdString(g->OutputFileName), Path(outputName));
        QCOMPARE(g->StopTime, stopTime.toDouble());
        QVERIFY(w->BtnRun->isEnabled());
    }

    // Presses Run and checks that the run went through without a word.
    void Run(double until) {
        QVERIFY(w->BtnRun->isEnabled());
        QTest::mouseClick(w->BtnRun, Qt::LeftButton);
        QCOMPARE(dlg->MessageTexts(), QStringList());
        QVERIFY(!forms.FmTrouble->isVisible());
        QVERIFY(w->isEnabled());
        QCOMPARE(g->CurrentTime, until);
        QCOMPARE(w->PresentBox->text(), QString::number(until));
        QVERIFY(w->MITable->isEnabled());
        QVERIFY(w->MIChart->isEnabled());
    }

    // Opens the output display from the Output menu, reads what it shows and
    // closes it with Close Display. `whileOpen` may act on it first.
    TShownOutput OpenDisplay(QAction* item, std::function<void(TFmDisplayData&)> whileOpen = {}) {
        TShownOutput shown;
        if (!item->isEnabled()) return shown;
        TFmDisplayData& d = *forms.FmDisplayData;
        OnModal(&d, [item] { item->trigger(); }, [&] {
            if (whileOpen) whileOpen(d);
            shown = ReadDisplay(d);
            QTest::mouseClick(d.BtnCloseDisplay, Qt::LeftButton);
        });
        return shown;
    }

    // The Reload button with only State Variables checked, and OK.
    void ReloadStatesOnly() {
        TDlgReload& reload = *forms.DlgReload;
        const bool opened = OnModal(
            &reload, [this] { QTest::mouseClick(w->BtnReload, Qt::LeftButton); },
            [&reload] {
                // The space bar toggles a check box wherever its caption ends.
                if (reload.CbParams->isChecked()) QTest::keyClick(reload.CbParams, Qt::Key_Space);
                if (!reload.CbState->isChecked()) QTest::keyClick(reload.CbState, Qt::Key_Space);
                QTest::mouseClick(reload.OKBtn, Qt::LeftButton);
            });
        QVERIFY(opened);
        QCOMPARE(reload.result(), int(QDialog::Accepted));
        QVERIFY(!reload.CbParams->isChecked());
    }

    void Start() {
        Stop();
        g = new TGlobals;
        dlg = new TScriptedDialogs;
        forms = CreateForms(*g, *dlg, "orvane");
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

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        modalWatch = new TModalWatch(25);
        modalWatch->setParent(this);
    }
    void init() { Start(); }
    void cleanup() {
        Stop();
        QVERIFY2(!modalWatch->StrayModal(), "a modal window was left open");
        modalWatch->Reset();
    }

    // Run the temperate site for 10 years and look at the table; raise the
    // photosynthesis scaling in the parameter editor, reload the initial
    // states only, run again, and find the change in the table and the file.
    void editedParameterChangesTheNextRun() {
        STEP(ChooseTemperateSite("first.out", "10"));
        const statearray initial = g->States;
        const double scFromFile = g->Params[pa::Sc].value;
        QVERIFY(scFromFile > 0);

        STEP(Run(10));
        const TShownOutput first = OpenDisplay(w->MITable);
        QVERIFY(first.opened);
        QVERIFY(first.tableShown);
        QVERIFY(!first.chartShown);
        QCOMPARE(first.title, "Model Output - File: " + Path("first.out"));
        QCOMPARE(first.rows, 11);
        QCOMPARE(first.columns.size(), 154);
        QCOMPARE(first.First("Time"), 0.0);
        QCOMPARE(first.Last("Time"), 10.0);
        QVERIFY(SameTo4Digits(first.First(Foliage), initial[st::Cf].value));
        QVERIFY(SameTo4Digits(first.Last(Foliage), g->States[st::Cf].value));
        QVERIFY(first.Last(Photosynthesis) > 0);
        QVERIFY(!g->ReloadNeeded);  // Close Display keeps the table for next time

        // The file on disk: two header lines and a row per year, 154 columns
        // each, agreeing with what the table showed.
        const TOutputFile firstFile = ReadOutputFile(Path("first.out"));
        QVERIFY(firstFile.crlf);
        QCOMPARE(firstFile.lines.size(), 13);
        QCOMPARE(firstFile.names.size(), 154);
        QCOMPARE(firstFile.names[0], QString("Time"));
        QVERIFY(firstFile.Column(Foliage) > 0);
        QVERIFY(firstFile.Column(Photosynthesis) > 0);
        for (int r = 0; r < 11; ++r) {
            QCOMPARE(firstFile.rows[r].size(), 154);
            QCOMPARE(firstFile.rows[r][0], double(r));
        }
        QVERIFY(SameTo4Digits(first.Last(Foliage), firstFile.At(10, Foliage)));
        QVERIFY(SameTo4Digits(first.Last(Photosynthesis), firstFile.At(10, Photosynthesis)));
        QCOMPARE(firstFile.At(10, Foliage), g->States[st::Cf].value);

        // Edit > Parameters: the GPP scaling on the photosynthesis page, 20 % up.
        const QString raisedSc = QString::number(scFromFile * 1.2, 'g', 15);
        TFmParameter& editor = *forms.FmParameter;
        QString shownSc;
        bool typed = false;
        const bool edited = OnModal(&editor, [this] { w->MIEditParam->trigger(); }, [&] {
            TMyPageControl& pages = *editor.PageControl;
            int page = -1;
            for (int k = 0; k < pages.PageCount() && page < 0; ++k)
                if (editor.Page(k)->LblSymbol->text() == "Ps") page = k;
            if (page >= 0) {
                const QPoint tab = pages.TabRect(page).center();
                if (QWidget* strip = pages.childAt(tab))
                    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->mapFrom(&pages, tab));
                TDataGrid& grid = *editor.Page(page)->Grid;
                int row = -1;
                for (int r = 1; r < grid.Model().GridRows() && row < 0; ++r)
                    if (grid.Model().Cell(0, r) == "Sc") row = r;
                if (pages.ActivePageIndex() == page && row > 0) {
                    shownSc = grid.Model().Cell(2, row);
                    grid.SetCursor(2, row);
                    const QModelIndex index = grid.Model().index(row - 1, 2);
                    if (!grid.indexWidget(index)) grid.edit(index);
                    if (auto* field = qobject_cast<QLineEdit*>(grid.indexWidget(index))) {
                        field->selectAll();
                        QTest::keyClicks(field, raisedSc);
                        typed = true;
                    }
                }
            }
            QTest::mouseClick(editor.BtnOK, Qt::LeftButton);
        });
        QVERIFY(edited);
        QVERIFY(typed);
        QCOMPARE(shownSc.toDouble(), scFromFile);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QVERIFY(!editor.isVisible());
        QCOMPARE(g->Params[pa::Sc].value, raisedSc.toDouble());
        QVERIFY(g->ParamsChanged);
        QVERIFY(!w->MITable->isEnabled());  // the output no longer matches the parameters
        QCOMPARE(w->PresentBox->text(), QString("0"));
        QCOMPARE(dlg->MessageTexts(), QStringList());

        // Re-load with State Variables only: the initial states come back,
        // the edited parameter stays.
        STEP(ReloadStatesOnly());
        for (int i = 1; i <= g->ModelDef.numstate; ++i) QCOMPARE(g->States[i].value, initial[i].value);
        QCOMPARE(g->Params[pa::Sc].value, raisedSc.toDouble());
        QVERIFY(g->ParamsChanged);  // the edited parameter is still unsaved

        // The second run writes over the same output file without asking.
        STEP(Run(10));
        const TShownOutput second = OpenDisplay(w->MITable);
        QVERIFY(second.opened);
        QCOMPARE(second.rows, 11);
        // Same start, 20 % more photosynthesis from the first row on, and
        // more foliage at the end.
        for (int i = 1; i <= g->ModelDef.numstate; ++i) {
            const QString name = QString::fromUtf8(g->States[i].name.data(),
                                                   qsizetype(g->States[i].name.size()));
            QCOMPARE(second.First(name), first.First(name));
        }
        QVERIFY(std::fabs(second.First(Photosynthesis) / first.First(Photosynthesis) - 1.2) < 1e-3);
        QVERIFY(second.Last(Photosynthesis) > first.Last(Photosynthesis) * 1.1);
        QVERIFY(second.Last(Foliage) > first.Last(Foliage) * 1.001);

        const TOutputFile secondFile = ReadOutputFile(Path("first.out"));
        QCOMPARE(secondFile.rows.size(), 11);
        QVERIFY(secondFile.rows[0].mid(1 + 8, 19) == firstFile.rows[0].mid(1 + 8, 19));
        QVERIFY(secondFile.At(10, Foliage) > firstFile.At(10, Foliage));
        QCOMPARE(secondFile.At(10, Foliage), g->States[st::Cf].value);
        QCOMPARE(dlg->MessageTexts(), QStringList());

        // This run moved the states; reloading them once more and running
        // again repeats it to the last digit.
        QVERIFY(g->States[st::Cf].value > initial[st::Cf].value * 1.001);
        STEP(ReloadStatesOnly());
        for (int i = 1; i <= g->ModelDef.numstate; ++i) QCOMPARE(g->States[i].value, initial[i].value);
        STEP(Run(10));
        QCOMPARE(ReadOutputFile(Path("first.out")).lines, secondFile.lines);

        // The example files themselves were never touched.
        QFile shipped(QString(ORVANE_SOURCE_DIR) + "/examples/temperate.par");
        QFile copy(Path("temperate.par"));
        QVERIFY(shipped.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), shipped.readAll());
    }

    // Output > From File on a file that the command-line runner's routines
    // wrote: the chart opens on it with every variable listed, and the chosen
    // series are drawn from the file's values.
    void fromFileChartsAnOutputFileOfTheRunner() {
        const QString out = Path("runner.out");
        {
            TGlobals r;
            InitialiseGlobals(r);
            double residual = 0;
            const std::string par = CopyExample("boreal.par").toStdString();
            QVERIFY(ReadParamFile(r, par, r.ModelDef.numparam, r.Params, r.ModelDef.numstate,
                                  r.States, residual));
            r.DriverFileName = CopyExample("boreal.drr").toStdString();
            r.OutputFileName = out.toStdString();
            r.StopTime = 6;
            r.OutputStep = 2;
            const TRunResult result = RunSimulation(r, nullptr);
            QVERIFY2(result.ok, result.message.c_str());
            QCOMPARE(result.rowsWritten, 4);
        }
        const TOutputFile file = ReadOutputFile(out);
        QCOMPARE(file.rows.size(), 4);

        QVERIFY(!w->MIChart->isEnabled());
        dlg->fileAnswers = {out};
        w->MIViewOutFile->trigger();
        QCOMPARE(dlg->fileDialogs.size(), 1);
        QCOMPARE(dlg->fileDialogs[0].dlgSpec.title, QString("Open Output File"));
        QVERIFY(w->MIChart->isEnabled());
        QVERIFY(w->MITable->isEnabled());

        int points[3] = {-1, -1, -1};
        QVector<double> foliageY, timeX;
        QString legend[3];
        QStringList clicked;
        const TShownOutput shown = OpenDisplay(w->MIChart, [&](TFmDisplayData& d) {
            // Two series picked by clicking them in the list.
            for (const QString& name : {Foliage, Photosynthesis}) {
                const auto items = d.LbxSeries->findItems(name, Qt::MatchExactly);
                if (items.isEmpty()) continue;
                d.LbxSeries->scrollToItem(items.first());
                QTest::mouseClick(d.LbxSeries->viewport(), Qt::LeftButton, {},
                                  d.LbxSeries->visualItemRect(items.first()).center());
                if (items.first()->isSelected()) clicked << name;
            }
            QTest::mouseClick(d.BtnUpdateChart, Qt::LeftButton);
            for (int k = 1; k <= 3; ++k) {
                points[k - 1] = d.ChOutput->SeriesActive(k) ? d.ChOutput->PointCount(k) : -1;
                legend[k - 1] = d.ChOutput->SeriesTitle(k);
            }
            for (auto it = d.ChOutput->Series(1)->data()->constBegin();
                 it != d.ChOutput->Series(1)->data()->constEnd(); ++it) {
                timeX << it->key;
                foliageY << it->value;
            }
        });
        QVERIFY(shown.opened);
        QVERIFY(shown.chartShown);
        QVERIFY(!shown.tableShown);
        QCOMPARE(shown.title, "Model Output - File: " + out);
        QCOMPARE(shown.seriesListed, 154);
        QCOMPARE(shown.rows, 4);
        QCOMPARE(clicked, QStringList({Foliage, Photosynthesis}));

        // The list is alphabetical, so Foliage Carbon is series 1.
        QCOMPARE(points[0], 4);
        QCOMPARE(points[1], 4);
        QCOMPARE(points[2], -1);
        QCOMPARE(legend[0], Foliage);
        QCOMPARE(legend[1], Photosynthesis);
        QVERIFY(timeX == QVector<double>({0, 2, 4, 6}));
        for (int r = 0; r < 4; ++r)
            QVERIFY(SameTo4Digits(foliageY[r], file.At(r, Foliage)));
        QCOMPARE(dlg->MessageTexts(), QStringList());
        // Looking at a file changes nothing of the model in memory.
        QVERIFY(g->ParamFileName.empty());
    }

    // Calculate > Steady State on the example site: the window shows green
    // (the example sites are steady states), OK commits, and a century's run
    // from there keeps every state where it started.
    void steadyStateOfExampleSiteHoldsForACentury() {
        STEP(ChooseTemperateSite("century.out", "100"));
        QVERIFY(w->MICalculate->menuAction()->isEnabled());
        const statearray fromFile = g->States;
        const paramarray paramsFromFile = g->Params;

        TFmCalculate& calc = *forms.FmCalculate;
        bool green = false;
        dlg->messageAnswers = {TMsgButton::Yes};  // "Calculate steady state now?"
        const bool opened = OnModal(&calc, [this] { w->MICalcSS->trigger(); }, [&] {
            green = calc.StatusGreen();
            QTest::mouseClick(calc.BtnOK, Qt::LeftButton);
        });
        QVERIFY(opened);
        QCOMPARE(dlg->MessageTexts(), QStringList({"Calculate steady state now?"}));
        QVERIFY(green);
        QCOMPARE(calc.result(), int(QDialog::Accepted));
        QVERIFY(!calc.isVisible());

        // The site was derived as a steady state, so the solver hands its own
        // values back.
        for (int i = 1; i <= g->ModelDef.numstate; ++i)
            QVERIFY2(std::fabs(g->States[i].value - fromFile[i].value) <=
                         1e-9 * std::fabs(fromFile[i].value),
                     qPrintable(QString("state %1").arg(i)));
        for (int i = 1; i <= g->ModelDef.numparam; ++i)
            QVERIFY2(std::fabs(g->Params[i].value - paramsFromFile[i].value) <=
                         1e-9 * std::fabs(paramsFromFile[i].value),
                     qPrintable(QString("parameter %1").arg(i)));

        const statearray start = g->States;
        dlg->Clear();
        STEP(Run(100));
        for (int i = 1; i <= g->ModelDef.numstate; ++i) {
            const double drift = std::fabs(g->States[i].value - start[i].value) /
                                 std::fabs(start[i].value);
            QVERIFY2(drift < 1e-6, qPrintable(QString("state %1 drifted by %2").arg(i).arg(drift)));
        }
        const TOutputFile file = ReadOutputFile(Path("century.out"));
        QCOMPARE(file.rows.size(), 101);
        QCOMPARE(file.rows.last()[0], 100.0);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
