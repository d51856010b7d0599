// The results page of the analysis window: the charts of a results folder
// (chosen by kind, output and time) and the members that failed, with their
// messages.
#pragma once

#include <QWidget>
#include <memory>

#include "ui/analysis/analysis_views.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace orvane {

class IDialogService;
class TAnalysisChart;

class TAnalysisResultsPage : public QWidget {
    Q_OBJECT
public:
    TAnalysisResultsPage(IDialogService& dialogs, QWidget* parent = nullptr);
    ~TAnalysisResultsPage() override;

    void Show(TResultsData results);
    void Clear();
    bool HasResults() const { return results_ != nullptr; }
    const TResultsData* Results() const { return results_.get(); }

    // Chart and its settings.
    bool SelectChart(TChartKind kind);
    TChartKind CurrentChart() const;
    bool SelectOutput(const QString& symbol);
    bool SelectTime(double time);

    // The ways out of the chart shown.
    void SaveImageClick();
    void ExportDataClick();
    void PrintClick();

    QLabel* LblSummary = nullptr;
    QComboBox* CbChart = nullptr;
    QComboBox* CbOutput = nullptr;
    QComboBox* CbTime = nullptr;
    QLabel* LblTime = nullptr;
    QSpinBox* SpTop = nullptr;
    QLabel* LblTop = nullptr;
    QPushButton* BtnSaveImage = nullptr;
    QPushButton* BtnExportData = nullptr;
    QPushButton* BtnPrint = nullptr;
    TAnalysisChart* Chart = nullptr;
    QLabel* LblFailed = nullptr;
    QTableWidget* GrdFailed = nullptr;

private:
    void FillTimes();
    void Redraw();
    QString AskSavePath(const QString& title, const QString& ext, const QList<struct TFileFilter>& filters);

    IDialogService& dialogs_;
    std::unique_ptr<TResultsData> results_;
    bool filling_ = false;
};

}  // namespace orvane
