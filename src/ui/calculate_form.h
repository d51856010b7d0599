// The steady-state window: the user describes a site at equilibrium in 83
// entry fields, every accepted entry reruns the steady-state solver at once,
// and 158 fields show the result; a status light tells whether every state
// derivative is then zero. OK commits the shown values to the model, Cancel
// discards or commits them, Save parameter file writes them.
//
// Every value field and label is bound to its variable by its object name:
// MeState<symbol>, MeDrive<symbol>, MePar_<symbol>, Me<symbol> (a process), and
// LblState..., LblDrive..., LblPar_..., Lbl... for the captions, with "Units"
// appended for the units labels.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <exception>
#include <functional>
#include <string_view>

#include "calc/calculate.h"

class QGroupBox;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace orvane {

struct TGlobals;
struct TForms;
class IDialogService;
class IMainForm;

// A value field bound to one variable of the window's value sets.
class TCalcField : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    TVarKind Kind = KindProcess;
    int Index = 0;
    bool Input = false;
    std::function<void(TCalcField*)> OnLeave;
    std::function<void(TCalcField*, int key)> OnKey;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A caption or units label bound to one variable.
class TCalcLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    TVarKind Kind = KindProcess;
    int Index = 0;
    bool Units = false;
};

// The round status light.
class TStatusLight : public QWidget {
    Q_OBJECT
public:
    explicit TStatusLight(QWidget* parent = nullptr);
    void SetColor(const QColor& c);
    QColor Color() const { return color_; }
    QSize sizeHint() const override { return {26, 26}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};

class TFmCalculate : public QDialog {
    Q_OBJECT
public:
    TFmCalculate(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);
    ~TFmCalculate() override;

    // The value sets and the solver (SavedSet, WorkSet, ShownSet,
    // StartProcesses, FinalPass).
    TSteadyStateCalc Calc;
    // The parameter file has been overwritten from this window since it opened.
    bool ParamFileSaved = false;
    // Where Save parameter file sends its save command; the main window
    // unless set otherwise.
    IMainForm* MainFormLink = nullptr;

    // Opens the window modally and returns its result when it closes. An
    // error of the opening (a missing driver file; in the sensitivity and
    // Monte Carlo modes any error of the first calculation) ends the opening
    // and passes on to the caller.
    int ShowModalForm();
    // The same opening, but returns as soon as the window shows (tests).
    void OpenForm();

    void FormSetup();
    void FormShow();
    void UpdateForm(bool calculate);
    void UpdateFormValues();
    bool CheckValue(const TCalcField* field) const;
    void StoreValue(TCalcField* field);
    // StoreValue without the error report: raises what the entry raises.
    void TakeEntry(TCalcField* field);
    // Takes the entry of the input field that has the focus, if any.
    void TakeFocusedEntry();
    void GeneralKeyPress(TCalcField* field, int key);
    void ChangeValue(TVarKind kind, int index, double value, bool calculate);
    int GetArrayIndex(TVarKind kind, std::string_view symbol) const;
    void CalculateSteadyState();
    void EnableGroupBoxes();
    void DisableGroupBoxes();

    void BtnOKClick();
    void BtnCancelClick();
    void BtnSaveParamFileClick();
    void BtnShowallProcClick();
    void RgLabelTypeClick();

    // Lookup by object name; nullptr when there is none.
    TCalcField* Field(const QString& name) const;
    TCalcLabel* Label(const QString& name) const;
    QGroupBox* Group(const QString& name) const;
    const QList<TCalcField*>& Fields() const { return fields_; }
    const QList<QGroupBox*>& Groups() const { return groups_; }
    bool StatusGreen() const;

    QGroupBox* RgLabelType = nullptr;
    QRadioButton* RbNames = nullptr;
    QRadioButton* RbSymbols = nullptr;
    QPushButton* BtnShowallProc = nullptr;
    QPushButton* BtnSaveParamFile = nullptr;
    QGroupBox* GbStatus = nullptr;
    TStatusLight* ShStatus = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    QScrollArea* ScrollBox = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildTopStrip();
    void BuildGroups();
    void PaintField(TCalcField* field, bool valid);
    void SetStatus(bool green);
    // Copies a value set into the model's arrays, marking changed states or
    // parameters as unsaved.
    void CommitToModel(const TValueSet& set);
    // Runs a handler of this window; whatever escapes it goes to the general
    // error report and the window stays open.
    void Guarded(const std::function<void()>& handler);
    IMainForm* MainLink() const;
    class TDataForm* DataForm() const;
    bool QuietModes() const;

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
    QList<TCalcField*> fields_;
    QList<TCalcLabel*> labels_;
    QList<QGroupBox*> groups_;
    QColor inputColor_;
    QColor resultColor_;
    QColor groupColor_;
    bool updating_ = false;
};

}  // namespace orvane
