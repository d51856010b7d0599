#include "ui/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "run/filecheck.h"
#include "run/outputstep.h"
#include "run/run.h"
#include "ui/aboutbox.h"
#include "ui/progress.h"
#include "ui/trouble.h"

namespace orvane {

// ---- General error report --------------------------------------------------

void ReportError(IDialogService& dialogs, std::exception_ptr error) {
    const int ok = static_cast<int>(TMsgButton::OK);
    try {
        std::rethrow_exception(error);
    } catch (const EOrvaneError& e) {
        dialogs.MessageDlg(TMsgKind::Error, QString::fromStdString(e.Message()), ok);
    } catch (const std::exception& e) {
        dialogs.MessageDlg(TMsgKind::Error, QString::fromLocal8Bit(e.what()), ok);
    } catch (...) {
        dialogs.MessageDlg(TMsgKind::Error, "Unknown error", ok);
    }
}

void RunGuarded(IDialogService& dialogs, const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        ReportError(dialogs, std::current_exception());
    }
}

// ---- Small widgets -----------------------------------------------------------

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
        OnClick();
}

void TGradientBackground::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, QColor(215, 255, 255));
    gradient.setColorAt(1, QColor(30, 80, 235));
    p.fillRect(rect(), gradient);
}

// ---- File dialogs of the main window ----------------------------------------

namespace {

TFileDialogSpec DlgOpenParam(const QString& name) {
    TFileDialogSpec s;
    s.title = "Choose Parameter File";
    s.defaultExt = "par";
    s.filters = {{"Parameter FIles (*.par)", "*.par"}, {"All Files", "*.*"}};
    s.initialName = name;
    s.promptCreate = true;
    s.hideReadOnly = true;
    return s;
}

TFileDialogSpec DlgSaveParam(const QString& name) {
    TFileDialogSpec s;
    s.title = "Save Parameter File";
    s.defaultExt = "par";
    s.filters = {{"Parameter Files (*.par)", "*.par"}, {"All Files", "*.*"}};
    s.initialName = name;
    s.promptOverwrite = true;
    s.promptCreate = true;
    s.refuseReadOnly = true;
    return s;
}

TFileDialogSpec DlgOpenDriver(const QString& name) {
    TFileDialogSpec s;
    s.title = "Open Driver File";
    s.defaultExt = "drr";
    s.filters = {{"Driver files (*.drr)", "*.drr"}, {"All files", "*.*"}};
    s.initialName = name;
    s.promptCreate = true;
    s.hideReadOnly = true;
    return s;
}

QList<TFileFilter> OutputFilters() {
    return {{"Output Files (*.out)", "*.out"}, {"All Files (*.*)", "*.*"}};
}

TFileDialogSpec DlgSaveOutput(const QString& name) {
    TFileDialogSpec s;
    s.title = "Save Output File as";
    s.defaultExt = "out";
    s.filters = OutputFilters();
    s.initialName = name;
    return s;
}

TFileDialogSpec DlgOpenOutput() {
    TFileDialogSpec s;
    s.title = "Open Output File";
    s.defaultExt = "out";
    s.filters = OutputFilters();
    s.mustExist = true;
    return s;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

bool FileExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(name, ec);
}

// A time step the run can use: zero, negative or non-finite steps would make
// it loop for ever or not at all.
double ValidTimeStep(const std::string& text) {
    const double v = StrToFloat(text);
    if (!(v > 0) || !std::isfinite(v))
        throw EConvertError("Time step must be a number greater than 0.");
    return v;
}

}  // namespace

// ---- Creation ----------------------------------------------------------------

