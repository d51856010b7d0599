// Behaviour of the steady-state window: opening, binding, entries, the update
// with its validation and status light, and the buttons.
#include "ui/calculate_form.h"
#include "ui/qtext.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "io/numfmt.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/data.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr const char* MsgCaption = "Calculate Steady State - Enter values for all underlined items";
constexpr const char* MsgAskCalculate = "Calculate steady state now?";
constexpr const char* MsgCannotCalculate =
    "Cannot calculate process values. Steady state calculation aborted.";
constexpr const char* MsgDiscard = "Discard all changes made in this window since the last save?";
constexpr const char* MsgOverwrite = "Overwrite existing parameter file?";
constexpr const char* MsgNoValuesSaved = "No values saved.";

constexpr int Buttons(std::initializer_list<TMsgButton> bs) {
    int r = 0;
    for (TMsgButton b : bs) r |= static_cast<int>(b);
    return r;
}


// Equal, or both not a number.
bool SameValue(double a, double b) { return a == b || (a != a && b != b); }

std::string MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EOrvaneError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

// Raises the error being handled again, of the same kind, with `prefix`
// before its message.
[[noreturn]] void RethrowPrefixed(const std::string& prefix) {
    try {
        throw;
    } catch (const ECalcInitialProc& e) {
        throw ECalcInitialProc(prefix + e.Message());
    } catch (const ECalcNewValue& e) {
        throw ECalcNewValue(prefix + e.Message());
    } catch (const ECalcNewProcess& e) {
        throw ECalcNewProcess(prefix + e.Message());
    } catch (const ECalculateError& e) {
        throw ECalculateError(prefix + e.Message());
    } catch (const EMathError& e) {
        throw EMathError(prefix + e.Message());
    } catch (const EOrvaneError& e) {
        throw EOrvaneError(prefix + e.Message());
    } catch (...) {
        throw EOrvaneError(prefix + MessageOf(std::current_exception()));
    }
}

}  // namespace

// ---- Fields ------------------------------------------------------------------

void TCalcField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A message box or menu taking the focus for a moment is not leaving the
    // field: the entry is stored when the focus moves within the window.
    const Qt::FocusReason r = event->reason();
    if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason) return;
    if (OnLeave) OnLeave(this);
}

void TCalcField::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && OnKey) OnKey(this, 13);
    QLineEdit::keyPressEvent(event);
}

// ---- Creation ----------------------------------------------------------------

TFmCalculate::TFmCalculate(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), Calc(g), g_(g), dialogs_(dialogs), forms_(forms) {
    setObjectName("FmCalculate");
    setWindowTitle(MsgCaption);
    setSizeGripEnabled(true);
    inputColor_ = palette().color(QPalette::Base);
    groupColor_ = QColor(226, 232, 238);
    resultColor_ = groupColor_;

    BuildTopStrip();
    BuildGroups();

    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(8, 6, 8, 4);
    strip->setSpacing(10);
    strip->addWidget(RgLabelType);
    strip->addWidget(BtnShowallProc);
    strip->addWidget(BtnSaveParamFile);
    strip->addWidget(GbStatus);
    strip->addStretch(1);
    strip->addWidget(BtnOK);
    strip->addWidget(BtnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(strip);
    layout->addWidget(ScrollBox, 1);

    for (TCalcField* f : fields_) {
        if (!f->Input) continue;
        f->OnLeave = [this](TCalcField* field) {
            if (isVisible()) StoreValue(field);
        };
        f->OnKey = [this](TCalcField* field, int key) { GeneralKeyPress(field, key); };
    }
    // An access key presses its button with the focus still in the field
    // being typed; the entry counts as if the field had been left. Only
    // Cancel goes on when the entry cannot be taken.
    connect(BtnOK, &QPushButton::clicked, this,
            [this] { Guarded([this] { TakeFocusedEntry(); BtnOKClick(); }); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] {
        if (auto* field = qobject_cast<TCalcField*>(focusWidget()); field && field->Input)
            StoreValue(field);
        Guarded([this] { BtnCancelClick(); });
    });
    connect(BtnSaveParamFile, &QPushButton::clicked, this,
            [this] { Guarded([this] { TakeFocusedEntry(); BtnSaveParamFileClick(); }); });
    connect(BtnShowallProc, &QPushButton::clicked, this,
            [this] { Guarded([this] { TakeFocusedEntry(); BtnShowallProcClick(); }); });
    for (QRadioButton* rb : {RbNames, RbSymbols}) {
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on) Guarded([this] { RgLabelTypeClick(); });
        });
    }

    FormSetup();
    SetStatus(false);

    // As wide as the groups need, as high as the screen allows.
    const QSize want(ScrollBox->widget()->sizeHint().width() + 40, 900);
    QSize size = want;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        size = size.boundedTo(QSize(avail.width() - 20, avail.height() - 50));
    }
    resize(size);
}

