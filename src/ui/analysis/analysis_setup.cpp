#include "ui/analysis/analysis_setup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "calc/calc_fields.h"
#include "ensemble/design_methods.h"
#include "ensemble/names.h"
#include "ensemble/site.h"
#include "io/numfmt.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/analysis/analysis_factors.h"
#include "ui/analysis/analysis_picker.h"
#include "ui/analysis/analysis_text.h"
#include "ui/dialogs.h"
#include "ui/qtext.h"

namespace orvane {

namespace {

using ensemble::TFactorKind;

QString Shortest(double v) { return QString::fromStdString(FormatShortest(v)); }

QString Absolute(const std::string& path) {
    return path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).absoluteFilePath();
}

QLineEdit* NumberField(QWidget* parent, const char* name, const QString& accessible, int width = 70) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setAccessibleName(accessible);
    e->setMaximumWidth(width);
    return e;
}

QGroupBox* Group(const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    return g;
}

const char* const kBadField = "background-color: #ffc8c8;";

// A whole number typed into a field.
bool WholeText(const QString& text, long long& v) {
    bool ok = false;
    v = text.trimmed().toLongLong(&ok);
    return ok;
}

}  // namespace

TAnalysisSetup::TAnalysisSetup(const TGlobals& g, IDialogService& dialogs, QWidget* parent)
    : QWidget(parent), g_(g), dialogs_(dialogs) {
    BuildControls();
}

TAnalysisSetup::~TAnalysisSetup() = default;

// ---- Building ----------------------------------------------------------------

void TAnalysisSetup::BuildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->addWidget(BuildSiteRow());
    root->addWidget(BuildFactorsRow(), 1);
    root->addWidget(BuildDesignRow());

    connect(CbIntegrator, &QComboBox::currentIndexChanged, this, &TAnalysisSetup::Edited);
    for (QLineEdit* e : {EdStart, EdStop, EdStep, EdOutputStep, EdRtol, EdAtol, EdAtTime, EdPasses, EdMembers, EdSeed, EdTimes})
        connect(e, &QLineEdit::textEdited, this, &TAnalysisSetup::Edited);
    connect(CbSteadyState, &QCheckBox::toggled, this, [this] {
        UpdatePickerButtons();
        Edited();
    });
    connect(RbAllTimes, &QRadioButton::toggled, this, &TAnalysisSetup::Edited);
    connect(CbMethod, &QComboBox::currentIndexChanged, this, [this] {
        BuildMethodFields();
        Edited();
    });
    connect(Factors, &TFactorTableModel::Edited, this, &TAnalysisSetup::Edited);
    connect(BtnFromMain, &QPushButton::clicked, this, [this] { emit SiteWanted(); });
    connect(BtnAddFactor, &QPushButton::clicked, this, &TAnalysisSetup::AddFactor);
    connect(BtnAddOutput, &QPushButton::clicked, this, &TAnalysisSetup::AddOutput);
    connect(Picker, &TVariablePicker::CurrentChanged, this, &TAnalysisSetup::UpdatePickerButtons);
    connect(Picker, &TVariablePicker::Activated, this, [this] {
        if (BtnAddFactor->isEnabled()) AddFactor();
        else if (BtnAddOutput->isEnabled()) AddOutput();
    });
    connect(BtnRemoveFactor, &QPushButton::clicked, this, [this] {
        Factors->RemoveRow(GrdFactors->currentIndex().row());
    });
    connect(BtnRemoveOutput, &QPushButton::clicked, this, [this] {
        const int row = LbxOutputs->currentRow();
        if (row < 0) return;
        outputs_.erase(outputs_.begin() + row);
        delete LbxOutputs->takeItem(row);
        Edited();
    });
    connect(BtnDesignFile, &QPushButton::clicked, this, &TAnalysisSetup::ChooseDesignFile);
    UpdatePickerButtons();
}

