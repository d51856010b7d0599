// Speed of the output display on a large output file (10,000 rows, ~32 MB):
// opening it as a table and as a chart of 10 series, and redrawing that
// chart; and, for comparison, merely reading the file's bytes, and reading
// the file into a table of numbers without any window, on one thread and
// on as many as help. Times are wall-clock; CPU is that of the whole process,
// so that work on other threads counts.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>

#include "io/fileio.h"
#include "io/outputtable.h"
#include "model/catalogue.h"
#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_table.h"
#include "ui/forms.h"

using namespace orvane;

namespace {

constexpr int kRows = 10000;

class TSilentDialogs : public IDialogService {
public:
    int messages = 0;
    TMsgButton MessageDlg(TMsgKind, const QString&, TMsgButtons) override {
        ++messages;
        return TMsgButton::OK;
    }
    QString InputBox(const QString&, const QString&, const QString& d) override { return d; }
    bool OpenFile(const TFileDialogSpec&, QString&) override { return false; }
    bool SaveFile(const TFileDialogSpec&, QString&) override { return false; }
    void Beep() override {}
};

struct TBench {
    TGlobals g;
    TSilentDialogs dialogs;
    TForms forms;
    QTemporaryDir dir;
    std::string path;
    std::unique_ptr<TFmDisplayData> display;

    TBench() {
        InitialiseGlobals(g);
        g.Messages = &dialogs;
        path = dir.filePath("large.out").toStdString();
        WriteLargeFile();
        display = std::make_unique<TFmDisplayData>(g, dialogs, forms, nullptr);
        forms.FmDisplayData = display.get();
        display->resize(1366, 768);
        g.DisplayFile = path;
    }

    // Smooth, varied values with full 13-digit mantissas, as a run writes them.
    void WriteLargeFile() {
        statearray states = g.States;
        processarray processes = g.Processes;
        const int nd = g.ModelDef.numdrive;
        const int ns = g.ModelDef.numstate;
        const int np = g.ModelDef.numprocess;
        OpenOutputFile(g, path, ns, states, true, processes, np);
        for (int r = 0; r < kRows; ++r) {
            const double t = r * 0.1;
            int c = 1;
            auto v = [&](int col) { return (col + 1) * 12.345678901 * (1.5 + std::sin(t * 0.01 * col + col)); };
            for (int i = 1; i <= nd; ++i) g.Drivers[i].value = v(c++);
            for (int i = 1; i <= ns; ++i) states[i].value = v(c++);
            for (int i = 1; i <= np; ++i) processes[i].value = v(c++);
            WriteOutputRow(g, ns, states, np, processes, t);
        }
        CloseOutputFile(g);
    }

    void Open(bool tableMode) {
        g.ReloadNeeded = true;
        g.TableMode = tableMode;
        display->show();
        QApplication::processEvents();
    }

    void SelectTen() {
        display->LbxSeries->clearSelection();
        for (int i = 0; i < 10; ++i) display->LbxSeries->item(5 + i * 13)->setSelected(true);
    }
};

void BM_ReadFileBytes(benchmark::State& state, TBench* b) {
    for (auto _ : state) {
        std::ifstream in(b->path, std::ios::binary);
        in.seekg(0, std::ios::end);
        std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(QFileInfo(QString::fromStdString(b->path)).size()));
}

void BM_ReadTable(benchmark::State& state, TBench* b, int threads) {
    TOutputTable table = OutputTableColumns(b->g);
    TOutputReadOptions options;
    options.threads = threads;
    for (auto _ : state) {
        if (ReadOutputTable(b->path, table, options) || table.Rows() != kRows) state.SkipWithError("rows missing");
        benchmark::DoNotOptimize(table.values.data());
    }
}

void BM_OpenAsTable(benchmark::State& state, TBench* b) {
    for (auto _ : state) {
        b->Open(true);
        state.PauseTiming();
        if (b->display->OutputTable->DataRowCount() != kRows) state.SkipWithError("rows missing");
        b->display->close();
        state.ResumeTiming();
    }
}

void BM_OpenAsChartOfTenSeries(benchmark::State& state, TBench* b) {
    b->SelectTen();
    for (auto _ : state) {
        b->Open(false);
        b->display->UpdateChart();
        QApplication::processEvents();
        state.PauseTiming();
        b->display->close();
        state.ResumeTiming();
    }
}

void BM_RedrawChart(benchmark::State& state, TBench* b, bool logarithmic) {
    b->SelectTen();
    b->g.ReloadNeeded = true;
    b->g.TableMode = false;
    b->display->show();
    b->display->SetAxisLog(false, logarithmic);
    b->display->UpdateChart();
    for (auto _ : state) b->display->ChOutput->replot(QCustomPlot::rpImmediateRefresh);
    b->display->SetAxisLog(false, false);
    b->display->close();
}

void BM_UpdateChart(benchmark::State& state, TBench* b) {
    b->SelectTen();
    b->g.ReloadNeeded = true;
    b->g.TableMode = false;
    b->display->show();
    for (auto _ : state) b->display->UpdateChart();
    b->display->close();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TBench bench;
    auto add = [](benchmark::internal::Benchmark* bm) {
        bm->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    };
    add(benchmark::RegisterBenchmark("ReadFileBytes", BM_ReadFileBytes, &bench));
    add(benchmark::RegisterBenchmark("ReadTable/one thread", BM_ReadTable, &bench, 1));
    add(benchmark::RegisterBenchmark("ReadTable/threads", BM_ReadTable, &bench, 0));
    add(benchmark::RegisterBenchmark("OpenAsTable", BM_OpenAsTable, &bench));
    add(benchmark::RegisterBenchmark("OpenAsChartOfTenSeries", BM_OpenAsChartOfTenSeries, &bench));
    add(benchmark::RegisterBenchmark("UpdateChart", BM_UpdateChart, &bench));
    add(benchmark::RegisterBenchmark("RedrawChart/linear", BM_RedrawChart, &bench, false));
    add(benchmark::RegisterBenchmark("RedrawChart/logarithmic", BM_RedrawChart, &bench, true));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
