// The analysis window: sets up an ensemble or a sensitivity analysis of the
// site the main window has open, runs it on worker threads while the
// window stays responsive, and shows its results. It reads and writes the
// runner's own experiment files and results folders, so either can carry
// on what the other began.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "ensemble/experiment.h"
#include "ui/analysis/analysis_worker.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace orvane {

struct TGlobals;
struct TResultsData;
class IDialogService;
class TAnalysisResultsPage;
class TAnalysisSetup;

inline constexpr const char* AnalysisCaption = "Ensemble Analysis";

class TFmAnalysis : public QMainWindow {
    Q_OBJECT
public:
    TFmAnalysis(TGlobals& g, IDialogService& dialogs, QWidget* parent = nullptr);
    ~TFmAnalysis() override;

    // Analysis > Ensemble...: shows the window; a set-up not yet begun
    // takes the site the main window has open.
    void ShowFromMain();

    // Commands.
    void MINewClick();
    void MIOpenClick();
    bool MISaveClick();
    bool MISaveAsClick();
    void MIOpenResultsClick();
    void BtnRunClick();
    void BtnCancelClick();
    void ChooseResultsFolder();

    // The same without dialogs (false when it failed; the reason was shown).
    bool OpenExperiment(const QString& path);
    bool SaveExperiment(const QString& path);
    bool OpenResults(const QString& folder);

    bool Running() const { return worker_->Running(); }
    // The results folder Run writes into.
    QString ResultsFolder() const;

    // Controls.
    QTabWidget* Pages = nullptr;
    TAnalysisSetup* Setup = nullptr;
    TAnalysisResultsPage* ResultsPage = nullptr;
    QLineEdit* EdResultsFolder = nullptr;
    QPushButton* BtnResultsFolder = nullptr;
    QPushButton* BtnRun = nullptr;
    QPushButton* BtnCancel = nullptr;
    QProgressBar* PbMembers = nullptr;
    QLabel* LblStatus = nullptr;
    QMenu* MIFile = nullptr;
    QAction* MINew = nullptr;
    QAction* MIOpen = nullptr;
    QAction* MISave = nullptr;
    QAction* MISaveAs = nullptr;
    QAction* MIOpenResults = nullptr;
    QAction* MIClose = nullptr;
    QMenu* MIRun = nullptr;
    QAction* MIRunStart = nullptr;
    QAction* MIRunCancel = nullptr;
    QMenu* MIChart = nullptr;
    QAction* MISaveImage = nullptr;
    QAction* MIExportData = nullptr;
    QAction* MIPrint = nullptr;

signals:
    // A run has ended (completed, cancelled or failed).
    void RunEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void UpdateControls();
    void UpdateCaption();
    void SetupChanged();
    void ShowStatus(const ensemble::TEngineStatus& s);
    void Finished(const TEnsembleEnd& end);
    void Error(const QString& text);
    // Asks to save a changed set-up before it is replaced; false: keep it.
    bool MayLeaveSetup();
    // Forgets the run and the results shown.
    void ClearRun();
    // The experiment that made a results folder, when it can be found, and
    // its base run.
    void AddBaseRun(TResultsData& r);
    QString DefaultResultsFolder() const;

    TGlobals& g_;
    IDialogService& dialogs_;
    std::unique_ptr<TEnsembleWorker> worker_;
    QString runFolder_;
    bool folderEdited_ = false;  // the user chose the results folder
    bool begun_ = false;         // a set-up has been shown (new, opened or edited)
};

}  // namespace orvane
