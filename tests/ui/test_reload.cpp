// The reload dialog: which values come back from the parameter file, and
// what the unsaved-changes mark says afterwards.
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/site_fixture.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/reloaddlg.h"
#include "ui/support_dialogs.h"

using namespace orvane;

namespace {

// The site saved to a parameter file, then edited in memory.
struct TRig {
    QTemporaryDir dir;
    TGlobals g;
    TScriptedDialogs dialogs;
    TForms forms;
    std::unique_ptr<TDlgReload> dlg;
    statearray savedStates;
    paramarray savedParams;

    TRig() {
        InitialiseGlobals(g);
        g.Messages = &dialogs;
        fixture::LoadSite(g);
        g.ParamFileName = dir.filePath("site.par").toStdString();
        WriteParamFile(g, g.ParamFileName, 88, g.Params, 19, g.States, 0);
        savedStates = g.States;
        savedParams = g.Params;
        dlg = std::make_unique<TDlgReload>(g, dialogs, forms);
        Edit();
    }

    void Edit() {
        g.Params[pa::Sc].value = 99;
        g.States[st::Cw].value = 1;
        g.ParamsChanged = true;
    }
    void Answer(bool params, bool states, QPushButton* button) {
        dlg->show();
        dlg->CbParams->setChecked(params);
        dlg->CbState->setChecked(states);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool ParamsAsSaved() const {
        for (int i = 1; i <= 88; ++i)
            if (g.Params[i].value != savedParams[i].value) return false;
        return true;
    }
    bool StatesAsSaved() const {
        for (int i = 1; i <= 19; ++i)
            if (g.States[i].value != savedStates[i].value) return false;
        return true;
    }
};

}  // namespace

class TestReload : public QObject {
    Q_OBJECT

private slots:
    void ShowsItsDirectionsAndBoxes() {
        TRig rig;
        TDlgReload& d = *rig.dlg;
        QCOMPARE(d.windowTitle(), QString("Dialog"));
        QCOMPARE(d.MoDirections->toPlainText(),
                 QString("Choose which items to reload from the parameter file.  \n"
                         "Changes to parameters or state variables which \n"
                         "haven't been saved will be lost when you reload."));
        QVERIFY(d.MoDirections->isReadOnly());
        QVERIFY(d.CbParams->isChecked() && d.CbState->isChecked());
        QCOMPARE(d.CbParams->text(), QString("Parameters"));
        QCOMPARE(d.CbState->text(), QString("State Variables"));
        QVERIFY(d.OKBtn->isDefault());
    }