TFmCalculate::~TFmCalculate() = default;

// ---- Binding -----------------------------------------------------------------

int TFmCalculate::GetArrayIndex(TVarKind kind, std::string_view symbol) const {
    return orvane::GetArrayIndex(g_, kind, symbol);
}

void TFmCalculate::FormSetup() {
    const bool names = RbNames->isChecked();
    const auto kindOf = [](const QString& name) -> TVarKind {
        if (name.contains("State")) return KindState;
        if (name.contains("Drive")) return KindDriver;
        if (name.contains("Par")) return KindParam;
        return KindProcess;
    };
    for (TCalcLabel* l : labels_) {
        const QString name = l->objectName();
        const TVarKind kind = kindOf(name);
        const int cut = kind == KindState || kind == KindDriver ? 8 : kind == KindParam ? 7 : 3;
        QString rest = name.mid(cut);
        const int at = rest.indexOf("Units");
        l->Units = at >= 0;
        if (l->Units) rest.remove(at, 5);
        l->Kind = kind;
        l->Index = GetArrayIndex(kind, rest.toStdString());
        std::string_view text;
        const int i = l->Index;
        switch (kind) {
        case KindState:
            text = l->Units ? g_.States[i].units : names ? g_.States[i].name : g_.States[i].symbol;
            break;
        case KindDriver:
            text = l->Units ? g_.Drivers[i].units : names ? g_.Drivers[i].name : g_.Drivers[i].symbol;
            break;
        case KindParam:
            text = l->Units ? g_.Params[i].units : names ? g_.Params[i].name : g_.Params[i].symbol;
            break;
        default:
            text = l->Units ? g_.Processes[i].units
                            : names ? g_.Processes[i].name : g_.Processes[i].symbol;
            break;
        }
        l->setText(Text(text));
    }
    for (TCalcField* f : fields_) {
        const QString name = f->objectName();
        const TVarKind kind = kindOf(name);
        const int cut = kind == KindState || kind == KindDriver ? 7 : kind == KindParam ? 6 : 2;
        f->Kind = kind;
        f->Index = GetArrayIndex(kind, name.mid(cut).toStdString());
    }
}

// ---- Opening -----------------------------------------------------------------

bool TFmCalculate::QuietModes() const { return g_.Sensitivity || g_.MonteCarlo; }

void TFmCalculate::FormShow() {
    ParamFileSaved = false;
    SetStatus(false);
    Calc.Open();  // a driver-file error ends the opening here
    EnableGroupBoxes();
    try {
        Calc.EvaluateStart();
        UpdateForm(false);
        if (QuietModes()) {
            UpdateForm(true);
        } else {
            if (TCalcField* ps = Field("MePs")) ps->setFocus();
            if (dialogs_.MessageDlg(TMsgKind::Confirmation, MsgAskCalculate,
                                    Buttons({TMsgButton::Yes, TMsgButton::No})) == TMsgButton::Yes)
                UpdateForm(true);
        }
    } catch (...) {
        if (QuietModes()) throw;
        // Show what the value sets now hold rather than an earlier opening's values.
        UpdateFormValues();
        for (TCalcField* f : fields_) PaintField(f, CheckValue(f));
        SetStatus(false);
        dialogs_.MessageDlg(TMsgKind::Warning, MsgCannotCalculate, Buttons({TMsgButton::OK}));
    }
}

void TFmCalculate::OpenForm() {
    setWindowModality(Qt::ApplicationModal);
    show();
    try {
        FormShow();
    } catch (...) {
        hide();
        throw;
    }
}

int TFmCalculate::ShowModalForm() {
    OpenForm();
    return exec();
}

