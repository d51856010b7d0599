// The output display's dialogs (series chooser, axis dialog) and its ways
// out: printing, saving the chart as a picture, exporting the table.
#include <QPrinter>
#include <QPrinterInfo>
#include <QtTest>

#include "test_display_env.h"
#include "ui/mainform.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

double Plain(int r, int c) { return 100.0 * c + r + 1; }

// Runs `interact` once the modal dialog opened by `open` is showing.
template <class Open, class Interact>
void WithModal(QDialog* dialog, Open open, Interact interact) {
    bool ran = false;
    QTimer::singleShot(0, dialog, [&] {
        [&] {
            QTRY_VERIFY(dialog->isVisible());
            interact();
            ran = true;
        }();
        // A check that failed inside must not leave the modal loop waiting.
        if (dialog->isVisible()) dialog->reject();
    });
    open();
    QVERIFY(ran);
    QVERIFY(!dialog->isVisible());
}

void ClickItem(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!items.isEmpty());
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestDisplayDialogs : public QObject {
    Q_OBJECT
private slots:
    void IndependentAxisChangesAtNextUpdate();
    void DependentAxisChooserMirrorsTheList();
    void AxisDialogSetsFixedLimitsUntilUpdate();
    void AxisDialogAccessKeyTakesTheLimitBeingTyped();
    void AxisTypeAppliesEvenWhenCancelled();
    void AxisDialogRejectsTextThatIsNotANumber();
    void PrintAsksAndReportsMissingPrinter();
    void SaveImageWritesPngAndPdf();
    void ExportTableWritesCsv();
    void MainWindowOpensTheDisplay();
};

void TestDisplayDialogs::IndependentAxisChangesAtNextUpdate() {
    TDisplayEnv env;
    // Foliage Carbon (column 9) falls while time rises.
    env.Open(env.WriteOutput("x.out", {0, 1, 2}, [](int r, int c) { return c == 9 ? 30.0 - 10 * r : Plain(r, c); }));
    env.Select({"CO2"});
    TFmSeries* s = env.series.get();
    WithModal(s, [&] { env.display->MIDefineX->trigger(); }, [&] {
        QCOMPARE(s->windowTitle(), QString("Independent Axis - Choose one series."));
        QCOMPARE(s->LbxChooseSeries->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(s->LbxChooseSeries->count(), 154);
        QCOMPARE(s->LbxChooseSeries->selectedItems().size(), 1);
        QCOMPARE(s->LbxChooseSeries->selectedItems().first()->text(), QString("Time"));
        ClickItem(s->LbxChooseSeries, "Foliage Carbon");
        QCOMPARE(s->LbxChooseSeries->selectedItems().size(), 1);
        QTest::mouseClick(s->OKBtn, Qt::LeftButton);
    });
    QCOMPARE(env.display->XSeries, QString("Foliage Carbon"));
    // Define drew the chart first, against the old axis; the new one waits.
    QCOMPARE(env.Chart()->AxisTitle(true), QString("Time"));
    QCOMPARE(env.Points(1).first().x(), 0.0);
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->AxisTitle(true), QString("Foliage Carbon"));
    // Points are kept in ascending order of x.
    QCOMPARE(env.Points(1), (QVector<QPointF>{{10, 103}, {20, 102}, {30, 101}}));

    // Cancel keeps the variable.
    WithModal(s, [&] { env.display->MIDefineX->trigger(); }, [&] {
        ClickItem(s->LbxChooseSeries, "CO2");
        QTest::mouseClick(s->CancelBtn, Qt::LeftButton);
    });
    QCOMPARE(env.display->XSeries, QString("Foliage Carbon"));
}