QWidget* TAnalysisSetup::BuildSiteRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);

    QGroupBox* site = Group("Site", row);
    auto* sg = new QGridLayout(site);
    EdParamFile = new QLineEdit(site);
    EdParamFile->setObjectName("EdParamFile");
    EdParamFile->setAccessibleName("Parameter file");
    EdParamFile->setReadOnly(true);
    EdDriverFile = new QLineEdit(site);
    EdDriverFile->setObjectName("EdDriverFile");
    EdDriverFile->setAccessibleName("Driver file");
    EdDriverFile->setReadOnly(true);
    BtnFromMain = new QPushButton("Take the Main Window's &Site", site);
    BtnFromMain->setObjectName("BtnFromMain");
    sg->addWidget(new QLabel("Parameter file:", site), 0, 0);
    sg->addWidget(EdParamFile, 0, 1);
    sg->addWidget(new QLabel("Driver file:", site), 1, 0);
    sg->addWidget(EdDriverFile, 1, 1);
    sg->addWidget(BtnFromMain, 2, 1, Qt::AlignLeft);
    h->addWidget(site, 3);

    QGroupBox* run = Group("Run", row);
    auto* rg = new QGridLayout;
    EdStart = NumberField(run, "EdStart", "Start time");
    EdStop = NumberField(run, "EdStop", "Stop time");
    EdStep = NumberField(run, "EdStep", "Time step");
    EdOutputStep = NumberField(run, "EdOutputStep", "Output step");
    rg->addWidget(new QLabel("Start time:", run), 0, 0);
    rg->addWidget(EdStart, 0, 1);
    rg->addWidget(new QLabel("Stop time:", run), 0, 2);
    rg->addWidget(EdStop, 0, 3);
    rg->addWidget(new QLabel("Time step:", run), 1, 0);
    rg->addWidget(EdStep, 1, 1);
    rg->addWidget(new QLabel("Output step:", run), 1, 2);
    rg->addWidget(EdOutputStep, 1, 3);
    CbIntegrator = new QComboBox(run);
    CbIntegrator->setObjectName("CbIntegrator");
    CbIntegrator->setAccessibleName("Integrator");
    CbIntegrator->addItem("Runge-Kutta", "rk");
    CbIntegrator->addItem("CVODE BDF", "cvode");
    EdRtol = NumberField(run, "EdRtol", "Relative tolerance");
    EdAtol = NumberField(run, "EdAtol", "Absolute tolerance");
    auto* integrator = new QHBoxLayout;
    integrator->addWidget(new QLabel("Integrator:", run));
    integrator->addWidget(CbIntegrator);
    integrator->addWidget(new QLabel("rtol:", run));
    integrator->addWidget(EdRtol);
    integrator->addWidget(new QLabel("atol:", run));
    integrator->addWidget(EdAtol);
    integrator->addStretch(1);
    auto* rv = new QVBoxLayout;
    rv->addLayout(rg);
    rv->addLayout(integrator);
    run->setLayout(rv);
    h->addWidget(run, 0);

    QGroupBox* ss = Group("Steady state", row);
    auto* sl = new QGridLayout(ss);
    CbSteadyState = new QCheckBox("&Derive the site again for every member", ss);
    CbSteadyState->setObjectName("CbSteadyState");
    CbSteadyState->setAccessibleName("Steady state");
    EdAtTime = NumberField(ss, "EdAtTime", "Calculation time");
    EdPasses = NumberField(ss, "EdPasses", "Passes", 50);
    sl->addWidget(CbSteadyState, 0, 0, 1, 4);
    sl->addWidget(new QLabel("Calculation time:", ss), 1, 0);
    sl->addWidget(EdAtTime, 1, 1);
    sl->addWidget(new QLabel("Passes:", ss), 1, 2);
    sl->addWidget(EdPasses, 1, 3);
    h->addWidget(ss, 0);
    return row;
}

