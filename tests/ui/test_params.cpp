// The parameter editor, driven through its real widgets with scripted dialogs.
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/site_fixture.h"
#include "ui/data.h"
#include "ui/data_grid.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/newcontrols.h"
#include "ui/params.h"
#include "ui/support_dialogs.h"

using namespace orvane;

namespace {

const QString NoDriverFile = "No Driver File. Process values will not be calculated.";
const QString InvalidParameter = "Invalid Parameter. Process values will not be calculated.";
const QString Consent = "Previous parameter values will be lost if you proceed. Continue?";

// The site's drivers as a one-row driver file.
void WriteSiteDrivers(TGlobals& g, const std::string& path) {
    OpenDriverFile(g, path, g.ModelDef.numdrive, g.Drivers, true);
    WriteDriverRow(g, 0, g.ModelDef.numdrive, g.Drivers);
    CloseDriverFile(g);
    g.DriverFileName = path;
}

// Types into a value cell as a user does: the cell editor holds the text
// until something commits it.
void TypeInto(TFmParameter& editor, int page, int row, const QString& text) {
    editor.PageControl->SetActivePageIndex(page);
    TDataGrid& grid = *editor.Page(page)->Grid;
    grid.SetCursor(2, row);
    const QModelIndex index = grid.Model().index(row - 1, 2);
    if (!grid.indexWidget(index)) grid.edit(index);
    auto* field = qobject_cast<QLineEdit*>(grid.indexWidget(index));
    QVERIFY(field);
    field->selectAll();
    QTest::keyClicks(field, text);
}

// A complete site in memory, its drivers in a file, the process table and
// the editor, as the program holds them.
struct TRig {
    QTemporaryDir dir;
    TGlobals g;
    TScriptedDialogs dialogs;
    TForms forms;
    std::unique_ptr<TDataForm> table;
    std::unique_ptr<TFmParameter> editor;

