// Shared set-up of the analysis window's tests: the window on the
// temperate site with scripted dialogs, and the steps a user takes in it.
#pragma once

#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ensemble/experiment_write.h"
#include "model/catalogue.h"
#include "ui/analysis/analysis.h"
#include "ui/analysis/analysis_factors.h"
#include "ui/analysis/analysis_picker.h"
#include "ui/analysis/analysis_setup.h"
#include "ui/support_dialogs.h"

namespace orvane::testing {

using ensemble::TFactorKind;

inline const QString kExamples = QStringLiteral(ORVANE_SOURCE_DIR "/examples/");

// The experiment of a file as the writer gives it: one line per setting,
// the same text for the same settings.
inline QStringList Settings(const QString& path) {
    const ensemble::TExperiment e = ensemble::ReadExperiment(path.toStdString());
    return QString::fromStdString(ensemble::ExperimentText(e, "/settings.toml")).split("\r\n");
}

inline void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

class TAnalysisTest : public QObject {
protected:
    TGlobals g;
    TScriptedDialogs dialogs;
    std::unique_ptr<TFmAnalysis> w;
    QTemporaryDir dir;

    TAnalysisSetup& S() { return *w->Setup; }

    // Picks a variable by typing part of its name, as a user finds it.
    void Pick(const QString& search, TFactorKind kind, const QString& symbol) {
        Type(S().Picker->EdFind, search);
        QVERIFY2(S().Picker->Select(kind, symbol), qPrintable(symbol));
    }
    void AddFactor(TFactorKind kind, const QString& symbol, const QString& distribution,
                   const QMap<QString, QString>& settings) {
        Pick(symbol, kind, symbol);
        QVERIFY(S().BtnAddFactor->isEnabled());
        S().BtnAddFactor->click();
        TFactorTableModel& m = *S().Factors;
        const int row = m.FindRow(symbol);
        QVERIFY(row >= 0);
        QVERIFY(m.setData(m.Cell(row, "distribution"), distribution));
        for (auto it = settings.begin(); it != settings.end(); ++it) QVERIFY(m.setData(m.Cell(row, it.key()), it.value()));
    }
    void AddOutput(TFactorKind kind, const QString& symbol) {
        Pick(symbol, kind, symbol);
        S().BtnAddOutput->click();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    // A small set-up on the temperate site that runs in a moment.
    void SmallSetUp(int members, double stop) {
        Type(S().EdStop, QString::number(stop));
        AddFactor(TFactorKind::Parameter, "Q10d", "uniform", {{"min", "1.6"}, {"max", "2.6"}});
        AddFactor(TFactorKind::Parameter, "kIm", "relative", {{"percent", "20"}});
        AddOutput(TFactorKind::State, "Cw");
        AddOutput(TFactorKind::Process, "NPPt");
        Type(S().EdMembers, QString::number(members));
        QVERIFY2(S().Valid(), qPrintable(S().Problem()));
    }

    void WaitForRun() {
        QSignalSpy ended(w.get(), &TFmAnalysis::RunEnded);
        QVERIFY(ended.wait(120000));
    }

    // A new window on the site the main window would have open.
    void Open() {
        InitialiseGlobals(g);
        g.ParamFileName = (kExamples + "temperate.par").toStdString();
        g.DriverFileName = (kExamples + "temperate-co2.drr").toStdString();
        g.StopTime = 200;
        dialogs.Clear();
        w = std::make_unique<TFmAnalysis>(g, dialogs);
        w->ShowFromMain();
    }
};

}  // namespace orvane::testing