QWidget* TAnalysisSetup::BuildFactorsRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);

    QGroupBox* vars = Group("Variables", row);
    auto* v = new QVBoxLayout(vars);
    Picker = new TVariablePicker(g_, vars);
    BtnAddFactor = new QPushButton("Add as F&actor", vars);
    BtnAddFactor->setObjectName("BtnAddFactor");
    BtnAddOutput = new QPushButton("Add as &Output", vars);
    BtnAddOutput->setObjectName("BtnAddOutput");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnAddFactor);
    buttons->addWidget(BtnAddOutput);
    v->addWidget(Picker, 1);
    v->addLayout(buttons);
    vars->setMinimumWidth(280);
    vars->setMaximumWidth(290);
    h->addWidget(vars);

    QGroupBox* factors = Group("Factors", row);
    auto* f = new QVBoxLayout(factors);
    Factors = new TFactorTableModel(g_, this);
    GrdFactors = new QTableView(factors);
    GrdFactors->setObjectName("GrdFactors");
    GrdFactors->setModel(Factors);
    GrdFactors->setItemDelegate(new TChoiceDelegate(GrdFactors));
    GrdFactors->setSelectionMode(QAbstractItemView::SingleSelection);
    GrdFactors->setEditTriggers(QAbstractItemView::AllEditTriggers);
    GrdFactors->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView* head = GrdFactors->horizontalHeader();
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setSectionResizeMode(TFactorTableModel::ColName, QHeaderView::Stretch);
    const int widths[] = {76, 52, 0, 104, 68, 88};
    for (int c = 0; c < TFactorTableModel::ColFirstSetting; ++c)
        if (widths[c] > 0) GrdFactors->setColumnWidth(c, widths[c]);
    for (int c = TFactorTableModel::ColFirstSetting; c < Factors->columnCount(); ++c)
        GrdFactors->setColumnWidth(c, c == Factors->ApplyColumn() ? 50 : 52);
    BtnRemoveFactor = new QPushButton("Remove Factor", factors);
    BtnRemoveFactor->setObjectName("BtnRemoveFactor");
    f->addWidget(GrdFactors, 1);
    f->addWidget(BtnRemoveFactor, 0, Qt::AlignLeft);
    h->addWidget(factors, 1);
    return row;
}

QWidget* TAnalysisSetup::BuildDesignRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);

    QGroupBox* design = Group("Design", row);
    auto* dh = new QHBoxLayout(design);
    auto* form = new QFormLayout;
    CbMethod = new QComboBox(design);
    CbMethod->setObjectName("CbMethod");
    CbMethod->setAccessibleName("Method");
    for (const ensemble::TDesignMethod& m : ensemble::DesignMethods())
        CbMethod->addItem(MethodCaption(m.name), QString(m.name));
    EdMembers = NumberField(design, "EdMembers", "Members", 90);
    LblMembers = new QLabel("&Members:", design);
    LblMembers->setBuddy(EdMembers);
    EdSeed = NumberField(design, "EdSeed", "Seed", 160);
    EdDesignFile = new QLineEdit(design);
    EdDesignFile->setObjectName("EdDesignFile");
    EdDesignFile->setAccessibleName("Design file");
    EdDesignFile->setReadOnly(true);
    BtnDesignFile = new QPushButton("Choose...", design);
    BtnDesignFile->setObjectName("BtnDesignFile");
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(EdDesignFile, 1);
    fileRow->addWidget(BtnDesignFile);
    form->addRow("Me&thod:", CbMethod);
    form->addRow(LblMembers, EdMembers);
    form->addRow("S&eed:", EdSeed);
    form->addRow("Parameter sets:", fileRow);
    dh->addLayout(form, 1);
    methodPanel_ = new QWidget(design);
    methodForm_ = new QFormLayout(methodPanel_);
    methodForm_->setContentsMargins(0, 0, 0, 0);
    dh->addWidget(methodPanel_, 1);
    h->addWidget(design, 3);

    QGroupBox* outputs = Group("Outputs", row);
    auto* og = new QGridLayout(outputs);
    LbxOutputs = new QListWidget(outputs);
    LbxOutputs->setObjectName("LbxOutputs");
    LbxOutputs->setAccessibleName("Output variables");
    LbxOutputs->setMaximumHeight(110);
    BtnRemoveOutput = new QPushButton("Remove Output", outputs);
    BtnRemoveOutput->setObjectName("BtnRemoveOutput");
    RbAllTimes = new QRadioButton("All output t&imes", outputs);
    RbAllTimes->setObjectName("RbAllTimes");
    RbTheseTimes = new QRadioButton("&Given times:", outputs);
    RbTheseTimes->setObjectName("RbTheseTimes");
    RbAllTimes->setChecked(true);
    EdTimes = new QLineEdit(outputs);
    EdTimes->setObjectName("EdTimes");
    EdTimes->setAccessibleName("Output times");
    EdTimes->setPlaceholderText("for instance 0, 50, 100, 200");
    og->addWidget(LbxOutputs, 0, 0, 4, 1);
    og->addWidget(BtnRemoveOutput, 0, 1, 1, 2);
    og->addWidget(RbAllTimes, 1, 1, 1, 2);
    og->addWidget(RbTheseTimes, 2, 1);
    og->addWidget(EdTimes, 3, 1, 1, 2);
    og->setColumnStretch(0, 2);
    og->setColumnStretch(1, 1);
    h->addWidget(outputs, 2);
    BuildMethodFields();
    return row;
}