    TRig() {
        InitialiseGlobals(g);
        g.Messages = &dialogs;
        fixture::LoadSite(g);
        g.ParamFileName = "site.par";
        WriteSiteDrivers(g, Path("site.drr"));
        editor = std::make_unique<TFmParameter>(g, dialogs, forms);
        table = std::make_unique<TDataForm>(g, dialogs, forms);
        forms.FmParameter = editor.get();
        forms.DataForm = table.get();
    }
    ~TRig() {
        // The process table goes first, as the program deletes it after the editor.
        table.reset();
        editor.reset();
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    void Open() {
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    }
    TDataGrid& Grid(int page) const { return *editor->Page(page)->Grid; }
    QString Cell(int page, int row) const { return Grid(page).Model().Cell(2, row); }
    int Count(const QString& text) const { return dialogs.MessageTexts().count(text); }

    void Type(int page, int row, const QString& text) { TypeInto(*editor, page, row, text); }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

int PageOf(const TFmParameter& editor, int process) {
    for (int k = 0; k < editor.PageControl->PageCount(); ++k)
        if (editor.ProcessOfPage(k) == process) return k;
    return -1;
}

}  // namespace

class TestParams : public QObject {
    Q_OBJECT

private slots:
    void PagesFollowTheProcessesThatOwnParameters() {
        TRig rig;
        TFmParameter& e = *rig.editor;
        QCOMPARE(e.PageControl->PageCount(), 40);
        TMyTabSheet* first = e.Page(0);
        QCOMPARE(first->Caption(), QString("Photosynthesis"));
        QCOMPARE(first->LblSymbol->text(), QString("Ps"));
        QCOMPARE(first->LblUnits->text(), QString("gC m-2grd yr-1"));
        const TStringGridModel& cells = first->Grid->Model();
        QCOMPARE(cells.GridRows(), 11);
        QCOMPARE(cells.Cell(0, 0), QString("Parameter"));
        QCOMPARE(cells.Cell(3, 0), QString("Parameter Units"));
        QCOMPARE(cells.Cell(0, 1), QString("Deltad"));
        QCOMPARE(cells.Cell(0, 10), QString("Sc"));
        QCOMPARE(PageOf(e, pr::NPPt), -1);

        // Every parameter appears exactly once, on its owner's page, in order.
        int rows = 0;
        for (int k = 0; k < 40; ++k) {
            const int p = e.ProcessOfPage(k);
            QVERIFY(p > rig.g.ModelDef.numstate);
            QVERIFY(k == 0 || p > e.ProcessOfPage(k - 1));
            const TStringGridModel& m = e.Page(k)->Grid->Model();
            for (int j = 1; j <= rig.g.Processes[p].numparams; ++j, ++rows)
                QCOMPARE(m.Cell(0, j).toStdString(), std::string(rig.g.Params[ParamOffset(p) + j].symbol));
        }
        QCOMPARE(rows, 88);

        // Only the value column takes the cursor.
        TDataGrid& grid = *first->Grid;
        QCOMPARE(grid.CursorCol(), 2);
        QCOMPARE(grid.CursorRow(), 1);
        grid.SetCursor(1, 3);
        QCOMPARE(grid.CursorCol(), 2);
        QVERIFY(!(grid.Model().flags(grid.Model().index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(grid.Model().flags(grid.Model().index(0, 2)) & Qt::ItemIsEditable);
    }

    void OpeningComputesTheProcessesAtCalcTime() {
        TRig rig;
        rig.Open();
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.editor->windowTitle(), QString("Parameters - File: site.par"));
        const double ps = rig.g.Processes[pr::Ps].value;
        QVERIFY(ps > 100);
        QCOMPARE(rig.editor->Page(0)->LblValue->text().toStdString(), FormatGeneral(ps, 5));
        QCOMPARE(rig.Cell(0, 1).toStdString(), FormatGeneral(rig.g.Params[pa::Deltad].value));
    }

    void TheDriversAreReadAtCalcTimeFromTheFirstRow() {
        TRig rig;
        // Two stepwise rows: CO2 changes at year 10.
        const std::string path = rig.Path("two.drr");
        drivearray d = rig.g.Drivers;
        OpenDriverFile(rig.g, path, 8, d, true);
        d[dr::Ca].value = 300;
        WriteDriverRow(rig.g, 0, 8, d);
        d[dr::Ca].value = 600;
        WriteDriverRow(rig.g, 10, 8, d);
        CloseDriverFile(rig.g);
        rig.g.DriverFileName = path;

        // A reader left past CalcTime by an earlier pass must start again.
        rig.g.PrevDriverTime = 10;
        rig.g.NextDriverTime = 20;
        rig.g.Drivers[dr::Ca].value = 999;
        rig.g.CalcTime = 5;
        rig.Open();
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.g.Drivers[dr::Ca].value, 300.0);
        QVERIFY(!rig.g.DriverReader.IsOpen());
        const double at5 = rig.g.Processes[pr::Ps].value;

        rig.editor->hide();
        rig.g.CalcTime = 12;
        rig.Open();
        QCOMPARE(rig.g.Drivers[dr::Ca].value, 600.0);
        QVERIFY(rig.g.Processes[pr::Ps].value != at5);
        QCOMPARE(rig.editor->Page(0)->LblValue->text().toStdString(),
                 FormatGeneral(rig.g.Processes[pr::Ps].value, 5));
    }

    void AModelThatCannotBeComputedWarnsAndKeepsTheLastValues() {
        TRig rig;
        rig.g.States[st::Cf].value = 0;  // foliage ratios divide by zero
        rig.g.Processes[pr::Ps].value = 123.456789;
        rig.Open();
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({InvalidParameter}));
        QCOMPARE(rig.dialogs.messages[0].kind, TMsgKind::Warning);
        QCOMPARE(rig.g.Processes[pr::Ps].value, 123.456789);
        QCOMPARE(rig.editor->Page(0)->LblValue->text(), QString("123.46"));
        QVERIFY(rig.editor->isVisible());
    }

