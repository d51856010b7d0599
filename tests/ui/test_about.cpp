// The about window and the error-picture window.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "model/catalogue.h"
#include "ui/aboutbox.h"
#include "ui/support_dialogs.h"
#include "ui/trouble.h"

using namespace orvane;

class TestAbout : public QObject {
    Q_OBJECT

    TGlobals g;
    TScriptedDialogs dlg;
    TForms forms;

private slots:
    void initTestCase() { InitialiseGlobals(g); }
    void init() { dlg.Clear(); }

    void aboutNamesModelAndVersionWhateverTheLabelsHeld() {
        TFmAbout about(g, dlg, forms);
        about.LblModel->setText("designed text");
        about.LblVersion->setText("designed text");
        QCOMPARE(about.windowTitle(), QString("About Veskor Orvane"));
        QCOMPARE(about.size(), QSize(315, 232));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.BtnOK->text(), QString("&OK"));
        QVERIFY(about.BtnOK->isDefault());

        QTimer::singleShot(0, [&] {
            QCOMPARE(about.LblModel->text(), QString("Veskor Orvane"));
            QCOMPARE(about.LblVersion->text(), QString("Version 3.3.6.5b"));
            // The model's name stands above its version.
            QVERIFY(about.LblModel->geometry().bottom() < about.LblVersion->geometry().top());
            QTest::keyClick(&about, Qt::Key_Escape);  // OK is also the cancel button
        });
        QCOMPARE(about.ShowModal(), int(QDialog::Rejected));
        QTimer::singleShot(0, [&] { QTest::keyClick(&about, Qt::Key_Return); });
        QCOMPARE(about.ShowModal(), int(QDialog::Accepted));
    }

    void troubleShowsOneMessageBesideItsPicture() {
        TFmTrouble trouble(g, dlg, forms);
        QCOMPARE(trouble.windowTitle(), QString("FmTrouble"));
        QCOMPARE(trouble.LblTrouble->text(),
                 QString("Having trouble \nparameterizing?\nClick the icon on the left."));
        const QFontMetrics fm(trouble.LblTrouble->font());
        for (const QString& line : trouble.LblTrouble->text().split('\n'))
            QVERIFY(fm.horizontalAdvance(line) <= trouble.LblTrouble->width());
        trouble.SetMessage("first error");
        trouble.SetMessage("Floating point division by zero");
        QCOMPARE(trouble.MmError->toPlainText(), QString("Floating point division by zero"));
        QCOMPARE(trouble.MmError->blockCount(), 1);

        QTimer::singleShot(0, [&] {
            QVERIFY(!trouble.LblModel->isVisible());
            QVERIFY(!trouble.LblVersion->isVisible());
            QVERIFY(trouble.Image1->isVisible());
            // Nothing overlaps: picture left, text and message right.
            QVERIFY(trouble.Image1->geometry().right() < trouble.MmError->geometry().left());
            QVERIFY(trouble.LblTrouble->geometry().bottom() < trouble.MmError->geometry().top());
            QVERIFY(trouble.MmError->geometry().bottom() < trouble.BtnOK->geometry().top());
            QTest::mouseClick(trouble.Image1, Qt::LeftButton);
            trouble.BtnOK->click();
        });
        QCOMPARE(trouble.ShowModal(), int(QDialog::Accepted));
        QCOMPARE(dlg.MessageTexts(), QStringList{"Take a break, go get a beer."});
        QCOMPARE(dlg.messages[0].kind, TMsgKind::Confirmation);
        QCOMPARE(dlg.messages[0].buttons, static_cast<int>(TMsgButton::OK));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
