// The workbench's main window: names the three files, holds the time
// settings, starts runs and opens every other window through its menus.
#pragma once

#include <QHash>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <exception>
#include <functional>

#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "ui/mainform_iface.h"

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;

namespace orvane {

struct TRunResult;

// A label that runs a command when clicked (its access key only moves the
// focus to its field, as a label's should).
class TClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The main window's client area: a horizontal gradient from light cyan to
// blue behind the controls.
class TGradientBackground : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The general error report: shows the message of an error that escaped a
// command in an error box. The program goes on.
void ReportError(IDialogService& dialogs, std::exception_ptr error);
// Runs one command and sends whatever escapes it to the general error report.
void RunGuarded(IDialogService& dialogs, const std::function<void()>& command);

class TMainForm : public QMainWindow, public IMainForm {
    Q_OBJECT

public:
    // Where a file choice comes from: the text field, its label, the menu
    // item, or (for the driver file) the driver editor.
    enum class TFileSource { Box, Label, Menu, Editor };

    // `applicationTitle` is the program file's name without directory and
    // extension; it selects the mode flags.
    TMainForm(TGlobals& g, IDialogService& dialogs, const QString& applicationTitle,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    // The registry of the program's windows; the other windows keep a
    // reference to it.
    TForms& Forms() { return forms_; }
    TGlobals& Globals() { return g_; }
    IDialogService& Dialogs() { return dialogs_; }

    // Mode flags, set once at start-up from the application title.
    bool ModelBatch() const { return g_.ModelBatch; }
    bool Sensitivity() const { return g_.Sensitivity; }
    bool MonteCarlo() const { return g_.MonteCarlo; }
    bool InteractiveRun() const { return g_.InteractiveRun; }

    // IMainForm
    void UpdateMainForm() override;
    void ChooseDriverFromEditor() override;
    void MISaveParamClick() override;
    void MIViewOutFileClick() override;
    double TimeStepFieldValue() const override;

    // File choices.
    void ChooseParamFile(TFileSource source);
    void ChooseDriver(TFileSource source);
    void ChooseOutputFile(TFileSource source);
    void MISaveAsParamClick();

    // Time settings.
    void StartBoxChange();
    void StopBoxChange();
    void StepBoxChange();
    void MIOutTimeStepClick();
    void MICalTimeClick();

    // The run.
    void BtnRunClick();
    bool Running() const { return running_; }

    void MIAboutClick();
    void MIExitClick();

    // Commands that open the other windows (mainform_links.cpp).
    void DisplayOutput(bool tableMode);
    void MIEditParamClick();
    void MIEditStatesClick();
    void MIEditDrvClick();
    void MICalcSSClick();
    void MIEnsembleClick();
    void BtnReloadClick();

    // Runs a command with the general error report around it.
    void Guarded(const std::function<void()>& command) { RunGuarded(dialogs_, command); }
    // Takes every field edit that no leaving of its field has taken yet, as
    // leaving would: an access key, a shortcut, a menu or a label starts its
    // command with the focus still in the field (mainform_edits.cpp).
    void TakeFieldEdits();

    // Controls, named as the user documentation names them.
    TGradientBackground* Background = nullptr;
    TClickLabel* ParamLabel = nullptr;
    QLineEdit* ParamBox = nullptr;
    TClickLabel* DriverLabel = nullptr;
    QLineEdit* DriverBox = nullptr;
    TClickLabel* OutputLabel = nullptr;
    QLineEdit* OutputBox = nullptr;
    QLabel* StartLabel = nullptr;
    QLineEdit* MEStartTime = nullptr;
    QLabel* StopLabel = nullptr;
    QLineEdit* MEStopTime = nullptr;
    QLabel* StepLabel = nullptr;
    QLineEdit* METimeStep = nullptr;
    QLabel* PresentLabel = nullptr;
    QLineEdit* PresentBox = nullptr;
    QPushButton* BtnRun = nullptr;
    QPushButton* BtnReload = nullptr;

    // The window's design is shared with a sibling model that asks for a
    // number of species; those controls are kept, hidden and inert, here.
    QLabel* LblWelcome = nullptr;
    QLabel* LblDirections = nullptr;
    QLabel* LblSpecies1 = nullptr;
    QLabel* LblSpecies2 = nullptr;
    QLineEdit* EdNumSpecies = nullptr;
    void EdNumSpecieschange() {}
    void EdNumSpeciesExit() {}
    void SetNumSpecies() {}

    QMenu* MIFiles = nullptr;
    QMenu* MIParamFile = nullptr;
    QAction* MIChooseParam = nullptr;
    QAction* MISaveParam = nullptr;
    QAction* MISaveAsParam = nullptr;
    QMenu* MIDriverFile = nullptr;
    QAction* MIChooseDriver = nullptr;
    QAction* MIEditDriverFile = nullptr;
    QAction* MIOutputFile = nullptr;
    QAction* MIExit = nullptr;
    QMenu* MIEdit = nullptr;
    QAction* MIEditParam = nullptr;
    QAction* MIEditStates = nullptr;
    QAction* MIEditDrv = nullptr;
    QMenu* MICalculate = nullptr;
    QAction* MICalTime = nullptr;
    QAction* MICalcSS = nullptr;
    QMenu* MIAnalysis = nullptr;
    QAction* MIEnsemble = nullptr;
    QMenu* MIOutput = nullptr;
    QAction* MIChart = nullptr;
    QAction* MITable = nullptr;
    QAction* MIViewOutFile = nullptr;
    QAction* MIOutTimeStep = nullptr;
    QAction* MIAbout = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

signals:
    // The window has closed: the program ends.
    void Closed();

private:
    void FormCreate(const QString& applicationTitle);
    void BuildControls();
    void BuildMenus();
    void CheckAndCorrectOutputStep();
    void FieldLeft(QLineEdit* field);
    void SetAllValuesToZero();
    // Asks about unsaved parameter edits and saves them if wanted; false
    // when the program is to go on.
    bool MayClose();
    bool AskFile(bool save, const TFileDialogSpec& dlgSpec, QString& path);
    // Asks `question` about unsaved parameter edits (Yes, No, Cancel); Yes
    // saves them through the save dialog preset with `name`, which then holds
    // the name saved to. False when the user cancels either.
    bool SaveEditsFirst(const QString& question, std::string& name);
    // A time field whose entry was refused shows the value in use again.
    void ShowValueInUse(QLineEdit* field);
    void AcceptTimeText(QLineEdit* field);
    void ShowRunTime(double time);
    void ReportCancelledRun(const TRunResult& result);

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms forms_;
    bool running_ = false;
    bool ignoreLeave_ = false;
    bool asked_ = false;  // Exit has already asked about unsaved edits
    QList<QLineEdit*> edited_;                // edited since they were last taken
    QHash<const QLineEdit*, QString> inUse_;  // time fields: the text last accepted
};

}  // namespace orvane