void TAnalysisSetup::BuildMethodFields() {
    // Keep what was typed for the method left, for a return to it.
    for (auto it = methodFields_.constBegin(); it != methodFields_.constEnd(); ++it) {
        if (auto* e = qobject_cast<QLineEdit*>(it.value())) methodValues_[it.key()] = e->text();
        else if (auto* c = qobject_cast<QComboBox*>(it.value())) methodValues_[it.key()] = c->currentText();
    }
    for (QWidget* w : methodFields_) fieldProblems_.remove(w);
    while (methodForm_->rowCount() > 0) methodForm_->removeRow(0);
    methodFields_.clear();

    const ensemble::TDesignMethod* m = ensemble::FindDesignMethod(CbMethod->currentData().toString().toStdString());
    if (!m) return;
    LblMembers->setText(MembersCaption(m->name));
    EdDesignFile->setEnabled(m->valuesFromFile);
    BtnDesignFile->setEnabled(m->valuesFromFile);
    for (const std::string& key : m->numberKeys) {
        const QString k = QString::fromStdString(key);
        auto* e = NumberField(methodPanel_, "", SettingCaption(k), 110);
        e->setObjectName("EdDesign_" + k);
        e->setText(methodValues_.value(k));
        e->setPlaceholderText("default");
        connect(e, &QLineEdit::textEdited, this, &TAnalysisSetup::Edited);
        methodForm_->addRow(SettingCaption(k) + ":", e);
        methodFields_[k] = e;
    }
    for (const std::string& key : m->textKeys) {
        const QString k = QString::fromStdString(key);
        QWidget* field = nullptr;
        const QStringList choices = SettingChoices(k);
        if (!choices.isEmpty()) {
            auto* c = new QComboBox(methodPanel_);
            c->addItem(QString());  // the method's default
            c->addItems(choices);
            c->setCurrentText(methodValues_.value(k));
            connect(c, &QComboBox::currentIndexChanged, this, &TAnalysisSetup::Edited);
            field = c;
        } else {
            auto* e = new QLineEdit(methodValues_.value(k), methodPanel_);
            connect(e, &QLineEdit::textEdited, this, &TAnalysisSetup::Edited);
            field = e;
        }
        field->setObjectName("EdDesign_" + k);
        field->setAccessibleName(SettingCaption(k));
        methodForm_->addRow(SettingCaption(k) + ":", field);
        methodFields_[k] = field;
    }
}

void TAnalysisSetup::SetMethod(const QString& method) {
    const int i = CbMethod->findData(method);
    if (i >= 0) CbMethod->setCurrentIndex(i);
}