TMainForm::TMainForm(TGlobals& g, IDialogService& dialogs, const QString& applicationTitle,
                     QWidget* parent)
    : QMainWindow(parent), g_(g), dialogs_(dialogs) {
    FormCreate(applicationTitle);
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate(const QString& applicationTitle) {
    setObjectName("MainForm");
    g_.Messages = &dialogs_;
    InitialiseGlobals(g_);

    BuildControls();
    BuildMenus();
    setWindowTitle(Q(g_.ModelDef.modelname));

    const QString title = applicationTitle.toLower();
    g_.ModelBatch = title == "modelbatch";
    g_.Sensitivity = title == "sensitivity";
    g_.MonteCarlo = title == "montecarlo";
    g_.InteractiveRun = title.contains("orvane");

    // A fixed-size window without a maximize control, centred on the screen.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    adjustSize();
    setFixedSize(sizeHint());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TMainForm::BuildControls() {
    QFont f = font();
    f.setPointSize(8);
    f.setBold(true);
    setFont(f);

    Background = new TGradientBackground(this);
    Background->setObjectName("Background");
    setCentralWidget(Background);

    auto fileLabel = [this](const QString& caption, const char* name) {
        auto* l = new TClickLabel(caption, Background);
        l->setObjectName(name);
        l->setCursor(Qt::PointingHandCursor);
        l->setToolTip("Click to choose the file");
        return l;
    };
    auto field = [this](const char* name, const QString& text = QString()) {
        auto* e = new QLineEdit(text, Background);
        e->setObjectName(name);
        e->installEventFilter(this);
        connect(e, &QLineEdit::textEdited, this, [this, e] {
            if (!edited_.contains(e)) edited_ << e;
        });
        return e;
    };
    auto label = [this](const QString& caption, const char* name) {
        auto* l = new QLabel(caption, Background);
        l->setObjectName(name);
        return l;
    };

    ParamLabel = fileLabel("&Parameter File", "ParamLabel");
    ParamBox = field("ParamBox");
    DriverLabel = fileLabel("&Driver File", "DriverLabel");
    DriverBox = field("DriverBox");
    OutputLabel = fileLabel("O&utput File", "OutputLabel");
    OutputBox = field("OutputBox");
    for (QLineEdit* box : {ParamBox, DriverBox, OutputBox}) box->setMinimumWidth(380);
    ParamLabel->setBuddy(ParamBox);
    DriverLabel->setBuddy(DriverBox);
    OutputLabel->setBuddy(OutputBox);
    ParamLabel->OnClick = [this] { Guarded([this] { TakeFieldEdits(); ChooseParamFile(TFileSource::Label); }); };
    DriverLabel->OnClick = [this] { Guarded([this] { TakeFieldEdits(); ChooseDriver(TFileSource::Label); }); };
    OutputLabel->OnClick = [this] { Guarded([this] { TakeFieldEdits(); ChooseOutputFile(TFileSource::Label); }); };

    // Start and stop are whole numbers of up to five digits; the time step
    // takes up to five characters of any kind and is checked when read.
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), this);
    StartLabel = label("&Start Time", "StartLabel");
    MEStartTime = field("MEStartTime", "0");
    StopLabel = label("S&top Time", "StopLabel");
    MEStopTime = field("MEStopTime", "2");
    StepLabel = label("Ti&me Step", "StepLabel");
    METimeStep = field("METimeStep", "1");
    for (QLineEdit* e : {MEStartTime, MEStopTime, METimeStep}) {
        e->setMaxLength(5);
        e->setFixedWidth(72);
    }
    MEStartTime->setValidator(digits);
    MEStopTime->setValidator(digits);
    StartLabel->setBuddy(MEStartTime);
    StopLabel->setBuddy(MEStopTime);
    StepLabel->setBuddy(METimeStep);
    for (QLineEdit* e : {MEStartTime, MEStopTime, METimeStep}) AcceptTimeText(e);

    PresentLabel = label("Present Time", "PresentLabel");
    PresentBox = new QLineEdit("0", Background);
    PresentBox->setObjectName("PresentBox");
    PresentBox->setReadOnly(true);
    PresentBox->setFocusPolicy(Qt::NoFocus);
    PresentBox->setFixedWidth(72);
    QPalette grey = PresentBox->palette();
    grey.setColor(QPalette::Base, QColor(212, 212, 212));
    grey.setColor(QPalette::Text, QColor(80, 80, 80));
    PresentBox->setPalette(grey);

    BtnRun = new QPushButton("&Run", Background);
    BtnRun->setObjectName("BtnRun");
    BtnRun->setEnabled(false);
    BtnReload = new QPushButton("Re&load", Background);
    BtnReload->setObjectName("BtnReload");
    for (QPushButton* b : {BtnRun, BtnReload}) {
        b->setMinimumSize(96, 30);
        b->setAutoDefault(false);
    }
    connect(BtnRun, &QPushButton::clicked, this,
            [this] { Guarded([this] { TakeFieldEdits(); BtnRunClick(); }); });
    connect(BtnReload, &QPushButton::clicked, this,
            [this] { Guarded([this] { TakeFieldEdits(); BtnReloadClick(); }); });

    // Enter in a time field runs its handler, as leaving it does.
    for (QLineEdit* e : {MEStartTime, MEStopTime, METimeStep})
        connect(e, &QLineEdit::returnPressed, this, [this, e] { Guarded([this, e] { FieldLeft(e); }); });

    // Files above; times on the left below them, where the background is
    // light; the two buttons on the right.
    auto* files = new QGridLayout;
    files->setHorizontalSpacing(10);
    files->setVerticalSpacing(8);
    files->addWidget(ParamLabel, 0, 0);
    files->addWidget(ParamBox, 0, 1);
    files->addWidget(DriverLabel, 1, 0);
    files->addWidget(DriverBox, 1, 1);
    files->addWidget(OutputLabel, 2, 0);
    files->addWidget(OutputBox, 2, 1);

    auto* times = new QGridLayout;
    times->setHorizontalSpacing(10);
    times->setVerticalSpacing(8);
    times->addWidget(StartLabel, 0, 0);
    times->addWidget(MEStartTime, 0, 1);
    times->addWidget(StopLabel, 1, 0);
    times->addWidget(MEStopTime, 1, 1);
    times->addWidget(StepLabel, 2, 0);
    times->addWidget(METimeStep, 2, 1);
    times->addWidget(PresentLabel, 3, 0);
    times->addWidget(PresentBox, 3, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    buttons->addWidget(BtnRun);
    buttons->addWidget(BtnReload);
    buttons->addStretch();

    auto* lower = new QHBoxLayout;
    lower->addLayout(times);
    lower->addStretch();
    lower->addLayout(buttons);
    lower->addSpacing(24);

    auto* layout = new QVBoxLayout(Background);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(18);
    layout->addLayout(files);
    layout->addLayout(lower);

    LblWelcome = label("Welcome to Tulmer", "LblWelcome");
    LblDirections = label("Please enter the number of species", "LblDirections");
    LblSpecies1 = label("Number of Species", "LblSpecies1");
    LblSpecies2 = label("(5 maximum)", "LblSpecies2");
    EdNumSpecies = new QLineEdit(Background);
    EdNumSpecies->setObjectName("EdNumSpecies");
    for (QWidget* unused : std::initializer_list<QWidget*>{LblWelcome, LblDirections, LblSpecies1,
                                                          LblSpecies2, EdNumSpecies})
        unused->hide();

    setTabOrder(DriverBox, OutputBox);
    setTabOrder(OutputBox, MEStartTime);
    setTabOrder(MEStartTime, MEStopTime);
    setTabOrder(MEStopTime, METimeStep);
    setTabOrder(METimeStep, BtnRun);
    setTabOrder(BtnRun, BtnReload);
    setTabOrder(BtnReload, ParamBox);
    DriverBox->setFocus();
}

void TMainForm::BuildMenus() {
    auto command = [this](QMenu* menu, const QString& caption, const char* name,
                          std::function<void()> handler) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, handler = std::move(handler)] {
            Guarded([this, &handler] {
                TakeFieldEdits();
                handler();
            });
        });
        return a;
    };
    // A menu of the menu bar or a submenu.
    auto submenu = [](auto* parent, const QString& caption, const char* name) {
        QMenu* m = parent->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(QString(name) + "Item");
        return m;
    };
    QMenuBar* bar = menuBar();

    MIFiles = submenu(bar, "&Files", "MIFiles");
    MIParamFile = submenu(MIFiles, "&Parameter File", "MIParamFile");
    MIChooseParam = command(MIParamFile, "&Choose...", "MIChooseParam",
                            [this] { ChooseParamFile(TFileSource::Menu); });
    MISaveParam = command(MIParamFile, "&Save...", "MISaveParam", [this] { MISaveParamClick(); });
    MISaveParam->setShortcut(QKeySequence("Ctrl+S"));
    MISaveParam->setEnabled(false);
    MISaveAsParam =
        command(MIParamFile, "Save &As", "MISaveAsParam", [this] { MISaveAsParamClick(); });
    MIDriverFile = submenu(MIFiles, "&Driver File", "MIDriverFile");
    MIChooseDriver = command(MIDriverFile, "&Choose...", "MIChooseDriver",
                             [this] { ChooseDriver(TFileSource::Menu); });
    MIEditDriverFile =
        command(MIDriverFile, "&Edit...", "MIEditDriverFile", [this] { MIEditDrvClick(); });
    MIOutputFile = command(MIFiles, "&Output File", "MIOutputFile",
                           [this] { ChooseOutputFile(TFileSource::Menu); });
    MIFiles->addSeparator();
    MIExit = command(MIFiles, "E&xit", "MIExit", [this] { MIExitClick(); });

    MIEdit = submenu(bar, "&Edit", "MIEdit");
    MIEditParam = command(MIEdit, "&Parameters", "MIEditParam", [this] { MIEditParamClick(); });
    MIEditStates =
        command(MIEdit, "&State Variables", "MIEditStates", [this] { MIEditStatesClick(); });
    MIEditDrv = command(MIEdit, "&Drivers", "MIEditDrv", [this] { MIEditDrvClick(); });

    MICalculate = submenu(bar, "&Calculate", "MICalculate");
    MICalTime = command(MICalculate, "&At Time", "MICalTime", [this] { MICalTimeClick(); });
    MICalcSS = command(MICalculate, "&Steady State", "MICalcSS", [this] { MICalcSSClick(); });
    MICalculate->menuAction()->setEnabled(false);
    // Ensembles and sensitivity analyses of the site: needs what Calculate needs.
    MIAnalysis = submenu(bar, "&Analysis", "MIAnalysis");
    MIEnsemble = command(MIAnalysis, "&Ensemble...", "MIEnsemble", [this] { MIEnsembleClick(); });
    MIAnalysis->menuAction()->setEnabled(false);

    MIOutput = submenu(bar, "&Output", "MIOutput");
    MIChart = command(MIOutput, "&Chart", "MIChart", [this] { DisplayOutput(false); });
    MITable = command(MIOutput, "Ta&ble", "MITable", [this] { DisplayOutput(true); });
    MIChart->setEnabled(false);
    MITable->setEnabled(false);
    MIViewOutFile =
        command(MIOutput, "From &File", "MIViewOutFile", [this] { MIViewOutFileClick(); });
    MIOutTimeStep =
        command(MIOutput, "&Time Step", "MIOutTimeStep", [this] { MIOutTimeStepClick(); });

    MIAbout = bar->addAction("&About");
    MIAbout->setObjectName("MIAbout");
    connect(MIAbout, &QAction::triggered, this, [this] { Guarded([this] { TakeFieldEdits(); MIAboutClick(); }); });
}

