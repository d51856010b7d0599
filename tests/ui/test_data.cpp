// The state and process tables: state mode edits values and HoldConstant
// marks (OK commits, Cancel undoes), a non-number stops OK without changing
// anything, and process mode lists every process read-only.
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "model/catalogue.h"
#include "model/site_fixture.h"
#include "ui/data.h"
#include "ui/data_grid.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/support_dialogs.h"

using namespace orvane;

class TestData : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TGlobals> g;
    TScriptedDialogs dialogs;
    TForms forms;
    TDataForm* form = nullptr;

    TDataGrid& Grid() { return *form->AdvStringGrid1; }
    QString Cell(int col, int row) { return Grid().Model().Cell(col, row); }
    void ClickCheckBox(int row) {
        const QRect cell = Grid().CellRect(0, row);
        const QRect box = TDataGridDelegate::CheckRect(cell, &Grid());
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, box.center());
    }
    // Types into the value cell of `row` through the grid's own editor.
    QLineEdit* TypeValue(int row, const QString& text) {
        Grid().setFocus();
        Grid().SetCursor(3, row);
        QTest::keyClick(&Grid(), Qt::Key_F2);
        auto* editor = Grid().viewport()->findChild<QLineEdit*>();
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }

private slots:
    void init() {
        g = std::make_unique<TGlobals>();
        InitialiseGlobals(*g);
        fixture::LoadSite(*g);
        dialogs.Clear();
        dialogs.messageAnswers.clear();
        form = new TDataForm(*g, dialogs, forms);
        forms.DataForm = form;
    }
    void cleanup() {
        delete form;
        form = nullptr;
        forms = TForms{};
    }

    void stateModeListsEveryStateAndOnlyTheValueIsSelectable() {
        g->States[st::Nh].HoldConstant = true;
        g->States[st::Cf].value = 0.00001;
        form->OpenStates();
        QCOMPARE(form->windowTitle(), QString("State Variables"));
        QVERIFY(form->isModal());
        QCOMPARE(Grid().Model().GridRows(), 20);
        const QStringList headers{"HoldConstant", "State Symbol", "State Variable Name",
                                  "State Variable Value", "State Variable Units"};
        for (int c = 0; c < 5; ++c) QCOMPARE(Cell(c, 0), headers[c]);
        QCOMPARE(Cell(1, 1), QString("Cf"));
        QCOMPARE(Cell(2, 1), QString("Foliage Carbon"));
        QCOMPARE(Cell(3, 1), QString("1E-5"));
        QCOMPARE(Cell(4, 1), QString("gC m-2ground"));
        QCOMPARE(Cell(1, 19), QString("Nnh4"));
        QCOMPARE(Cell(3, 2), QString("9000"));
        QVERIFY(Grid().Model().CheckState(st::Nh));
        QVERIFY(!Grid().Model().CheckState(st::Cf));
        QVERIFY(Grid().horizontalHeader()->sectionSize(0) >= 80);
        QCOMPARE(Grid().horizontalHeader()->sectionSize(1), 120);
        QVERIFY(!Grid().isColumnHidden(0));

        // The cursor starts on the value of the first state and stays in that column.
        QCOMPARE(Grid().CursorCol(), 3);
        QCOMPARE(Grid().CursorRow(), 1);
        for (int c = 0; c < 5; ++c) QCOMPARE(form->AdvStringGrid1SelectCell(c, 4), c == 3);
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, Grid().CellRect(2, 4).center());
        QCOMPARE(Grid().CursorCol(), 3);
        QCOMPARE(Grid().CursorRow(), 1);
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, Grid().CellRect(3, 4).center());
        QCOMPARE(Grid().CursorRow(), 4);
        QVERIFY(form->BtnOK->isVisible());
        QCOMPARE(form->BtnCancel->text(), QString("&Cancel"));
    }

    void stateModeLooks() {
        form->OpenStates();
        QColor bg;
        QFont f;
        form->AdvStringGrid1GetCellColor(1, 3, bg, f);
        QCOMPARE(bg, form->palette().color(QPalette::Base));
        form->AdvStringGrid1GetCellColor(1, 2, bg, f);
        QVERIFY(bg != form->palette().color(QPalette::Base));
        QCOMPARE(form->AdvStringGrid1GetAlignment(1, 0), Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(form->AdvStringGrid1GetAlignment(1, 1), Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(form->AdvStringGrid1GetAlignment(1, 3), Qt::Alignment(Qt::AlignLeft));
        const QVariant headerFont = Grid().model()->headerData(2, Qt::Horizontal, Qt::FontRole);
        QVERIFY(headerFont.value<QFont>().bold());
    }

    void checkBoxActsAtOnceAndCancelUndoesIt() {
        form->OpenStates();
        ClickCheckBox(st::Cw);
        QVERIFY(g->States[st::Cw].HoldConstant);  // live at once
        QVERIFY(TypeValue(st::Cr, "777"));
        form->BtnCancel->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QVERIFY(!g->States[st::Cw].HoldConstant);
        QCOMPARE(g->States[st::Cr].value, 600.0);
        QVERIFY(!g->ParamsChanged);
        QCOMPARE(Grid().Model().GridRows(), 3);  // the grid is emptied
        QCOMPARE(Cell(1, 1), QString());
    }

    void escapeAndCloseControlMeanCancel() {
        form->OpenStates();
        ClickCheckBox(st::Na);
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QVERIFY(!g->States[st::Na].HoldConstant);

        form->OpenStates();
        ClickCheckBox(st::Na);
        form->close();
        QVERIFY(!g->States[st::Na].HoldConstant);
    }

    void okCommitsValuesAndMarks() {
        g->OutputCurrent = true;
        form->OpenStates();
        ClickCheckBox(st::Nnh4);
        // Typed but not yet confirmed: OK must still take it.
        QVERIFY(TypeValue(st::Ce, "1.5e3"));
        form->BtnOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(g->States[st::Ce].value, 1500.0);
        QVERIFY(g->States[st::Nnh4].HoldConstant);
        QCOMPARE(g->States[st::Cf].value, 250.0);  // untouched rows keep their value exactly
        QCOMPARE(g->States[st::Ci].value, 9027.92);
        QVERIFY(g->ParamsChanged);
        QVERIFY(!g->OutputCurrent);
        QCOMPARE(Grid().Model().GridRows(), 3);

        // The next opening shows the committed values and marks again.
        form->OpenStates();
        QCOMPARE(Cell(3, st::Ce), QString("1500"));
        QVERIFY(Grid().Model().CheckState(st::Nnh4));
        form->BtnCancel->click();
    }

    void accessKeyOkTakesTheCellBeingTyped() {
        form->OpenStates();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QLineEdit* editor = TypeValue(st::Ce, "1.5e3");
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Ce].value, 1500.0);
    }

    void nonNumberStopsOkAndChangesNothing() {
        g->OutputCurrent = true;
        form->OpenStates();
        ClickCheckBox(st::Cf);
        Grid().Model().SetCell(3, st::Cw, "12");
        Grid().Model().SetCell(3, st::Nf, "abc");
        Grid().Model().SetCell(3, st::Nr, "34");
        form->BtnOK->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].text, QString("'abc' is not a valid floating point value"));
        QCOMPARE(dialogs.messages[0].kind, TMsgKind::Error);
        // The window stays open on the bad cell with every entry kept.
        QVERIFY(form->isVisible());
        QCOMPARE(Grid().CursorRow(), int(st::Nf));
        QCOMPARE(Cell(3, st::Nr), QString("34"));
        QCOMPARE(g->States[st::Cw].value, 9000.0);
        QCOMPARE(g->States[st::Nr].value, 15.0);
        QVERIFY(!g->ParamsChanged);
        QVERIFY(g->OutputCurrent);
        QVERIFY(g->States[st::Cf].HoldConstant);  // the click itself took effect

        // Putting it right lets OK through.
        Grid().Model().SetCell(3, st::Nf, "11");
        form->BtnOK->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Cw].value, 12.0);
        QCOMPARE(g->States[st::Nf].value, 11.0);
        QCOMPARE(g->States[st::Nr].value, 34.0);
        QVERIFY(g->ParamsChanged);
    }

    void showStatesRunsModallyAndReturnsTheResult() {
        bool ran = false;
        QTimer::singleShot(0, form, [&] {
            ran = form->isVisible() && form->isModal();
            ClickCheckBox(st::Ch);
            form->BtnOK->click();
        });
        QTimer::singleShot(5000, form, [&] { if (form->isVisible()) form->done(-1); });
        QCOMPARE(form->ShowStates(), int(QDialog::Accepted));
        QVERIFY(ran);
        QVERIFY(g->States[st::Ch].HoldConstant);
    }

    void processModeListsEveryProcessReadOnly() {
        g->Processes[1].value = -0.25;
        g->Processes[126].value = 12345678;
        form->ShowProcess();
        QVERIFY(form->isVisible());
        QVERIFY(!form->isModal());
        QVERIFY(form->ShowingProcesses);
        QCOMPARE(form->windowTitle(), QString("Process Variables"));
        QCOMPARE(Grid().Model().GridRows(), 127);
        QVERIFY(Grid().isColumnHidden(0));
        QCOMPARE(Cell(1, 0), QString("Process Symbol"));
        QCOMPARE(Cell(2, 0), QString("Process Name"));
        QCOMPARE(Cell(3, 0), QString("Process Value"));
        QCOMPARE(Cell(4, 0), QString("Process Units"));
        QCOMPARE(Cell(1, 1), QString("dCfdt"));
        QCOMPARE(Cell(3, 1), QString("-0.25"));
        QCOMPARE(Cell(1, 24), QString("Ps"));
        QCOMPARE(Cell(2, 24), QString("Photosynthesis"));
        QCOMPARE(Cell(1, 126), QString("Et"));
        QCOMPARE(Cell(3, 126), QString("12345678"));
        QVERIFY(!form->BtnOK->isVisible());
        QVERIFY(!form->BtnOK->isEnabled());
        QCOMPARE(form->BtnCancel->text(), QString("&Close"));

        for (int c = 0; c < 5; ++c) QVERIFY(!form->AdvStringGrid1SelectCell(c, 3));
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, Grid().CellRect(3, 3).center());
        QCOMPARE(Grid().CursorRow(), 0);
        QVERIFY(!(Grid().model()->flags(Grid().model()->index(2, 3)) & Qt::ItemIsEditable));
        QColor bg;
        QFont f;
        form->AdvStringGrid1GetCellColor(3, 3, bg, f);
        QVERIFY(bg != form->palette().color(QPalette::Base));
    }

    void processModeRefreshesAndCloseRestoresStates() {
        form->ShowProcess();
        // Another window recomputes and refreshes the open table.
        g->Processes[st::Cf].value = 42;
        QVERIFY(form->isVisible() && form->ShowingProcesses);
        form->UpdateProcess();
        QCOMPARE(Cell(3, 1), QString("42"));

        // Opening it again retakes SavedStates.
        g->States[st::Cf].value = 1;
        form->ShowProcess();
        QCOMPARE(form->SavedStates[st::Cf].value, 1.0);

        // A change made elsewhere while the table is open is undone by Close...
        g->States[st::Cf].value = 2;
        form->BtnCancel->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(g->States[st::Cf].value, 1.0);

        // ...but not when the window that opened it hides it.
        form->ShowProcess();
        g->States[st::Cf].value = 3;
        form->hide();
        QCOMPARE(g->States[st::Cf].value, 3.0);
    }

    void stateModeAfterProcessModeIsWhole() {
        form->ShowProcess();
        form->BtnCancel->click();
        form->OpenStates();
        QVERIFY(!form->ShowingProcesses);
        QVERIFY(!Grid().isColumnHidden(0));
        QCOMPARE(Grid().Model().GridRows(), 20);
        for (int i = 1; i <= 19; ++i) QVERIFY(Grid().Model().HasCheckBox(i));
        QVERIFY(form->BtnOK->isVisible() && form->BtnOK->isEnabled());
        QCOMPARE(form->BtnCancel->text(), QString("&Cancel"));
        ClickCheckBox(st::Clr);
        QVERIFY(g->States[st::Clr].HoldConstant);
        form->BtnCancel->click();
    }

    void editMenuOpensTheStateTable() {
        TGlobals mg;
        TScriptedDialogs md;
        TForms mf = CreateForms(mg, md, "orvane");
        mg.OutputCurrent = true;
        bool modal = false;
        QTimer::singleShot(0, mf.DataForm, [&] {
            modal = mf.DataForm->isVisible() && mf.DataForm->isModal() && !mf.DataForm->ShowingProcesses;
            mf.DataForm->AdvStringGrid1->Model().SetCell(3, st::Cw, "5");
            mf.DataForm->BtnOK->click();
        });
        QTimer::singleShot(5000, mf.DataForm, [&] { if (mf.DataForm->isVisible()) mf.DataForm->done(-1); });
        mf.MainForm->MIEditStates->trigger();
        QVERIFY(modal);
        QCOMPARE(mg.States[st::Cw].value, 5.0);
        QVERIFY(mg.ParamsChanged);
        QVERIFY(!mg.OutputCurrent);
        DestroyForms(mf);
    }
};

QTEST_MAIN(TestData)
#include "test_data.moc"