void TestDisplayDialogs::DependentAxisChooserMirrorsTheList() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("y.out", {0, 1}, Plain));
    env.Select({"CO2", "Wood Carbon"});
    TFmSeries* s = env.series.get();
    WithModal(s, [&] { env.display->MIDefineY->trigger(); }, [&] {
        QCOMPARE(s->windowTitle(), QString("Dependent Axis - Choose series."));
        QCOMPARE(s->LbxChooseSeries->selectionMode(), QAbstractItemView::MultiSelection);
        for (int i = 0; i < s->LbxChooseSeries->count(); ++i)
            QCOMPARE(s->LbxChooseSeries->item(i)->isSelected(), env.display->LbxSeries->item(i)->isSelected());
        ClickItem(s->LbxChooseSeries, "Wood Carbon");  // toggles off
        ClickItem(s->LbxChooseSeries, "Root Carbon");
        QTest::mouseClick(s->OKBtn, Qt::LeftButton);
    });
    // OK hands the choice to the display's list; the chart follows at the next update.
    QStringList selected;
    for (QListWidgetItem* item : env.display->LbxSeries->selectedItems()) selected << item->text();
    selected.sort();
    QCOMPARE(selected, QStringList({"CO2", "Root Carbon"}));
    env.display->UpdateChart();
    QCOMPARE(env.Chart()->SeriesTitle(2), QString("Root Carbon"));

    WithModal(s, [&] { env.display->MIDefineY->trigger(); }, [&] {
        QTest::mouseClick(s->BtnClearSelection, Qt::LeftButton);
        QVERIFY(s->LbxChooseSeries->selectedItems().isEmpty());
        QTest::mouseClick(s->CancelBtn, Qt::LeftButton);
    });
    QCOMPARE(env.display->LbxSeries->selectedItems().size(), 2);
}

void TestDisplayDialogs::AxisDialogSetsFixedLimitsUntilUpdate() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("scale.out", {0, 1, 2, 3, 4}, Plain));
    env.Select({"CO2"});
    TDlgScale* d = env.scale.get();
    WithModal(d, [&] { env.display->MIScaleY->trigger(); }, [&] {
        QCOMPARE(d->windowTitle(), QString("Dependent Axis"));
        QVERIFY(d->RbLinear->isChecked());
        QVERIFY(!d->CBAuto->isChecked());
        QVERIFY(!d->EdIncrem->isVisible());
        QCOMPARE(d->EdMinValue->text(), QString("0"));
        QCOMPARE(d->EdMaxValue->text(), QString("105"));
        Type(d->EdMinValue, "-50");
        Type(d->EdMaxValue, "250");
        QTest::mouseClick(d->OKBtn, Qt::LeftButton);
    });
    QCOMPARE(env.Chart()->AxisMinimum(false), -50.0);
    QCOMPARE(env.Chart()->AxisMaximum(false), 250.0);

    // The hidden increment hands back "let the axis choose", so narrower
    // limits still get a label every few units, not one label in all.
    WithModal(d, [&] { env.display->MIScaleY->trigger(); }, [&] {
        QCOMPARE(d->EdIncrem->text(), QString("0"));
        Type(d->EdMinValue, "100");
        Type(d->EdMaxValue, "106");
        QTest::mouseClick(d->OKBtn, Qt::LeftButton);
    });
    QCOMPARE(env.Chart()->AxisMinimum(false), 100.0);
    QVERIFY(env.Chart()->yAxis->tickVector().size() >= 3);

    // The horizontal axis starts automatic; typing a limit switches that off.
    WithModal(d, [&] { env.display->MIScaleX->trigger(); }, [&] {
        QCOMPARE(d->windowTitle(), QString("Independent Axis"));
        QVERIFY(d->CBAuto->isChecked());
        QCOMPARE(d->EdMinValue->text(), QString("0"));
        QCOMPARE(d->EdMaxValue->text(), QString("4"));
        Type(d->EdMaxValue, "10");
        QTest::mouseClick(d->OKBtn, Qt::LeftButton);
        QVERIFY(!d->CBAuto->isChecked());
    });
    QVERIFY(!env.Chart()->AxisAutomatic(true));
    QCOMPARE(env.Chart()->AxisMaximum(true), 10.0);
    // The Scale command updates the chart first, so the vertical limits are
    // automatic again; Update returns the horizontal axis too.
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.0);
    env.display->BtnUpdateChart->click();
    QVERIFY(env.Chart()->AxisAutomatic(true));
    QCOMPARE(env.Chart()->AxisMaximum(true), 4.0);
}