// ---- Window state ----------------------------------------------------------

void TMainForm::UpdateMainForm() {
    if (!g_.RunEnabled) {
        if (!g_.ParamFileName.empty()) MISaveParam->setEnabled(true);
        if (!g_.DriverFileName.empty()) DriverBox->setText(Q(g_.DriverFileName));
        if (!g_.OutputFileName.empty()) OutputBox->setText(Q(g_.OutputFileName));
        if (!DriverBox->text().isEmpty() && !ParamBox->text().isEmpty()) {
            MICalculate->menuAction()->setEnabled(true);
            MIAnalysis->menuAction()->setEnabled(true);
            // The output file name must be set too: after "No" to the
            // overwrite question the field still shows a name that is not
            // to be written.
            if (!OutputBox->text().isEmpty() && !g_.OutputFileName.empty() &&
                g_.StopTime > g_.StartTime) {
                g_.RunEnabled = true;
                BtnRun->setEnabled(true);
            }
        }
    }
    if (g_.OutputCurrent) {
        MIChart->setEnabled(true);
        MITable->setEnabled(true);
        g_.PrevDriverTime = 0;
        g_.NextDriverTime = 0;
    } else {
        MIChart->setEnabled(false);
        MITable->setEnabled(false);
        PresentBox->setText("0");
    }
    // A file chosen while ParamBox has the focus (by its label or the menu)
    // is not to be chosen again from the field when the user leaves it. While
    // another field is being left, the focus is only passing into ParamBox.
    if (!ignoreLeave_ && ParamBox->hasFocus()) {
        ignoreLeave_ = true;
        Background->setFocus(Qt::OtherFocusReason);
        ignoreLeave_ = false;
    }
}