void TAnalysisSetup::UpdatePickerButtons() {
    const TPickedVariable v = Picker->Current();
    bool factor = v.index != 0;
    QString why;
    if (v.kind == TFactorKind::Process) {
        // A process enters only as an observation of the steady-state step.
        factor = factor && CbSteadyState->isChecked() &&
                 calcfields::IsInputField('r', v.symbol.toStdString().c_str());
        why = CbSteadyState->isChecked()
                  ? "This process is not an entry of the steady-state calculation"
                  : "A process is a factor only as an observation for the steady-state step";
    }
    BtnAddFactor->setEnabled(factor);
    BtnAddFactor->setToolTip(factor || v.index == 0 ? QString() : why);
    BtnAddOutput->setEnabled(v.index != 0 && v.CanBeOutput());
}

// ---- Filling -----------------------------------------------------------------

void TAnalysisSetup::TakeSite(const TGlobals& g) {
    const bool outer = !filling_;
    filling_ = true;
    EdParamFile->setText(Absolute(g.ParamFileName));
    EdDriverFile->setText(Absolute(g.DriverFileName));
    EdStart->setText(Shortest(g.StartTime));
    EdStop->setText(Shortest(g.StopTime));
    EdStep->setText(Shortest(g.TimeStep));
    EdOutputStep->setText(Shortest(g.OutputStep));
    EdAtTime->setText(Shortest(g.CalcTime));
    filling_ = !outer;
    if (outer) Edited();
}

void TAnalysisSetup::ShowIntegrator(const TIntegratorChoice& choice) {
    CbIntegrator->setCurrentIndex(CbIntegrator->findData(choice.kind == TIntegratorKind::Cvode ? "cvode" : "rk"));
    EdRtol->setText(Shortest(choice.rtol));
    EdAtol->setText(Shortest(choice.atol));
}

void TAnalysisSetup::NewFromSite(const TGlobals& g) {
    filling_ = true;
    path_.clear();
    TakeSite(g);
    ShowIntegrator({});
    CbSteadyState->setChecked(false);
    EdPasses->setText("3");
    Factors->SetRows({});
    ClearMarks();
    methodFields_.clear();
    methodValues_.clear();
    SetMethod("lhs");
    BuildMethodFields();
    EdMembers->setText("100");
    EdSeed->setText("1");
    EdDesignFile->clear();
    outputs_.clear();
    LbxOutputs->clear();
    RbAllTimes->setChecked(true);
    EdTimes->clear();
    filling_ = false;
    modified_ = false;
    Revalidate();
}

void TAnalysisSetup::SetExperiment(const ensemble::TExperiment& e) {
    filling_ = true;
    EdParamFile->setText(Absolute(e.parameterFile));
    EdDriverFile->setText(Absolute(e.driverFile));
    EdStart->setText(Shortest(e.start));
    EdStop->setText(Shortest(e.stop));
    EdStep->setText(Shortest(e.step));
    EdOutputStep->setText(Shortest(e.outputStep));
    ShowIntegrator(e.integrator);
    CbSteadyState->setChecked(e.steadyState);
    EdAtTime->setText(Shortest(e.steadyState ? e.atTime : e.start));
    EdPasses->setText(QString::number(e.passes));

    std::vector<TFactorRow> rows;
    for (const ensemble::TFactor& f : e.factors) {
        TFactorRow r;
        r.kind = f.kind;
        r.symbol = QString::fromStdString(f.symbol);
        r.apply = f.apply == ensemble::TDriverApply::Offset ? "offset" : "scale";
        r.distribution = f.hasDistribution ? ensemble::DistName(f.dist.kind) : "none";
        const QStringList keys = TFactorTableModel::DistributionKeys(r.distribution);
        const double v[4] = {f.dist.a, f.dist.b, f.dist.c, f.dist.d};
        for (int k = 0; k < keys.size(); ++k) r.settings[keys[k]] = Shortest(v[k]);
        rows.push_back(std::move(r));
    }
    Factors->SetRows(std::move(rows));

    ClearMarks();
    methodFields_.clear();  // their texts belong to the set-up shown before
    methodValues_.clear();
    for (const auto& [key, v] : e.design.numbers) methodValues_[QString::fromStdString(key)] = Shortest(v);
    for (const auto& [key, v] : e.design.text) methodValues_[QString::fromStdString(key)] = QString::fromStdString(v);
    SetMethod(QString::fromStdString(e.design.method));
    BuildMethodFields();
    EdMembers->setText(e.design.members > 0 ? QString::number(e.design.members) : QString());
    EdSeed->setText(QString::number(e.design.seed));
    EdDesignFile->setText(Absolute(e.design.file));

    outputs_ = e.outputs;
    LbxOutputs->clear();
    for (const ensemble::TOutputVariable& o : outputs_) LbxOutputs->addItem(OutputCaption(o));
    const bool all = std::all_of(e.keepRow.begin(), e.keepRow.end(), [](char k) { return k != 0; });
    RbAllTimes->setChecked(all);
    RbTheseTimes->setChecked(!all);
    QStringList times;
    if (!all)
        for (double t : e.outputTimes) times << Shortest(t);
    EdTimes->setText(times.join(", "));
    filling_ = false;
    modified_ = false;
    UpdatePickerButtons();
    Revalidate();
}