void TestDisplayDialogs::AxisDialogAccessKeyTakesTheLimitBeingTyped() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("keys.out", {0, 1, 2, 3, 4}, Plain));
    env.Select({"CO2"});
    TDlgScale* d = env.scale.get();
    WithModal(d, [&] { env.display->MIScaleX->trigger(); }, [&] {
        QVERIFY(d->CBAuto->isChecked());
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        Type(d->EdMaxValue, "10");
        QTest::keyClick(d->EdMaxValue, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(!d->isVisible());
    });
    QVERIFY(!env.Chart()->AxisAutomatic(true));
    QCOMPARE(env.Chart()->AxisMaximum(true), 10.0);
}

void TestDisplayDialogs::AxisTypeAppliesEvenWhenCancelled() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("type.out", {0, 1, 2}, Plain));
    env.Select({"CO2"});
    TDlgScale* d = env.scale.get();
    WithModal(d, [&] { env.display->MIScaleY->trigger(); }, [&] {
        QTest::mouseClick(d->RbLogarithmic, Qt::LeftButton);
        QVERIFY(d->RbLogarithmic->isChecked());
        QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
    });
    QVERIFY(env.Chart()->AxisLogarithmic(false));
    QVERIFY(!env.Chart()->AxisLogarithmic(true));
    QVERIFY(env.Chart()->AxisMinimum(false) > 0);

    // The dialog shows the type; closing it from inside the group counts as leaving it.
    WithModal(d, [&] { env.display->MIScaleY->trigger(); }, [&] {
        QVERIFY(d->RbLogarithmic->isChecked());
        QTest::mouseClick(d->RbLinear, Qt::LeftButton);
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!env.Chart()->AxisLogarithmic(false));
}

void TestDisplayDialogs::AxisDialogRejectsTextThatIsNotANumber() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("nan.out", {0, 1}, Plain));
    env.Select({"CO2"});
    TDlgScale* d = env.scale.get();
    WithModal(d, [&] { env.display->MIScaleY->trigger(); }, [&] {
        Type(d->EdMinValue, "abc");
        QTest::mouseClick(d->OKBtn, Qt::LeftButton);
    });
    QCOMPARE(env.dialogs.MessageTexts(), QStringList{"'abc' is not a valid floating point value"});
    QCOMPARE(env.Chart()->AxisMinimum(false), 0.0);
    QCOMPARE(env.Chart()->AxisMaximum(false), 102.0);
}

void TestDisplayDialogs::PrintAsksAndReportsMissingPrinter() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("print.out", {0, 1}, Plain));
    env.Select({"CO2"});
    env.display->UpdateChart();

    env.dialogs.messageAnswers << TMsgButton::Cancel;
    env.display->MIPrintChart->trigger();
    QCOMPARE(env.dialogs.MessageTexts(), QStringList{MsgPrintChart});
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Information);
    QCOMPARE(env.dialogs.messages[0].buttons, static_cast<int>(TMsgButton::OK) | static_cast<int>(TMsgButton::Cancel));

    if (QPrinterInfo::defaultPrinter().isNull()) {
        env.dialogs.Clear();
        env.display->MIPrintChart->trigger();
        QCOMPARE(env.dialogs.MessageTexts(), QStringList({MsgPrintChart, MsgNoPrinter}));
        QCOMPARE(env.dialogs.messages[1].kind, TMsgKind::Error);
    }

    // What a printer receives: the chart on one page.
    QPrinter pdf(QPrinter::ScreenResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(env.Path("printed.pdf"));
    QVERIFY(env.Chart()->PrintOn(pdf));
    QVERIFY(ReadAll(env.Path("printed.pdf")).startsWith("%PDF"));
}