// ---- Files -------------------------------------------------------------------

bool TMainForm::AskFile(bool save, const TFileDialogSpec& dlgSpec, QString& path) {
    return save ? dialogs_.SaveFile(dlgSpec, path) : dialogs_.OpenFile(dlgSpec, path);
}

void TMainForm::SetAllValuesToZero() {
    for (int i = 1; i <= g_.ModelDef.numstate; ++i) g_.States[i].value = 0;
    for (int i = 1; i <= g_.ModelDef.numparam; ++i) g_.Params[i].value = 0;
}

void TMainForm::ChooseParamFile(TFileSource source) {
    const std::string old = g_.ParamFileName;
    if (source == TFileSource::Box) {
        g_.ParamFileName = S(ParamBox->text());
    } else {
        QString path = Q(g_.ParamFileName);
        if (AskFile(false, DlgOpenParam(path), path)) {
            g_.ParamFileName = S(path);
            ParamBox->setText(path);
        }
    }
    const std::string& name = g_.ParamFileName;
    if (name != old && g_.InteractiveRun) {
        std::string saveAs = old;
        if (!name.empty() && g_.ParamsChanged &&
            !SaveEditsFirst("Save parameter file before opening another?", saveAs)) {
            // Cancelled: the file in use and its name stay as they were.
            g_.ParamFileName = old;
            ParamBox->setText(Q(old));
            UpdateMainForm();
            return;
        }
        const int ns = g_.ModelDef.numstate, np = g_.ModelDef.numparam;
        if (!name.empty() && !FileExists(name)) {
            WriteParamFile(g_, name, np, g_.Params, ns, g_.States, 0);
            g_.NewParamFile = true;
            SetAllValuesToZero();
        } else if (!name.empty()) {
            double residual = 0;
            if (ReadParamFile(g_, name, np, g_.Params, ns, g_.States, residual)) {
                g_.NewParamFile = false;
            } else {
                SetAllValuesToZero();
                g_.ParamFileName.clear();
            }
        }
        g_.OutputCurrent = false;
        g_.RunEnabled = false;
    }
    UpdateMainForm();
}