void TAnalysisSetup::AddFactor() {
    const TPickedVariable v = Picker->Current();
    if (v.index == 0 || !BtnAddFactor->isEnabled()) return;
    if (!Factors->AddFactor(v.kind, v.symbol)) return;
    GrdFactors->setCurrentIndex(Factors->index(Factors->rowCount() - 1, TFactorTableModel::ColDistribution));
}

void TAnalysisSetup::AddOutput() {
    const TPickedVariable v = Picker->Current();
    if (v.index == 0 || !v.CanBeOutput()) return;
    ensemble::TOutputVariable o;
    o.var.part = v.kind == TFactorKind::State    ? TRowPart::State
                 : v.kind == TFactorKind::Driver ? TRowPart::Driver
                                                 : TRowPart::Process;
    o.var.index = v.index;
    o.symbol = v.symbol.toStdString();
    for (const auto& other : outputs_)
        if (other.var.part == o.var.part && other.var.index == o.var.index) return;
    ensemble::DescribeOutput(g_, o);
    outputs_.push_back(o);
    LbxOutputs->addItem(OutputCaption(o));
    Edited();
}

void TAnalysisSetup::ChooseDesignFile() {
    TFileDialogSpec spec;
    spec.title = "Open Parameter Sets";
    spec.defaultExt = "csv";
    spec.filters = {{"CSV Files (*.csv)", "*.csv"}, {"All Files (*.*)", "*.*"}};
    spec.initialName = EdDesignFile->text();
    spec.mustExist = true;
    QString path;
    if (!dialogs_.OpenFile(spec, path) || path.isEmpty()) return;
    EdDesignFile->setText(QFileInfo(path).absoluteFilePath());
    Edited();
}

// ---- Checking ----------------------------------------------------------------

void TAnalysisSetup::Edited() {
    if (filling_) return;
    modified_ = true;
    Revalidate();
}

void TAnalysisSetup::Revalidate() {
    if (filling_) return;
    ClearMarks();
    Factors->ClearProblems();
    problem_.clear();
    const bool steady = CbSteadyState->isChecked();
    EdAtTime->setEnabled(steady);
    EdPasses->setEnabled(steady);
    EdTimes->setEnabled(RbTheseTimes->isChecked());
    const bool cvode = CbIntegrator->currentData().toString() == "cvode";
    EdRtol->setEnabled(cvode);
    EdAtol->setEnabled(cvode);
    valid_ = ReadControls();
    if (valid_) Check();
    if (problem_.isEmpty() && Factors->HasProblems()) problem_ = Factors->FirstProblem();
    valid_ = valid_ && problem_.isEmpty();
    emit Changed();
}

double TAnalysisSetup::Number(QLineEdit* field, bool& ok) {
    try {
        return StrToFloat(field->text().toStdString());
    } catch (const EOrvaneError& err) {
        MarkField(field, QString::fromStdString(err.Message()));
        ok = false;
        return 0;
    }
}