    void MissingDriverFileWarnsAtEveryOpeningAndUpdate() {
        TRig rig;
        rig.g.DriverFileName.clear();
        rig.g.Processes[pr::Ps].value = 77;
        rig.Open();
        rig.editor->hide();
        rig.Open();
        QCOMPARE(rig.Count(NoDriverFile), 2);
        QCOMPARE(rig.editor->Page(0)->LblValue->text(), QString("77"));

        // Still fully editable, and Update processes commits and warns again.
        rig.Type(0, 10, "2.5");
        rig.Click(rig.editor->BtnUpdateProc);
        QCOMPARE(rig.Count(NoDriverFile), 3);
        QCOMPARE(rig.g.Params[pa::Sc].value, 2.5);
    }

    void UnreadableDriverFileWarnsAfterTheReadersOwnMessage() {
        TRig rig;
        rig.g.DriverFileName = rig.Path("gone.drr");
        rig.Open();
        const QStringList texts = rig.dialogs.MessageTexts();
        QCOMPARE(texts, QStringList({MsgDriverFileMissing, InvalidParameter}));
        QVERIFY(rig.editor->isVisible());
    }

    void NewBlankFilesAreNotComputed() {
        for (bool newParams : {true, false}) {
            TRig rig;
            rig.g.NewParamFile = newParams;
            rig.g.NewDriverFile = !newParams;
            rig.g.Processes[pr::Ps].value = 0;
            rig.Open();
            QVERIFY(rig.dialogs.messages.isEmpty());
            QCOMPARE(rig.g.Processes[pr::Ps].value, 0.0);
            QCOMPARE(rig.editor->Page(0)->LblValue->text(), QString("0"));
        }
    }

    void CancelDropsPendingEdits() {
        TRig rig;
        const double old = rig.g.Params[pa::Sc].value;
        rig.Open();
        rig.Type(0, 10, "9.75");
        rig.Click(rig.editor->BtnClose);
        QCOMPARE(rig.editor->result(), int(QDialog::Rejected));
        QVERIFY(!rig.editor->isVisible());
        QCOMPARE(rig.g.Params[pa::Sc].value, old);
        QVERIFY(!rig.g.ParamsChanged);
        rig.Open();
        QCOMPARE(rig.Cell(0, 10).toStdString(), FormatGeneral(old));
    }

    void OkCommitsEveryPage() {
        TRig rig;
        rig.Open();
        const int last = rig.editor->PageControl->PageCount() - 1;
        rig.Type(0, 1, "43.5");
        rig.Type(last, 4, "1.5E-7");  // still in its cell editor when OK is pressed
        rig.Click(rig.editor->BtnOK);
        QCOMPARE(rig.editor->result(), int(QDialog::Accepted));
        QCOMPARE(rig.g.Params[pa::Deltad].value, 43.5);
        QCOMPARE(rig.g.Params[pa::z].value, 1.5e-7);
        QVERIFY(rig.g.ParamsChanged);
    }

    void AccessKeysTakeTheCellBeingTyped() {
        TRig rig;
        rig.Open();
        rig.Type(0, 1, "43.5");
        rig.dialogs.messageAnswers = {TMsgButton::OK};  // the consent to commit
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(rig.g.Params[pa::Deltad].value, 43.5);
        rig.Type(0, 1, "44");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(!rig.editor->isVisible());
        QCOMPARE(rig.g.Params[pa::Deltad].value, 44.0);
    }

    void ConsentIsAskedOncePerOpening() {
        TRig rig;
        TFmParameter& e = *rig.editor;
        const double old = rig.g.Params[pa::Sc].value;
        rig.Open();
        rig.Type(0, 10, "3");
        rig.dialogs.messageAnswers = {TMsgButton::Cancel};
        rig.Click(e.BtnUpdateProc);
        QCOMPARE(rig.Count(Consent), 1);
        QCOMPARE(rig.g.Params[pa::Sc].value, old);
        QCOMPARE(e.BtnClose->text(), QString("&Cancel"));
        QVERIFY(!rig.g.ParamsChanged);

        rig.Click(e.BtnUpdateProc);  // OK this time
        QCOMPARE(rig.Count(Consent), 2);
        QCOMPARE(rig.g.Params[pa::Sc].value, 3.0);
        QCOMPARE(e.BtnClose->text(), QString("&Close"));
        rig.Click(e.BtnUpdateProc);
        QCOMPARE(rig.Count(Consent), 2);

        // A new opening asks again and can be cancelled again.
        rig.Click(e.BtnClose);
        rig.Open();
        QCOMPARE(e.BtnClose->text(), QString("&Cancel"));
        QVERIFY(!e.ValuesCommitted);
    }