void TMainForm::ChooseDriverFromEditor() { ChooseDriver(TFileSource::Editor); }

void TMainForm::ChooseDriver(TFileSource source) {
    const std::string old = g_.DriverFileName;
    if (source == TFileSource::Box) {
        g_.DriverFileName = S(DriverBox->text());
    } else {
        QString path = Q(g_.DriverFileName);
        if (AskFile(false, DlgOpenDriver(path), path)) {
            g_.DriverFileName = S(path);
            DriverBox->setText(path);
        }
    }
    const std::string& name = g_.DriverFileName;
    if (name != old && g_.InteractiveRun) {
        if (!name.empty()) {
            if (FileExists(name)) {
                g_.NewDriverFile = false;
            } else {
                // A new driver file: the two header lines and one row of
                // zeros at the current time.
                g_.NewDriverFile = true;
                const int nd = g_.ModelDef.numdrive;
                for (int i = 1; i <= nd; ++i) g_.Drivers[i].value = 0;
                try {
                    OpenDriverFile(g_, name, nd, g_.Drivers, true);
                    WriteDriverRow(g_, g_.CurrentTime, nd, g_.Drivers);
                    CloseDriverFile(g_);
                } catch (...) {
                    CloseDriverFile(g_);
                    throw;
                }
            }
        }
        g_.RunEnabled = false;
        g_.OutputCurrent = false;
    }
    UpdateMainForm();
}

void TMainForm::ChooseOutputFile(TFileSource source) {
    const std::string old = g_.OutputFileName;
    if (source == TFileSource::Box) {
        g_.OutputFileName = S(OutputBox->text());
    } else {
        QString path = Q(g_.OutputFileName);
        if (AskFile(true, DlgSaveOutput(path), path)) g_.OutputFileName = S(path);
    }
    const std::string name = g_.OutputFileName;
    if (name != old) {
        const std::string clash = OutputFileClash(name, g_.ParamFileName, g_.DriverFileName);
        if (!clash.empty()) {
            dialogs_.MessageDlg(TMsgKind::Error, Q(clash), static_cast<int>(TMsgButton::OK));
            g_.OutputFileName.clear();
        } else if (!name.empty() && FileExists(name)) {
            const TMsgButton answer = dialogs_.MessageDlg(
                TMsgKind::Confirmation, "Overwrite existing output file, " + Q(name) + "?",
                static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No));
            if (answer != TMsgButton::Yes) g_.OutputFileName.clear();
        }
        g_.OutputCurrent = false;
        g_.RunEnabled = false;
    }
    UpdateMainForm();
}