bool TAnalysisSetup::ReadControls() {
    ensemble::TExperiment& e = draft_;
    e = {};
    bool ok = true;
    e.parameterFile = EdParamFile->text().toStdString();
    e.driverFile = EdDriverFile->text().toStdString();
    if (e.parameterFile.empty()) {
        MarkField(EdParamFile, "The site needs a parameter file: choose one in the main window");
        ok = false;
    }
    if (e.driverFile.empty()) {
        MarkField(EdDriverFile, "The site needs a driver file: choose one in the main window");
        ok = false;
    }
    e.start = Number(EdStart, ok);
    e.stop = Number(EdStop, ok);
    e.step = Number(EdStep, ok);
    e.outputStep = Number(EdOutputStep, ok);
    if (CbIntegrator->currentData().toString() == "cvode") {
        e.integrator.kind = TIntegratorKind::Cvode;
        e.integrator.rtol = Number(EdRtol, ok);
        e.integrator.atol = Number(EdAtol, ok);
    }
    e.steadyState = CbSteadyState->isChecked();
    if (e.steadyState) {
        e.atTime = Number(EdAtTime, ok);
        long long passes = 0;
        if (!WholeText(EdPasses->text(), passes)) {
            MarkField(EdPasses, "'" + EdPasses->text() + "' is not a whole number");
            ok = false;
        }
        e.passes = static_cast<int>(std::clamp<long long>(passes, -1, 1000000));
    }
    e.factors = Factors->Factors();
    ok = ok && !Factors->HasProblems();

    e.design.method = CbMethod->currentData().toString().toStdString();
    long long n = 0;
    if (!EdMembers->text().trimmed().isEmpty() && !WholeText(EdMembers->text(), n)) {
        MarkField(EdMembers, "'" + EdMembers->text() + "' is not a whole number");
        ok = false;
    }
    // A negative count reads as 0, which the reader refuses where it counts.
    e.design.members = static_cast<std::size_t>(std::max<long long>(0, n));
    long long seed = 0;
    if (!WholeText(EdSeed->text(), seed) || seed < 0) {
        MarkField(EdSeed, "The seed must be a whole number from 0 up");
        ok = false;
    }
    e.design.seed = static_cast<uint64_t>(std::max<long long>(0, seed));
    if (EdDesignFile->isEnabled()) {
        e.design.file = EdDesignFile->text().toStdString();
        if (e.design.file.empty()) {
            MarkField(EdDesignFile, "Choose the file of parameter sets");
            ok = false;
        }
    }
    const ensemble::TDesignMethod* m = ensemble::FindDesignMethod(e.design.method);
    for (auto it = methodFields_.constBegin(); m && it != methodFields_.constEnd(); ++it) {
        const std::string key = it.key().toStdString();
        const bool number = std::find(m->numberKeys.begin(), m->numberKeys.end(), key) != m->numberKeys.end();
        QString text;
        if (auto* c = qobject_cast<QComboBox*>(it.value())) text = c->currentText();
        else text = static_cast<QLineEdit*>(it.value())->text().trimmed();
        if (text.isEmpty()) continue;  // the method's default
        if (!number) {
            e.design.text[key] = text.toStdString();
            continue;
        }
        e.design.numbers[key] = Number(static_cast<QLineEdit*>(it.value()), ok);
    }

    e.outputs = outputs_;
    if (RbTheseTimes->isChecked()) {
        const QStringList parts = EdTimes->text().split(QRegularExpression("[,;\\s]+"), Qt::SkipEmptyParts);
        for (const QString& p : parts) {
            try {
                e.outputTimes.push_back(StrToFloat(p.toStdString()));
            } catch (const EOrvaneError& err) {
                MarkField(EdTimes, QString::fromStdString(err.Message()));
                ok = false;
            }
        }
        if (parts.isEmpty()) {
            MarkField(EdTimes, "List the output times, or choose all of them");
            ok = false;
        }
    }
    return ok;
}