    void UpdateThenCloseKeepsTheCommittedValues() {
        TRig rig;
        rig.Open();
        const double before = rig.g.Processes[pr::Ps].value;
        rig.Type(0, 10, QString::fromStdString(FormatGeneral(rig.g.Params[pa::Sc].value * 2)));
        rig.Click(rig.editor->BtnUpdateProc);
        const double after = rig.g.Processes[pr::Ps].value;
        QVERIFY(after > before * 1.5);
        QCOMPARE(rig.editor->Page(0)->LblValue->text().toStdString(), FormatGeneral(after, 5));
        rig.Click(rig.editor->BtnClose);
        QCOMPARE(rig.editor->result(), int(QDialog::Rejected));
        QVERIFY(rig.g.ParamsChanged);
        QVERIFY(rig.g.Params[pa::Sc].value > 0);
    }

    void ProcessTableFollowsTheEditor() {
        TRig rig;
        TFmParameter& e = *rig.editor;
        rig.Open();
        rig.dialogs.messageAnswers = {TMsgButton::Cancel};
        rig.Click(e.BtnShowAllProcess);
        QVERIFY(!rig.table->isVisible());

        rig.Click(e.BtnShowAllProcess);
        QVERIFY(rig.table->isVisible());
        QVERIFY(rig.table->ShowingProcesses);
        TStringGridModel& rows = rig.table->AdvStringGrid1->Model();
        QCOMPARE(rows.Cell(3, pr::Ps).toStdString(), FormatGeneral(rig.g.Processes[pr::Ps].value));

        rig.Type(0, 10, "0.5");
        rig.Click(e.BtnUpdateProc);
        QCOMPARE(rows.Cell(3, pr::Ps).toStdString(), FormatGeneral(rig.g.Processes[pr::Ps].value));
        QCOMPARE(rig.Count(Consent), 2);

        rig.Click(e.BtnOK);
        QVERIFY(!rig.table->isVisible());
    }