void TestDisplayDialogs::SaveImageWritesPngAndPdf() {
    TDisplayEnv env;
    env.Open(env.WriteOutput("image.out", {0, 1, 2}, Plain));
    env.Select({"CO2", "Foliage Carbon"});
    env.display->UpdateChart();

    env.dialogs.fileAnswers << env.Path("chart") << env.Path("chart.pdf");
    env.display->MISaveImage->trigger();
    env.display->MISaveImage->trigger();
    QCOMPARE(env.dialogs.fileDialogs.size(), 2);
    QVERIFY(env.dialogs.fileDialogs[0].save);
    QVERIFY(ReadAll(env.Path("chart.png")).startsWith("\x89PNG"));
    QVERIFY(ReadAll(env.Path("chart.pdf")).startsWith("%PDF"));
    QVERIFY(env.dialogs.messages.isEmpty());

    QVERIFY(!env.display->SaveChartImage(env.Path("no/such/dir/chart.png")));
    QCOMPARE(env.dialogs.messages.size(), 1);
    QCOMPARE(env.dialogs.messages[0].kind, TMsgKind::Error);
}

void TestDisplayDialogs::ExportTableWritesCsv() {
    TDisplayEnv env;
    env.g.StartTime = 1;
    env.Open(env.WriteOutput("export.out", {0, 1, 2}, [](int r, int c) { return c == 9 ? 1234567.0 : Plain(r, c); }), true);
    env.dialogs.fileAnswers << env.Path("table");
    env.display->MIExportTable->trigger();
    const QByteArray csv = ReadAll(env.Path("table.csv"));
    QVERIFY(csv.endsWith("\r\n"));
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);  // names, units, and the two rows from StartTime on
    const QList<QByteArray> names = lines[0].trimmed().split(',');
    QCOMPARE(names.size(), 154);
    QCOMPARE(names[0], QByteArray("Time"));
    QCOMPARE(names[1], QByteArray("CO2"));
    QCOMPARE(names[9], QByteArray("Foliage Carbon"));
    const QList<QByteArray> units = lines[1].trimmed().split(',');
    QCOMPARE(units[0], QByteArray("year"));
    QCOMPARE(units[1], QByteArray("ppmv"));
    const QList<QByteArray> row = lines[2].trimmed().split(',');
    QCOMPARE(row.size(), 154);
    // Every digit, as the output file holds it, not the table's 4.
    QCOMPARE(row[0], QByteArray("1"));
    QCOMPARE(row[1], QByteArray("1.020000000000E+002"));
    QCOMPARE(row[9], QByteArray("1.234567000000E+006"));

    // A failed export says so and leaves nothing behind.
    QVERIFY(!env.display->ExportTable(env.Path("missing-dir/table.csv")));
    QCOMPARE(env.dialogs.messages.size(), 1);
    QVERIFY(env.dialogs.messages[0].text.startsWith("Cannot export the table"));
}

void TestDisplayDialogs::MainWindowOpensTheDisplay() {
    TDisplayEnv files;
    const QString path = files.WriteOutput("run.out", {0, 1, 2}, Plain);

    TGlobals g;
    TScriptedDialogs dialogs;
    TForms forms = CreateForms(g, dialogs, "orvane");
    TMainForm* main = forms.MainForm;
    TFmDisplayData* display = main->Forms().FmDisplayData;
    QVERIFY(display && main->Forms().FmSeries && main->Forms().DlgScale);

    // Output > From File, then Table.
    dialogs.fileAnswers << path;
    main->MIViewOutFile->trigger();
    QVERIFY(main->MITable->isEnabled());
    WithModal(display, [&] { main->MITable->trigger(); }, [&] {
        QVERIFY(g.TableMode);
        QVERIFY(display->SgModelOutput->isVisible());
        QCOMPARE(display->OutputTable->DataRowCount(), 3);
        QCOMPARE(display->windowTitle(), "Model Output - File: " + path);
        QTest::mouseClick(display->BtnCloseDisplay, Qt::LeftButton);
    });
    QVERIFY(!g.ReloadNeeded);

    // Chart opens the same table without rereading it.
    files.WriteOutput("run.out", {0, 1, 2, 3}, Plain);
    WithModal(display, [&] { main->MIChart->trigger(); }, [&] {
        QVERIFY(!g.TableMode);
        QVERIFY(display->ChOutput->isVisible());
        QCOMPARE(display->OutputTable->DataRowCount(), 3);
        display->close();
    });
    QVERIFY(dialogs.messages.isEmpty());
    DestroyForms(forms);
}

QTEST_MAIN(TestDisplayDialogs)
#include "test_display_dialogs.moc"