    void OpensCentredOnTheScreenAtAFixedSize() {
        TRig rig;
        // Whatever window it belongs to, wherever that window is.
        QWidget owner;
        owner.setGeometry(0, 0, 200, 150);
        owner.show();
        TDlgReload d(rig.g, rig.dialogs, rig.forms, &owner);
        d.show();
        QCOMPARE(d.minimumSize(), d.maximumSize());
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((d.frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void BothBoxesRestoreEverything() {
        TRig rig;
        rig.g.States[st::Cf].HoldConstant = true;
        rig.Answer(true, true, rig.dlg->OKBtn);
        QCOMPARE(rig.dlg->result(), int(QDialog::Accepted));
        QVERIFY(rig.ParamsAsSaved());
        QVERIFY(rig.StatesAsSaved());
        QVERIFY(!rig.g.ParamsChanged);
        // Only values come back: marks, names and symbols stay.
        QVERIFY(rig.g.States[st::Cf].HoldConstant);
        QCOMPARE(rig.g.States[st::Cf].symbol, std::string_view("Cf"));
        QCOMPARE(rig.g.Params[pa::Sc].name, std::string_view("GPP Scaling Par."));
    }

    void OnlyStatesKeepsAnEditedParameter() {
        TRig rig;
        rig.Answer(false, true, rig.dlg->OKBtn);
        QVERIFY(rig.StatesAsSaved());
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        // The kept edit still needs saving.
        QVERIFY(rig.g.ParamsChanged);
    }

    void OnlyParametersKeepsAnEditedState() {
        TRig rig;
        rig.Answer(true, false, rig.dlg->OKBtn);
        QVERIFY(rig.ParamsAsSaved());
        QCOMPARE(rig.g.States[st::Cw].value, 1.0);
        QVERIFY(rig.g.ParamsChanged);
    }

    void NeitherBoxReplacesNothing() {
        TRig rig;
        rig.Answer(false, false, rig.dlg->OKBtn);
        QCOMPARE(rig.dlg->result(), int(QDialog::Accepted));
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        QCOMPARE(rig.g.States[st::Cw].value, 1.0);
        QVERIFY(rig.g.ParamsChanged);
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void CancelChangesNothingAndTheBoxesKeepTheirState() {
        TRig rig;
        rig.Answer(false, true, rig.dlg->CancelBtn);
        QCOMPARE(rig.dlg->result(), int(QDialog::Rejected));
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        QCOMPARE(rig.g.States[st::Cw].value, 1.0);
        rig.dlg->show();
        QVERIFY(!rig.dlg->CbParams->isChecked());
        QVERIFY(rig.dlg->CbState->isChecked());
    }

    void AFileThatIsRefusedReplacesNothing() {
        TRig rig;
        QFile f(QString::fromStdString(rig.g.ParamFileName));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Another Model        1.0\r\n");
        f.close();
        rig.Answer(true, true, rig.dlg->OKBtn);
        QCOMPARE(rig.dlg->result(), int(QDialog::Accepted));
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({MsgParamFileIncompatible}));
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        QCOMPARE(rig.g.States[st::Cw].value, 1.0);
        QVERIFY(rig.g.ParamsChanged);

        // A file that is gone: the error is shown, nothing is replaced.
        QVERIFY(f.remove());
        rig.dialogs.Clear();
        rig.Answer(true, true, rig.dlg->OKBtn);
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages[0].kind, TMsgKind::Error);
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        QVERIFY(rig.g.ParamsChanged);
    }

    void AFieldThatIsNotANumberReplacesNothing() {
        TRig rig;
        QFile f(QString::fromStdString(rig.g.ParamFileName));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        // Spoil the value of the tenth state: the first nine have been read by then.
        QList<QByteArray> lines = text.split('\n');
        lines[10].replace(20, 23, QByteArray(" not-a-number").leftJustified(23, ' '));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(lines.join('\n'));
        f.close();
        rig.g.States[st::Cf].value = 5;
        rig.Answer(true, true, rig.dlg->OKBtn);
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.g.States[st::Cf].value, 5.0);
        QCOMPARE(rig.g.Params[pa::Sc].value, 99.0);
        QVERIFY(rig.g.ParamsChanged);
    }

    void TheMainWindowsReloadButton() {
        QTemporaryDir dir;
        TGlobals g;
        TScriptedDialogs dialogs;
        TForms forms = CreateForms(g, dialogs, "orvane");
        TMainForm& main = *forms.MainForm;
        g.OutputCurrent = true;
        main.BtnReloadClick();
        QCOMPARE(dialogs.MessageTexts(), QStringList({"Invalid parameter file. No values reloaded."}));
        QCOMPARE(dialogs.messages[0].kind, TMsgKind::Warning);
        QVERIFY(g.OutputCurrent);

        fixture::LoadSite(g);
        g.ParamFileName = dir.filePath("site.par").toStdString();
        WriteParamFile(g, g.ParamFileName, 88, g.Params, 19, g.States, 0);
        const double sc = g.Params[pa::Sc].value;
        g.Params[pa::Sc].value = 99;
        // Pressed once the modal window is up and waiting.
        QTimer::singleShot(0, forms.DlgReload->CancelBtn, &QPushButton::click);
        main.BtnReloadClick();
        QCOMPARE(g.Params[pa::Sc].value, 99.0);
        QVERIFY(g.OutputCurrent);

        // Pressed once the modal window is up and waiting.
        QTimer::singleShot(0, forms.DlgReload->OKBtn, &QPushButton::click);
        main.BtnReloadClick();
        QCOMPARE(g.Params[pa::Sc].value, sc);
        QVERIFY(!g.OutputCurrent);
        DestroyForms(forms);
    }
};

QTEST_MAIN(TestReload)
#include "test_reload.moc"