    void CtrlTabWrapsAroundThePages() {
        TRig rig;
        TMyPageControl& pages = *rig.editor->PageControl;
        rig.Open();
        QVERIFY(pages.TabRowCount() > 1);
        QCOMPARE(pages.TabsPerRow(), pages.width() / 120);

        const int last = pages.PageCount() - 1;
        const QPoint tab = pages.TabRect(last).center();
        QWidget* strip = pages.childAt(tab);
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->mapFrom(&pages, tab));
        QCOMPARE(pages.ActivePageIndex(), last);
        QVERIFY(rig.editor->Page(last)->isVisible());
        QVERIFY(!rig.editor->Page(0)->isVisible());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages.ActivePageIndex(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(pages.ActivePageIndex(), last);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(pages.ActivePageIndex(), last - 1);

        // Also from inside a cell editor.
        rig.Type(2, 1, "1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages.ActivePageIndex(), 3);
    }

    void EveryTabShowsItsWholeCaption() {
        TRig rig;
        TMyPageControl& pages = *rig.editor->PageControl;
        // The room a caption has inside a 120-pixel tab.
        const int room = TMyPageControl::TabWidth - 9;
        QFont bold = pages.font();
        bold.setBold(true);

        // A short caption keeps its type, bold included.
        const QFont shortOne = TabCaptionFont(bold, "Sapwood", room);
        QVERIFY(shortOne.bold());
        QCOMPARE(QFontMetrics(shortOne).height(), QFontMetrics(bold).height());

        // Long names are narrowed, never cut, and keep their height.
        for (int k = 0; k < pages.PageCount(); ++k) {
            const QString caption = pages.Pages(k)->Caption();
            for (const QFont& base : {pages.font(), bold}) {
                const QFont f = TabCaptionFont(base, caption, room);
                QCOMPARE(QFontMetrics(f).elidedText(caption, Qt::ElideRight, room), caption);
                QCOMPARE(f.pointSizeF(), base.pointSizeF());
            }
        }

        // Beyond all help, the caption is elided at the narrowest plain type.
        const QFont hopeless = TabCaptionFont(bold, QString(60, 'W'), room);
        QVERIFY(!hopeless.bold());
        QVERIFY(hopeless.stretch() < 100);
    }

    void TextThatIsNotANumberStopsTheCommit() {
        TRig rig;
        TFmParameter& e = *rig.editor;
        const paramarray before = rig.g.Params;
        rig.Open();
        rig.Type(0, 1, "40");
        rig.Type(5, 1, "abc");
        rig.Type(9, 1, "7");
        rig.Click(e.BtnOK);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({"'abc' is not a valid floating point value"}));
        QCOMPARE(rig.dialogs.messages[0].kind, TMsgKind::Error);
        // Nothing is committed, and the editor stays open on the bad cell
        // with every other pending edit intact.
        for (int i = 1; i <= 88; ++i) QCOMPARE(rig.g.Params[i].value, before[i].value);
        QVERIFY(!rig.g.ParamsChanged);
        QVERIFY(e.isVisible());
        QCOMPARE(e.PageControl->ActivePageIndex(), 5);
        QCOMPARE(rig.Grid(5).CursorRow(), 1);
        QVERIFY(rig.Grid(5).indexWidget(rig.Grid(5).Model().index(0, 2)));
        QCOMPARE(rig.Cell(9, 1), QString("7"));

        // Update processes fails the same way, after the consent.
        rig.Click(e.BtnUpdateProc);
        QVERIFY(e.ValuesCommitted);
        QCOMPARE(rig.Count("'abc' is not a valid floating point value"), 2);
        QCOMPARE(rig.g.Params[pa::Deltad].value, before[pa::Deltad].value);

        rig.Type(5, 1, "12");
        rig.Click(e.BtnOK);
        QCOMPARE(e.result(), int(QDialog::Accepted));
        QCOMPARE(rig.g.Params[pa::Deltad].value, 40.0);
        QCOMPARE(rig.g.Params[ParamOffset(e.ProcessOfPage(5)) + 1].value, 12.0);
        QCOMPARE(rig.g.Params[ParamOffset(e.ProcessOfPage(9)) + 1].value, 7.0);
    }

    void EnterMovesDownInsteadOfClosing() {
        TRig rig;
        rig.Open();
        rig.Type(0, 2, "180");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(rig.editor->isVisible());
        QCOMPARE(rig.Cell(0, 2), QString("180"));
        QCOMPARE(rig.Grid(0).CursorRow(), 3);
    }

    void TheMainWindowHearsOnlyOfOk() {
        QTemporaryDir dir;
        TGlobals g;
        TScriptedDialogs dialogs;
        TForms forms = CreateForms(g, dialogs, "orvane");
        fixture::LoadSite(g);
        g.ParamFileName = "site.par";
        WriteSiteDrivers(g, dir.filePath("site.drr").toStdString());
        g.OutputCurrent = true;
        TFmParameter& e = *forms.FmParameter;

        QTimer::singleShot(0, &e, [&] {
            TypeInto(e, 0, 10, "0.5");
            QTest::mouseClick(e.BtnUpdateProc, Qt::LeftButton);
            QTest::mouseClick(e.BtnClose, Qt::LeftButton);
        });
        forms.MainForm->MIEditParamClick();
        QCOMPARE(g.Params[pa::Sc].value, 0.5);
        QVERIFY(g.ParamsChanged);
        QVERIFY(g.OutputCurrent);

        // Pressed once the modal window is up and waiting.
        QTimer::singleShot(0, e.BtnOK, &QPushButton::click);
        forms.MainForm->MIEditParamClick();
        QVERIFY(!g.OutputCurrent);
        DestroyForms(forms);
    }
};

QTEST_MAIN(TestParams)
#include "test_params.moc"
