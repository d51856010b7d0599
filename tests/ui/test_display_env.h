// Shared set-up of the output display tests: a display with its two dialogs,
// scripted message boxes, a stand-in main window, and output files written
// with the program's own writer.
#pragma once

#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_table.h"
#include "ui/forms.h"
#include "ui/mainform_iface.h"
#include "ui/scaledlg.h"
#include "ui/seriesform.h"
#include "ui/support_dialogs.h"

namespace orvane::testing {

// The main window's From File command, answered from a queue of paths.
class TFakeMainForm : public IMainForm {
public:
    explicit TFakeMainForm(TGlobals& g) : g_(g) {}
    QStringList chosenFiles;  // empty: the user cancels
    int fromFileCalls = 0;
    void UpdateMainForm() override {}
    void ChooseDriverFromEditor() override {}
    void MISaveParamClick() override {}
    void MIViewOutFileClick() override {
        ++fromFileCalls;
        if (chosenFiles.isEmpty()) return;
        g_.DisplayFile = chosenFiles.takeFirst().toStdString();
        g_.ReloadNeeded = true;
        g_.OutputCurrent = true;
    }
    double TimeStepFieldValue() const override { return g_.TimeStep; }

private:
    TGlobals& g_;
};

struct TDisplayEnv {
    TGlobals g;
    TScriptedDialogs dialogs;
    TForms forms;
    std::unique_ptr<TFakeMainForm> main;
    std::unique_ptr<TDlgScale> scale;
    std::unique_ptr<TFmDisplayData> display;
    std::unique_ptr<TFmSeries> series;
    QTemporaryDir dir;

    TDisplayEnv() {
        InitialiseGlobals(g);
        g.Messages = &dialogs;
        main = std::make_unique<TFakeMainForm>(g);
        scale = std::make_unique<TDlgScale>(g, dialogs, forms);
        forms.DlgScale = scale.get();
        display = std::make_unique<TFmDisplayData>(g, dialogs, forms, main.get());
        forms.FmDisplayData = display.get();
        series = std::make_unique<TFmSeries>(g, dialogs, forms);
        forms.FmSeries = series.get();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Writes an output file with the given times; value(row, col) gives the
    // number of column col (1-based past the time column) in that row.
    QString WriteOutput(const QString& name, const std::vector<double>& times,
                        const std::function<double(int, int)>& value) {
        const QString path = Path(name);
        const drivearray keptDrivers = g.Drivers;
        statearray states = g.States;
        processarray processes = g.Processes;
        const int nd = g.ModelDef.numdrive;
        const int ns = g.ModelDef.numstate;
        const int np = g.ModelDef.numprocess;
        OpenOutputFile(g, path.toStdString(), ns, states, true, processes, np);
        for (int r = 0; r < static_cast<int>(times.size()); ++r) {
            int c = 1;
            for (int i = 1; i <= nd; ++i) g.Drivers[i].value = value(r, c++);
            for (int i = 1; i <= ns; ++i) states[i].value = value(r, c++);
            for (int i = 1; i <= np; ++i) processes[i].value = value(r, c++);
            WriteOutputRow(g, ns, states, np, processes, times[static_cast<std::size_t>(r)]);
        }
        CloseOutputFile(g);
        g.Drivers = keptDrivers;
        return path;
    }

    // Points the display at `path` and opens it in chart or table mode.
    void Open(const QString& path, bool tableMode = false) {
        g.DisplayFile = path.toStdString();
        g.ReloadNeeded = true;
        g.TableMode = tableMode;
        display->show();
    }

    // Selects the entries of the series list with these names.
    void Select(const QStringList& names) {
        for (const QString& n : names) {
            const auto items = display->LbxSeries->findItems(n, Qt::MatchExactly);
            if (!items.isEmpty()) items.first()->setSelected(true);
        }
    }

    int Column(const QString& name) const { return display->FindColumn(name); }
    TOutputChart* Chart() const { return display->ChOutput; }
    TOutputTableModel* Table() const { return display->OutputTable; }

    // The plotted points of series k.
    QVector<QPointF> Points(int k) const {
        QVector<QPointF> out;
        for (auto it = Chart()->Series(k)->data()->constBegin(); it != Chart()->Series(k)->data()->constEnd(); ++it)
            out << QPointF(it->key, it->value);
        return out;
    }
};

}  // namespace orvane::testing
