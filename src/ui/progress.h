// The progress window of a run. It also keeps the interface responsive
// while the run occupies the interface thread, so that Cancel can be used.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

#include "model/globals.h"
#include "run/run.h"
#include "ui/dialogs.h"
#include "ui/forms.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvane {

class TFmProgress : public QDialog, public IRunProgress {
    Q_OBJECT

public:
    TFmProgress(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // Sets the caption and the start and stop times; runs at every opening.
    void FormShow();
    // Shows the window for a run and clears any earlier cancel request.
    void BeginRun();
    // Hides the window after a run.
    void EndRun();

    // IRunProgress: moves the bar, lets the interface process pending input
    // now and then, and raises EUserCancel once Cancel has been clicked.
    void Progress(int percent) override;

    // Told the time the run has reached each time the interface catches up.
    std::function<void(double time)> OnTimeReached;

    // What a click on Cancel does.
    void BtnCancelClick() { cancelRequested_ = true; }
    bool CancelRequested() const { return cancelRequested_; }

    QLabel* LblBegin = nullptr;
    QProgressBar* runProgressBar = nullptr;
    QLabel* LblEnd = nullptr;
    QPushButton* BtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
    bool cancelRequested_ = false;
    QElapsedTimer sinceEvents_;
};

}  // namespace orvane