void TMainForm::MISaveParamClick() {
    // With no file named (a refused file empties the name) saving means
    // choosing one.
    if (g_.ParamFileName.empty()) {
        MISaveAsParamClick();
        return;
    }
    WriteParamFile(g_, g_.ParamFileName, g_.ModelDef.numparam, g_.Params, g_.ModelDef.numstate,
                   g_.States, 0);
    g_.OutputCurrent = false;
    g_.NewParamFile = false;
    UpdateMainForm();
    if (!g_.Sensitivity) dialogs_.Beep();
}

void TMainForm::MISaveAsParamClick() {
    QString path = Q(g_.ParamFileName);
    if (!AskFile(true, DlgSaveParam(path), path)) return;
    g_.ParamFileName = S(path);
    WriteParamFile(g_, g_.ParamFileName, g_.ModelDef.numparam, g_.Params, g_.ModelDef.numstate,
                   g_.States, 0);
    g_.NewParamFile = false;
    g_.RunEnabled = false;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

void TMainForm::MIViewOutFileClick() {
    QString path;
    if (!AskFile(false, DlgOpenOutput(), path)) return;
    if (!path.isEmpty()) g_.DisplayFile = S(path);
    g_.ReloadNeeded = true;
    g_.OutputCurrent = true;
    UpdateMainForm();
}

// ---- Times -------------------------------------------------------------------

void TMainForm::StartBoxChange() {
    if (!MEStartTime->isModified()) return;
    if (MEStartTime->text().isEmpty()) {
        ShowValueInUse(MEStartTime);
        return;
    }
    g_.StartTime = StrToFloat(S(MEStartTime->text()));
    AcceptTimeText(MEStartTime);
    g_.RunEnabled = false;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

void TMainForm::StopBoxChange() {
    if (!MEStopTime->isModified()) return;
    if (MEStopTime->text().isEmpty()) {
        ShowValueInUse(MEStopTime);
        return;
    }
    g_.StopTime = StrToFloat(S(MEStopTime->text()));
    AcceptTimeText(MEStopTime);
    g_.RunEnabled = false;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

void TMainForm::StepBoxChange() {
    if (METimeStep->isModified() && METimeStep->text().isEmpty()) {
        ShowValueInUse(METimeStep);
    } else if (METimeStep->isModified()) {
        try {
            g_.TimeStep = ValidTimeStep(S(METimeStep->text()));
        } catch (const EOrvaneError&) {
            ShowValueInUse(METimeStep);
            throw;
        }
        AcceptTimeText(METimeStep);
        g_.RunEnabled = false;
        g_.OutputCurrent = false;
        UpdateMainForm();
    }
    CheckAndCorrectOutputStep();
    g_.ReloadNeeded = true;
}

double TMainForm::TimeStepFieldValue() const { return ValidTimeStep(S(METimeStep->text())); }

void TMainForm::CheckAndCorrectOutputStep() {
    const std::string message = CorrectOutputStep(g_);
    if (!message.empty())
        dialogs_.MessageDlg(TMsgKind::Information, Q(message), static_cast<int>(TMsgButton::OK));
}

void TMainForm::MIOutTimeStepClick() {
    const double before = g_.OutputStep;
    for (;;) {
        const QString shown = Q(FormatGeneral(g_.OutputStep));
        const QString answer = dialogs_.InputBox(
            "Output Time Step", "Enter the time step for the output data.", shown);
        double value;
        try {
            value = StrToFloat(S(answer));
        } catch (...) {
            // An earlier answer of 0 or less must not stay behind unchecked.
            g_.OutputStep = before;
            throw;
        }
        if (value > 0) {
            g_.OutputStep = value;
            break;
        }
        // Cancelling returns the shown value; when that is not positive
        // asking again would never end, so the command is given up.
        if (answer == shown) {
            g_.OutputStep = before;
            return;
        }
        g_.OutputStep = value;
    }
    CheckAndCorrectOutputStep();
    g_.ReloadNeeded = true;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

void TMainForm::MICalTimeClick() {
    const QString answer = dialogs_.InputBox(
        "Steady State Time",
        "Enter the time from the driver file at which to calculate a steady state.",
        Q(FormatGeneral(g_.CalcTime)));
    g_.CalcTime = StrToFloat(S(answer));
    g_.OutputCurrent = false;
    g_.ReloadNeeded = true;
}

// ---- The run -----------------------------------------------------------------

void TMainForm::BtnRunClick() {
    if (running_) return;
    // Refused before the run opens anything, so that no earlier output is
    // marked current or shown in its place.
    if (const std::string clash = OutputFileClash(g_.OutputFileName, g_.ParamFileName,
                                                  g_.DriverFileName);
        !clash.empty()) {
        throw ERunTimeError(clash);
    }
    TFmProgress* progress = g_.InteractiveRun ? forms_.FmProgress : nullptr;
    running_ = true;
    // Disabling the window moves the focus; it comes back where it was.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    if (g_.InteractiveRun) {
        ShowRunTime(g_.StartTime);
        if (progress) {
            progress->OnTimeReached = [this](double time) { ShowRunTime(time); };
            progress->BeginRun();
        }
        setEnabled(false);
        g_.ReloadNeeded = true;
    }

    const TRunResult result = RunSimulation(g_, progress);

    // A field that does not hold a usable step leaves the step as it was.
    try {
        g_.TimeStep = TimeStepFieldValue();
    } catch (const EOrvaneError&) {
    }
    g_.OutputCurrent = true;
    if (g_.InteractiveRun) {
        g_.DisplayFile = g_.OutputFileName;
        UpdateMainForm();
        setEnabled(true);
        ShowRunTime(g_.CurrentTime);
        if (progress) progress->EndRun();
        activateWindow();
        if (focused && focused->window() == this) focused->setFocus(Qt::OtherFocusReason);
    }
    running_ = false;

    if (result.cancelled && g_.InteractiveRun) ReportCancelledRun(result);
    if (result.ok || result.cancelled) return;
    if (g_.InteractiveRun && forms_.FmTrouble) {
        forms_.FmTrouble->SetMessage(Q(result.message));
        forms_.FmTrouble->ShowModal();
    } else if (result.error) {
        std::rethrow_exception(result.error);
    } else {
        throw ERunTimeError(result.message);
    }
}

// ---- Other commands -------------------------------------------------------------

void TMainForm::MIAboutClick() {
    if (forms_.FmAbout) forms_.FmAbout->ShowModal();
}

bool TMainForm::MayClose() {
    return !g_.ParamsChanged || SaveEditsFirst("Save parameter file before exiting?", g_.ParamFileName);
}

bool TMainForm::SaveEditsFirst(const QString& question, std::string& name) {
    const TMsgButton answer = dialogs_.MessageDlg(
        TMsgKind::Confirmation, question,
        static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No) |
            static_cast<int>(TMsgButton::Cancel));
    if (answer == TMsgButton::No) return true;
    if (answer != TMsgButton::Yes) return false;
    QString path = Q(name);
    if (!AskFile(true, DlgSaveParam(path), path)) return false;
    name = S(path);
    WriteParamFile(g_, name, g_.ModelDef.numparam, g_.Params, g_.ModelDef.numstate, g_.States, 0);
    return true;
}

void TMainForm::MIExitClick() {
    if (!MayClose()) return;
    asked_ = true;
    close();
    asked_ = false;
}

// ---- Events --------------------------------------------------------------------

void TMainForm::FieldLeft(QLineEdit* field) {
    edited_.removeAll(field);
    if (field == ParamBox) ChooseParamFile(TFileSource::Box);
    else if (field == DriverBox) ChooseDriver(TFileSource::Box);
    else if (field == OutputBox) ChooseOutputFile(TFileSource::Box);
    else if (field == MEStartTime) StartBoxChange();
    else if (field == MEStopTime) StopBoxChange();
    else if (field == METimeStep) StepBoxChange();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        auto* field = qobject_cast<QLineEdit*>(watched);
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Only leaving a field within this window counts: not another
        // window, a popup or the menu bar taking the focus, not a handler
        // that is still busy moving it, not a run disabling the window.
        if (field && !running_ && !ignoreLeave_ && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason) {
            ignoreLeave_ = true;
            Guarded([this, field] { FieldLeft(field); });
            ignoreLeave_ = false;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (running_) {
        // Closing during a run stops the run first.
        if (forms_.FmProgress) forms_.FmProgress->BtnCancelClick();
        event->ignore();
        return;
    }
    // The window's close control must not lose unsaved parameter edits
    // either: it asks as Exit does.
    if (!asked_) {
        bool mayClose = false;
        Guarded([&] { mayClose = MayClose(); });
        if (!mayClose) {
            event->ignore();
            return;
        }
    }
    event->accept();
    emit Closed();
}

}  // namespace orvane