void TFmCalculate::showEvent(QShowEvent* event) {
    // The model's insoluble C:N check reads whether this window is showing.
    g_.CalcFormShowing = true;
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this);
    QDialog::showEvent(event);
}

void TFmCalculate::hideEvent(QHideEvent* event) {
    g_.CalcFormShowing = false;
    QDialog::hideEvent(event);
}

// ---- Update ------------------------------------------------------------------

void TFmCalculate::CalculateSteadyState() { Calc.Recalculate(); }

void TFmCalculate::UpdateForm(bool calculate) {
    // Disabling the groups or moving the focus below takes the focus from the
    // field being stored; that must not store it a second time.
    const QScopedValueRollback<bool> busy(updating_, true);
    int invalid = 0;
    try {
        Calc.FinalPass = false;
        if (calculate) CalculateSteadyState();
    } catch (...) {
        if (!g_.InteractiveRun) RethrowPrefixed(MsgCalcFailed);
        const std::string message = MsgCalcFailed + MessageOf(std::current_exception());
        dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(message),
                            Buttons({TMsgButton::OK}));
        DisableGroupBoxes();
        BtnCancel->setFocus();
    }

    UpdateFormValues();
    for (TCalcField* f : fields_) {
        const bool valid = CheckValue(f);
        if (!valid) ++invalid;
        PaintField(f, valid);
    }
    // A failed calculation never shows green, even if the processes it left
    // behind happen to be steady.
    const bool green = Calc.ShowsSteadyState(invalid);
    if (!green && QuietModes()) throw EOrvaneError(MsgInvalidSteadyState);
    SetStatus(green);

    if (g_.InteractiveRun) {
        TDataForm* table = DataForm();
        if (table && table->isVisible() && table->ShowingProcesses) {
            CommitToModel(Calc.ShownSet);
            table->UpdateProcess();
        }
    }
}

void TFmCalculate::UpdateFormValues() {
    for (TCalcField* f : fields_) {
        f->setText(QString::fromStdString(FormatGeneral(Calc.ShownValue(f->Kind, f->Index), 6)));
        f->setCursorPosition(0);
    }
}

bool TFmCalculate::CheckValue(const TCalcField* field) const {
    try {
        return IsValidValue(StrToFloat(field->text().toStdString()));
    } catch (const EConvertError&) {
        return false;
    }
}

void TFmCalculate::PaintField(TCalcField* field, bool valid) {
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, !valid ? QColor(Qt::yellow) : field->Input ? inputColor_ : resultColor_);
    // An invalid value must stay readable inside a disabled group too.
    pal.setColor(QPalette::Disabled, QPalette::Text,
                 !valid ? QColor(80, 80, 80) : palette().color(QPalette::Disabled, QPalette::Text));
    field->setPalette(pal);
}

void TFmCalculate::SetStatus(bool green) {
    ShStatus->SetColor(green ? QColor(0, 170, 0) : QColor(220, 0, 0));
    ShStatus->setToolTip(green ? "Steady state: every state derivative is zero"
                               : "Not at steady state, or a value is invalid");
}

bool TFmCalculate::StatusGreen() const { return ShStatus->Color() == QColor(0, 170, 0); }

// ---- Entries -----------------------------------------------------------------

void TFmCalculate::StoreValue(TCalcField* field) {
    if (updating_) return;
    Guarded([this, field] { TakeEntry(field); });
}

void TFmCalculate::TakeEntry(TCalcField* field) {
    const QString text = field->text();
    if (!field->isModified() || text.trimmed().isEmpty()) return;
    const double value = StrToFloat(text.toStdString());  // a non-number stops here
    const QString name = field->objectName();
    if (name.contains("State")) {
        ChangeValue(KindState, field->Index, value, true);
    } else if (name.contains("Par")) {
        ChangeValue(KindParam, field->Index, value, true);
    } else if (field->Index != 0) {
        ChangeValue(KindProcess, field->Index, value, true);
    }
}

void TFmCalculate::TakeFocusedEntry() {
    auto* field = qobject_cast<TCalcField*>(focusWidget());
    if (field && field->Input && !updating_) TakeEntry(field);
}

void TFmCalculate::GeneralKeyPress(TCalcField* field, int key) {
    if (key == 13) StoreValue(field);
}

