// The set-up page of the analysis window: the site and its run, the
// optional steady-state step, the factors, the design and the outputs.
// Every change is checked at once by the experiment reader itself (on the
// text the set-up would save), so the window accepts exactly what the
// runner accepts; a bad entry is marked where it was made, with the reason.
#pragma once

#include <QMap>
#include <QString>
#include <QWidget>
#include <vector>

#include "ensemble/experiment.h"
#include "ensemble/experiment_write.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableView;

namespace orvane {

struct TGlobals;
class IDialogService;
class TFactorTableModel;
class TVariablePicker;

class TAnalysisSetup : public QWidget {
    Q_OBJECT
public:
    TAnalysisSetup(const TGlobals& g, IDialogService& dialogs, QWidget* parent = nullptr);
    ~TAnalysisSetup() override;

    // A new set-up on the site the main window has open.
    void NewFromSite(const TGlobals& g);
    // Takes only the site (files, run times, calculation time) from it.
    void TakeSite(const TGlobals& g);
    // Shows an experiment as read from its file.
    void SetExperiment(const ensemble::TExperiment& e);

    // The experiment file the set-up belongs to (relative names in it are
    // relative to its folder); empty for a new one.
    void SetPath(const QString& path) { path_ = path; }
    const QString& Path() const { return path_; }

    // Checks everything again, marks the bad entries and says Changed().
    void Revalidate();
    bool Valid() const { return valid_; }
    // The first problem, for the window's status line (empty when valid).
    QString Problem() const { return problem_; }
    // The set-up as an experiment (meaningful when Valid()).
    const ensemble::TExperiment& Draft() const { return draft_; }
    // The reason marked on a field (empty: none).
    QString FieldProblem(const QWidget* field) const { return fieldProblems_.value(field); }

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    // Adds the picked variable as a factor / an output.
    void AddFactor();
    void AddOutput();
    // The field of a design setting of the current method.
    QWidget* MethodField(const QString& key) const { return methodFields_.value(key); }
    void SetMethod(const QString& method);

    // Controls.
    QLineEdit* EdParamFile = nullptr;
    QLineEdit* EdDriverFile = nullptr;
    QPushButton* BtnFromMain = nullptr;
    QLineEdit* EdStart = nullptr;
    QLineEdit* EdStop = nullptr;
    QLineEdit* EdStep = nullptr;
    QLineEdit* EdOutputStep = nullptr;
    QComboBox* CbIntegrator = nullptr;
    QLineEdit* EdRtol = nullptr;
    QLineEdit* EdAtol = nullptr;
    QCheckBox* CbSteadyState = nullptr;
    QLineEdit* EdAtTime = nullptr;
    QLineEdit* EdPasses = nullptr;
    TVariablePicker* Picker = nullptr;
    QPushButton* BtnAddFactor = nullptr;
    QPushButton* BtnAddOutput = nullptr;
    QTableView* GrdFactors = nullptr;
    TFactorTableModel* Factors = nullptr;
    QPushButton* BtnRemoveFactor = nullptr;
    QComboBox* CbMethod = nullptr;
    QLineEdit* EdMembers = nullptr;
    QLabel* LblMembers = nullptr;
    QLineEdit* EdSeed = nullptr;
    QLineEdit* EdDesignFile = nullptr;
    QPushButton* BtnDesignFile = nullptr;
    QListWidget* LbxOutputs = nullptr;
    QPushButton* BtnRemoveOutput = nullptr;
    QRadioButton* RbAllTimes = nullptr;
    QRadioButton* RbTheseTimes = nullptr;
    QLineEdit* EdTimes = nullptr;

signals:
    // After every check.
    void Changed();
    // The main window's site is wanted.
    void SiteWanted();

private:
    void BuildControls();
    QWidget* BuildSiteRow();
    QWidget* BuildFactorsRow();
    QWidget* BuildDesignRow();
    void BuildMethodFields();
    void UpdatePickerButtons();
    void Edited();
    void ChooseDesignFile();
    void ShowIntegrator(const TIntegratorChoice& choice);

    // Reads the controls into draft_; entries that are not numbers are
    // marked. False when any is.
    bool ReadControls();
    void Check();
    // Marks where the reader's complaint points; the factor it is about (in
    // the experiment read, whose factors are the set-up's `rows`), or -1.
    int MarkComplaint(const std::string& message, const std::string& path,
                      const std::vector<ensemble::TSettingPlace>& places, const std::vector<int>& rows);
    void MarkField(QWidget* field, const QString& reason);
    void ClearMarks();
    double Number(QLineEdit* field, bool& ok);

    const TGlobals& g_;
    IDialogService& dialogs_;
    QString path_;
    ensemble::TExperiment draft_;
    bool valid_ = false;
    bool modified_ = false;
    bool filling_ = false;  // the controls are being filled: no checks yet
    QString problem_;
    QMap<const QWidget*, QString> fieldProblems_;
    QMap<QString, QWidget*> methodFields_;  // of the current method
    QMap<QString, QString> methodValues_;   // every method setting typed, by key
    QFormLayout* methodForm_ = nullptr;
    QWidget* methodPanel_ = nullptr;
    std::vector<ensemble::TOutputVariable> outputs_;
};

}  // namespace orvane
