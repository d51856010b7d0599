// The progress window of a run, and cancelling a run from it.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "model/catalogue.h"
#include "model/errors.h"
#include "ui/progress.h"
#include "ui/support_dialogs.h"

using namespace orvane;

class TestProgress : public QObject {
    Q_OBJECT

    TGlobals g;
    TScriptedDialogs dlg;
    TForms forms;

    // Calls Progress as a run does, step after step, until it raises;
    // returns the number of calls, or -1 if it never raised.
    int StepsUntilCancel(TFmProgress& p, int maxSteps) {
        for (int i = 0; i < maxSteps; ++i) {
            try {
                p.Progress(i % 101);
            } catch (const EUserCancel& e) {
                if (QString::fromStdString(e.Message()) != "User clicked cancel") return -2;
                return i + 1;
            }
            QTest::qSleep(1);
        }
        return -1;
    }

private slots:
    void initTestCase() { InitialiseGlobals(g); }

    void showsTheRunsTimes() {
        TFmProgress p(g, dlg, forms);
        QVERIFY(!p.isVisible());
        g.StartTime = 1.5;
        g.StopTime = 10000;
        p.BeginRun();
        QVERIFY(p.isVisible());
        QCOMPARE(p.windowTitle(), QString("Veskor Orvane run progress."));
        QCOMPARE(p.LblBegin->text(), QString("1.5"));
        QCOMPARE(p.LblEnd->text(), QString("10000"));
        QCOMPARE(p.BtnCancel->text(), QString("&Cancel"));
        QCOMPARE(p.runProgressBar->minimum(), 0);
        QCOMPARE(p.runProgressBar->maximum(), 100);
        p.Progress(42);
        QCOMPARE(p.runProgressBar->value(), 42);
        p.EndRun();
        QVERIFY(!p.isVisible());
        // The bar starts the next run where it stood.
        p.BeginRun();
        QCOMPARE(p.runProgressBar->value(), 42);
        p.EndRun();
    }

    void aPendingCancelClickStopsTheRun() {
        TFmProgress p(g, dlg, forms);
        p.BeginRun();
        QTimer::singleShot(0, [&] { QTest::mouseClick(p.BtnCancel, Qt::LeftButton); });
        QVERIFY(StepsUntilCancel(p, 2000) > 0);
        // One click cancels one run only.
        p.EndRun();
        p.BeginRun();
        QCOMPARE(StepsUntilCancel(p, 30), -1);
        p.EndRun();
    }

    void closingOrEscapeDuringARunMeansCancel() {
        TFmProgress p(g, dlg, forms);
        p.BeginRun();
        QTest::keyClick(&p, Qt::Key_Escape);
        QVERIFY(p.isVisible());  // the run hides it when it has ended
        QCOMPARE(StepsUntilCancel(p, 1), 1);
        p.close();
        QVERIFY(p.isVisible());
        QCOMPARE(StepsUntilCancel(p, 1), 1);
        p.EndRun();
        QVERIFY(!p.isVisible());
    }
};

QTEST_MAIN(TestProgress)
#include "test_progress.moc"