void TFmCalculate::ChangeValue(TVarKind kind, int index, double value, bool calculate) {
    Calc.ChangeValue(kind, index, value);
    UpdateForm(calculate);
}

void TFmCalculate::EnableGroupBoxes() {
    for (std::string_view n : GroupsDisabledOnFailure)
        if (QGroupBox* g = Group(QString::fromLatin1(n.data(), static_cast<int>(n.size()))))
            g->setEnabled(true);
}

void TFmCalculate::DisableGroupBoxes() {
    for (std::string_view n : GroupsDisabledOnFailure)
        if (QGroupBox* g = Group(QString::fromLatin1(n.data(), static_cast<int>(n.size()))))
            g->setEnabled(false);
}

// ---- Buttons -----------------------------------------------------------------

void TFmCalculate::BtnOKClick() {
    CommitToModel(Calc.ShownSet);
    if (g_.InteractiveRun) {
        if (TDataForm* table = DataForm(); table && table->isVisible()) table->hide();
    }
    accept();
}

void TFmCalculate::BtnCancelClick() {
    const TMsgButton answer = dialogs_.MessageDlg(TMsgKind::Confirmation, MsgDiscard,
                                                  Buttons({TMsgButton::Yes, TMsgButton::No}));
    CommitToModel(answer == TMsgButton::Yes ? Calc.SavedSet : Calc.ShownSet);
    if (TDataForm* table = DataForm(); table && table->isVisible()) table->hide();
    QDialog::reject();
}

void TFmCalculate::BtnSaveParamFileClick() {
    if (!ParamFileSaved) {
        if (dialogs_.MessageDlg(TMsgKind::Confirmation, MsgOverwrite,
                                Buttons({TMsgButton::Yes, TMsgButton::No})) != TMsgButton::Yes) {
            dialogs_.MessageDlg(TMsgKind::Warning, MsgNoValuesSaved, Buttons({TMsgButton::OK}));
            return;
        }
    }
    g_.States = Calc.ShownSet.States;
    g_.Params = Calc.ShownSet.Params;
    // Marked as unsaved until the save has really written them.
    g_.ParamsChanged = true;
    if (IMainForm* main = MainLink()) main->MISaveParamClick();
    ParamFileSaved = true;
    Calc.MarkSaved();
}

void TFmCalculate::BtnShowallProcClick() {
    CommitToModel(Calc.ShownSet);
    if (TDataForm* table = DataForm()) table->ShowProcess();
}

void TFmCalculate::RgLabelTypeClick() { FormSetup(); }

void TFmCalculate::keyPressEvent(QKeyEvent* event) {
    // Escape presses Cancel; the window's own close control just closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (BtnCancel->isEnabled()) BtnCancel->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Helpers -----------------------------------------------------------------

void TFmCalculate::CommitToModel(const TValueSet& set) {
    // New initial states or parameters in the model are unsaved work: the
    // exit question must know of them.
    bool changed = false;
    for (int i = 1; i <= g_.ModelDef.numstate && !changed; ++i)
        changed = !SameValue(g_.States[i].value, set.States[i].value);
    for (int i = 1; i <= g_.ModelDef.numparam && !changed; ++i)
        changed = !SameValue(g_.Params[i].value, set.Params[i].value);
    CopySetToModel(g_, set);
    if (changed) g_.ParamsChanged = true;
}

void TFmCalculate::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ReportError(dialogs_, std::current_exception());
    }
}

IMainForm* TFmCalculate::MainLink() const {
    if (MainFormLink) return MainFormLink;
    return forms_.MainForm;
}

TDataForm* TFmCalculate::DataForm() const { return forms_.DataForm; }

TCalcField* TFmCalculate::Field(const QString& name) const {
    for (TCalcField* f : fields_)
        if (f->objectName() == name) return f;
    return nullptr;
}

TCalcLabel* TFmCalculate::Label(const QString& name) const {
    for (TCalcLabel* l : labels_)
        if (l->objectName() == name) return l;
    return nullptr;
}

QGroupBox* TFmCalculate::Group(const QString& name) const {
    if (GbStatus && name == GbStatus->objectName()) return GbStatus;
    for (QGroupBox* g : groups_)
        if (g->objectName() == name) return g;
    return nullptr;
}

}  // namespace orvane