void TAnalysisSetup::Check() {
    // The reader checks the very text that Save would write, in a file of
    // its own: then the window refuses exactly what the runner refuses.
    QTemporaryFile file(QDir::tempPath() + "/orvane-setup-XXXXXX.toml");
    if (!file.open()) {
        problem_ = "Cannot check the set-up: no temporary file (" + file.errorString() + ")";
        return;
    }
    const std::string path = file.fileName().toStdString();
    // The reader stops at the first mistake; a bad factor is left out and
    // the rest read again, so that every bad factor is marked at once.
    ensemble::TExperiment trial = draft_;
    std::vector<int> rows(draft_.factors.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    for (;;) {
        std::vector<ensemble::TSettingPlace> places;
        const std::string text = ensemble::ExperimentText(trial, path, &places);
        file.resize(0);
        file.seek(0);
        file.write(text.data(), static_cast<qint64>(text.size()));
        file.flush();
        try {
            const ensemble::TExperiment checked = ensemble::ReadExperiment(path);
            if (rows.size() < draft_.factors.size()) return;
            // The site's base values, and what only the site can tell.
            const std::unique_ptr<ensemble::TSite> site = ensemble::LoadSite(checked);
            Factors->ShowBases(site->factorBase);
            return;
        } catch (const EOrvaneError& err) {
            const int bad = MarkComplaint(err.what(), path, places, rows);
            if (bad < 0 || trial.factors.size() <= 1) return;
            trial.factors.erase(trial.factors.begin() + bad);
            rows.erase(rows.begin() + bad);
        } catch (const std::exception& err) {
            problem_ = QString::fromStdString(err.what());
            return;
        }
    }
}

int TAnalysisSetup::MarkComplaint(const std::string& message, const std::string& path,
                                  const std::vector<ensemble::TSettingPlace>& places, const std::vector<int>& rows) {
    const ensemble::TExperimentComplaint c = ensemble::SplitComplaint(message, path);
    const QString reason = QString::fromStdString(c.reason);
    const auto at = std::find_if(places.begin(), places.end(),
                                 [&](const ensemble::TSettingPlace& p) { return p.line == c.line; });
    QWidget* field = nullptr;
    if (at != places.end()) {
        const QString key = QString::fromStdString(at->key);
        if (at->table == "factor") {
            Factors->SetProblem(Factors->Cell(rows[static_cast<std::size_t>(at->factor)], key), reason);
            problem_ = Factors->FirstProblem();
            return at->factor;
        }
        const QMap<QString, QWidget*> fields = {
            {"site/parameters", EdParamFile}, {"site/drivers", EdDriverFile}, {"run/start", EdStart},
            {"run/stop", EdStop}, {"run/step", EdStep}, {"run/output_step", EdOutputStep},
            {"run/integrator", CbIntegrator}, {"run/rtol", EdRtol}, {"run/atol", EdAtol},
            {"steady_state/", CbSteadyState}, {"steady_state/at_time", EdAtTime},
            {"steady_state/passes", EdPasses}, {"design/", CbMethod}, {"design/method", CbMethod},
            {"design/members", EdMembers}, {"design/seed", EdSeed}, {"design/file", EdDesignFile},
            {"outputs/", LbxOutputs}, {"outputs/variables", LbxOutputs}, {"outputs/times", EdTimes}};
        field = fields.value(QString::fromStdString(at->table) + "/" + key);
        if (!field && at->table == "design") field = methodFields_.value(key);
    } else if (c.reason.rfind("parameter file", 0) == 0) {
        field = EdParamFile;
    } else if (c.reason.rfind("driver file", 0) == 0) {
        field = EdDriverFile;
    }
    if (field) MarkField(field, reason);
    else if (problem_.isEmpty()) problem_ = reason;
    return -1;
}

void TAnalysisSetup::MarkField(QWidget* field, const QString& reason) {
    if (problem_.isEmpty()) problem_ = field->accessibleName() + ": " + reason;
    fieldProblems_[field] = reason;
    field->setStyleSheet(kBadField);
    field->setToolTip(reason);
}

void TAnalysisSetup::ClearMarks() {
    for (auto it = fieldProblems_.constBegin(); it != fieldProblems_.constEnd(); ++it) {
        auto* w = const_cast<QWidget*>(it.key());
        w->setStyleSheet(QString());
        w->setToolTip(QString());
    }
    fieldProblems_.clear();
}

}  // namespace orvane
