#include "ui/analysis/analysis.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "ensemble/base_run.h"
#include "ensemble/design_methods.h"
#include "ensemble/experiment_write.h"
#include "ensemble/journal.h"
#include "ensemble/site.h"
#include "model/globals.h"
#include "ui/analysis/analysis_results.h"
#include "ui/analysis/analysis_setup.h"
#include "ui/analysis/analysis_views.h"
#include "ui/dialogs.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr int kOK = static_cast<int>(TMsgButton::OK);
constexpr int kYesNo = static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No);

QString Duration(double seconds) {
    if (!(seconds >= 0) || seconds > 1e7) return "?";
    const long long s = std::llround(seconds);
    if (s >= 3600) return QString::asprintf("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return QString::asprintf("%lld:%02lld", s / 60, s % 60);
}

TFileDialogSpec ExperimentDialog(const QString& title) {
    TFileDialogSpec spec;
    spec.title = title;
    spec.defaultExt = "toml";
    spec.filters = {{"Experiment Files (*.toml)", "*.toml"}, {"All Files (*.*)", "*.*"}};
    return spec;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The members a journal holds (whole records only).
std::size_t JournalMembers(const std::string& path) {
    ensemble::TJournalReader reader(path);
    ensemble::TMemberRecord r;
    std::size_t n = 0;
    while (reader.Next(r)) ++n;
    return n;
}

}  // namespace

TFmAnalysis::TFmAnalysis(TGlobals& g, IDialogService& dialogs, QWidget* parent)
    : QMainWindow(parent), g_(g), dialogs_(dialogs), worker_(std::make_unique<TEnsembleWorker>()) {
    setObjectName("FmAnalysis");
    BuildControls();
    BuildMenus();
    connect(worker_.get(), &TEnsembleWorker::StatusChanged, this, &TFmAnalysis::ShowStatus);
    connect(worker_.get(), &TEnsembleWorker::Finished, this, &TFmAnalysis::Finished);
    connect(Setup, &TAnalysisSetup::Changed, this, &TFmAnalysis::SetupChanged);
    connect(Setup, &TAnalysisSetup::SiteWanted, this, [this] { Setup->TakeSite(g_); });
    UpdateCaption();
    UpdateControls();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    resize(std::min(1360, screen.width()), std::min(740, screen.height()));
}

TFmAnalysis::~TFmAnalysis() = default;

void TFmAnalysis::BuildControls() {
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 4);
    Pages = new QTabWidget(central);
    Pages->setObjectName("Pages");
    Setup = new TAnalysisSetup(g_, dialogs_, Pages);
    ResultsPage = new TAnalysisResultsPage(dialogs_, Pages);
    Pages->addTab(Setup, "Set-up");
    Pages->addTab(ResultsPage, "Results");
    v->addWidget(Pages, 1);

    auto* bar = new QHBoxLayout;
    auto* folderLabel = new QLabel("Results fo&lder:", central);
    EdResultsFolder = new QLineEdit(central);
    EdResultsFolder->setObjectName("EdResultsFolder");
    folderLabel->setBuddy(EdResultsFolder);
    BtnResultsFolder = new QPushButton("Choose...", central);
    BtnResultsFolder->setObjectName("BtnResultsFolder");
    BtnRun = new QPushButton("Ru&n", central);
    BtnRun->setObjectName("BtnRun");
    BtnCancel = new QPushButton("&Cancel", central);
    BtnCancel->setObjectName("BtnCancel");
    PbMembers = new QProgressBar(central);
    PbMembers->setObjectName("PbMembers");
    PbMembers->setFormat("%v / %m");
    PbMembers->setValue(0);
    PbMembers->setTextVisible(false);  // until a run gives it members to count
    PbMembers->setFixedWidth(220);
    LblStatus = new QLabel(central);
    LblStatus->setObjectName("LblStatus");
    LblStatus->setWordWrap(true);
    bar->addWidget(folderLabel);
    bar->addWidget(EdResultsFolder, 2);
    bar->addWidget(BtnResultsFolder);
    bar->addSpacing(12);
    bar->addWidget(BtnRun);
    bar->addWidget(BtnCancel);
    bar->addWidget(PbMembers);
    bar->addWidget(LblStatus, 3);
    v->addLayout(bar);
    setCentralWidget(central);

    connect(EdResultsFolder, &QLineEdit::textEdited, this, [this] { folderEdited_ = true; });
    connect(BtnResultsFolder, &QPushButton::clicked, this, &TFmAnalysis::ChooseResultsFolder);
    connect(BtnRun, &QPushButton::clicked, this, &TFmAnalysis::BtnRunClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TFmAnalysis::BtnCancelClick);
}

void TFmAnalysis::BuildMenus() {
    auto command = [this](QMenu* menu, const QString& caption, const char* name, void (TFmAnalysis::*handler)(),
                          const QKeySequence& keys = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    MIFile = menuBar()->addMenu("&File");
    MINew = command(MIFile, "&New", "MINew", &TFmAnalysis::MINewClick, QKeySequence::New);
    MIOpen = command(MIFile, "&Open Experiment...", "MIOpen", &TFmAnalysis::MIOpenClick, QKeySequence::Open);
    MISave = MIFile->addAction("&Save Experiment");
    MISave->setObjectName("MISave");
    MISave->setShortcut(QKeySequence::Save);
    connect(MISave, &QAction::triggered, this, [this] { MISaveClick(); });
    MISaveAs = MIFile->addAction("Save Experiment &As...");
    MISaveAs->setObjectName("MISaveAs");
    connect(MISaveAs, &QAction::triggered, this, [this] { MISaveAsClick(); });
    MIFile->addSeparator();
    MIOpenResults = command(MIFile, "Open &Results...", "MIOpenResults", &TFmAnalysis::MIOpenResultsClick);
    MIFile->addSeparator();
    MIClose = MIFile->addAction("&Close");
    MIClose->setObjectName("MIClose");
    connect(MIClose, &QAction::triggered, this, &QWidget::close);

    MIRun = menuBar()->addMenu("&Run");
    MIRunStart = command(MIRun, "&Run", "MIRunStart", &TFmAnalysis::BtnRunClick, QKeySequence(Qt::Key_F5));
    MIRunCancel = command(MIRun, "&Cancel", "MIRunCancel", &TFmAnalysis::BtnCancelClick);

    MIChart = menuBar()->addMenu("C&hart");
    MISaveImage = MIChart->addAction("Save &Image...");
    MIExportData = MIChart->addAction("Export &Data...");
    MIPrint = MIChart->addAction("&Print...");
    connect(MISaveImage, &QAction::triggered, ResultsPage, &TAnalysisResultsPage::SaveImageClick);
    connect(MIExportData, &QAction::triggered, ResultsPage, &TAnalysisResultsPage::ExportDataClick);
    connect(MIPrint, &QAction::triggered, ResultsPage, &TAnalysisResultsPage::PrintClick);
}

// ---- State -------------------------------------------------------------------

void TFmAnalysis::UpdateCaption() {
    const QString path = Setup->Path();
    setWindowTitle(path.isEmpty() ? QString(AnalysisCaption) : QString(AnalysisCaption) + " - " + QFileInfo(path).fileName());
}

void TFmAnalysis::UpdateControls() {
    const bool running = Running();
    Setup->setEnabled(!running);
    for (QAction* a : {MINew, MIOpen, MISave, MISaveAs, MIOpenResults}) a->setEnabled(!running);
    EdResultsFolder->setEnabled(!running);
    BtnResultsFolder->setEnabled(!running);
    BtnRun->setEnabled(!running && Setup->Valid());
    MIRunStart->setEnabled(BtnRun->isEnabled());
    BtnCancel->setEnabled(running);
    MIRunCancel->setEnabled(running);
    const bool charts = ResultsPage->HasResults();
    for (QAction* a : {MISaveImage, MIExportData, MIPrint}) a->setEnabled(charts);
    if (!running) {
        const QString problem = Setup->Problem();
        LblStatus->setStyleSheet(problem.isEmpty() ? QString() : QString("color: #b00000;"));
        if (!problem.isEmpty()) LblStatus->setText(problem);
        else if (LblStatus->text().isEmpty() || LblStatus->property("problem").toBool()) LblStatus->setText("Ready to run.");
        LblStatus->setProperty("problem", !problem.isEmpty());
    }
}

void TFmAnalysis::SetupChanged() {
    begun_ = true;
    if (!folderEdited_) EdResultsFolder->setText(Native(DefaultResultsFolder()));
    UpdateCaption();
    UpdateControls();
}

QString TFmAnalysis::DefaultResultsFolder() const {
    // Beside the parameter file, named after the experiment as the runner
    // names its default.
    const QString param = Setup->EdParamFile->text();
    if (param.isEmpty()) return {};
    const QString stem = Setup->Path().isEmpty() ? QString("analysis") : QFileInfo(Setup->Path()).completeBaseName();
    return QFileInfo(param).absoluteDir().filePath(stem + "-results");
}

QString TFmAnalysis::ResultsFolder() const {
    const QString text = EdResultsFolder->text().trimmed();
    return QFileInfo(text.isEmpty() ? DefaultResultsFolder() : QDir::fromNativeSeparators(text)).absoluteFilePath();
}

void TFmAnalysis::Error(const QString& text) { dialogs_.MessageDlg(TMsgKind::Error, text, kOK); }

// ---- Opening and saving --------------------------------------------------------

void TFmAnalysis::ShowFromMain() {
    if (!begun_ && !Running()) Setup->NewFromSite(g_);
    begun_ = true;
    show();
    raise();
    activateWindow();
}

void TFmAnalysis::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this);
}

bool TFmAnalysis::MayLeaveSetup() {
    if (!Setup->Modified()) return true;
    const TMsgButton a = dialogs_.MessageDlg(TMsgKind::Confirmation, "Save the changes to the set-up first?",
                                             kYesNo | static_cast<int>(TMsgButton::Cancel));
    return a == TMsgButton::No || (a == TMsgButton::Yes && MISaveClick());
}

void TFmAnalysis::ClearRun() {
    folderEdited_ = false;
    ResultsPage->Clear();
    LblStatus->clear();
    PbMembers->setValue(0);
    PbMembers->setTextVisible(false);
}

void TFmAnalysis::MINewClick() {
    if (Running()) return;
    if (!MayLeaveSetup()) return;
    Setup->NewFromSite(g_);
    ClearRun();
    SetupChanged();
}

void TFmAnalysis::MIOpenClick() {
    if (Running()) return;
    if (!MayLeaveSetup()) return;
    TFileDialogSpec spec = ExperimentDialog("Open Experiment");
    spec.initialName = Setup->Path();
    spec.mustExist = true;
    QString path;
    if (dialogs_.OpenFile(spec, path) && !path.isEmpty()) OpenExperiment(path);
}

bool TFmAnalysis::OpenExperiment(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    ensemble::TExperiment e;
    try {
        e = ensemble::ReadExperiment(full.toStdString());
    } catch (const std::exception& err) {
        Error("Cannot open the experiment:\n" + QString::fromStdString(err.what()));
        return false;
    }
    Setup->SetPath(full);
    Setup->SetExperiment(e);
    ClearRun();
    SetupChanged();
    Pages->setCurrentWidget(Setup);
    return true;
}

bool TFmAnalysis::MISaveClick() {
    if (Setup->Path().isEmpty()) return MISaveAsClick();
    return SaveExperiment(Setup->Path());
}

bool TFmAnalysis::MISaveAsClick() {
    TFileDialogSpec spec = ExperimentDialog("Save Experiment");
    spec.promptOverwrite = true;
    spec.initialName = !Setup->Path().isEmpty() ? Setup->Path()
                       : Setup->EdParamFile->text().isEmpty()
                           ? QString()
                           : QFileInfo(Setup->EdParamFile->text()).absoluteDir().filePath("analysis.toml");
    QString path;
    if (!dialogs_.SaveFile(spec, path) || path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += ".toml";
    return SaveExperiment(path);
}

bool TFmAnalysis::SaveExperiment(const QString& path) {
    if (!Setup->Valid()) {
        Error("The set-up cannot be saved while an entry is bad:\n" + Setup->Problem());
        return false;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    try {
        ensemble::WriteExperiment(Setup->Draft(), full.toStdString());
    } catch (const std::exception& err) {
        Error("Cannot save the experiment:\n" + QString::fromStdString(err.what()));
        return false;
    }
    Setup->SetPath(full);
    Setup->SetModified(false);
    SetupChanged();
    return true;
}

void TFmAnalysis::ChooseResultsFolder() {
    TFileDialogSpec spec;
    spec.title = "Results Folder";
    spec.initialName = ResultsFolder();
    QString path;
    if (!dialogs_.ChooseFolder(spec, path) || path.isEmpty()) return;
    EdResultsFolder->setText(Native(QFileInfo(path).absoluteFilePath()));
    folderEdited_ = true;
}

void TFmAnalysis::MIOpenResultsClick() {
    TFileDialogSpec spec;
    spec.title = "Open Results Folder";
    spec.initialName = ResultsFolder();
    QString path;
    if (dialogs_.ChooseFolder(spec, path) && !path.isEmpty()) OpenResults(path);
}

bool TFmAnalysis::OpenResults(const QString& folder) {
    const QString full = QFileInfo(folder).absoluteFilePath();
    try {
        TResultsData r = ReadResultsFolder(full);
        AddBaseRun(r);
        ResultsPage->Show(std::move(r));
    } catch (const std::exception& err) {
        Error("Cannot show the results in " + Native(full) + ":\n" + QString::fromStdString(err.what()));
        return false;
    }
    Pages->setCurrentWidget(ResultsPage);
    UpdateControls();
    return true;
}

void TFmAnalysis::AddBaseRun(TResultsData& r) {
    // The experiment of the results: the one set up here, or one beside the
    // folder named as the runner names its folders; it must be the very
    // experiment (the members journal names it) or at least have the
    // results' outputs and times.
    const QDir parent = QFileInfo(r.folder).absoluteDir();
    QStringList candidates;
    if (!Setup->Path().isEmpty()) candidates << Setup->Path();
    if (!r.info.experiment.empty()) candidates << parent.filePath(QString::fromStdString(r.info.experiment));
    QString name = QFileInfo(r.folder).fileName();
    if (name.endsWith("-results")) candidates << parent.filePath(name.chopped(8) + ".toml");
    ensemble::TJournalHeader journal;
    const bool hasJournal =
        ensemble::ReadJournalHeader(QDir(r.folder).filePath(ensemble::JournalName).toStdString(), journal);
    r.baseNote = "The base run is not shown: the experiment file that made these results is not beside them "
                 "(open it first).";
    for (const QString& c : candidates) {
        if (!QFileInfo::exists(c)) continue;
        try {
            const ensemble::TExperiment e = ensemble::ReadExperiment(c.toStdString());
            std::vector<std::string> outputs;
            for (const auto& o : e.outputs) outputs.push_back(o.symbol);
            std::vector<std::string> wanted;
            for (const auto& v : r.info.variables) wanted.push_back(v.symbol);
            const bool same = hasJournal ? journal.hash == e.hash : outputs == wanted && e.outputTimes == r.info.times;
            if (!same) continue;
            const std::unique_ptr<ensemble::TSite> site = ensemble::LoadSite(e);
            const std::vector<double> base = ensemble::RunBaseSite(e, *site);
            const std::size_t t = static_cast<std::size_t>(e.Times());
            for (std::size_t v = 0; v < e.outputs.size(); ++v)
                r.base[e.outputs[v].symbol].assign(base.begin() + static_cast<long>(v * t),
                                                   base.begin() + static_cast<long>((v + 1) * t));
            r.baseNote.clear();
            return;
        } catch (const std::exception& err) {
            r.baseNote = "The base run is not shown: " + QString::fromStdString(err.what());
            return;
        }
    }
}

// ---- Running -----------------------------------------------------------------

void TFmAnalysis::BtnRunClick() {
    if (Running() || !Setup->Valid()) return;
    // The runner's files: the set-up is saved first, and run from its file.
    // A file of the user's (an example, one with comments) is written over
    // only when the user says so.
    if (Setup->Path().isEmpty()) {
        if (!MISaveAsClick()) return;
    } else if (Setup->Modified()) {
        const TMsgButton a = dialogs_.MessageDlg(
            TMsgKind::Confirmation,
            "Run saves the set-up first. Save the changes over " + QFileInfo(Setup->Path()).fileName() +
                "? (No saves them under another name.)",
            kYesNo | static_cast<int>(TMsgButton::Cancel));
        if (a == TMsgButton::Cancel) return;
        if (!(a == TMsgButton::Yes ? SaveExperiment(Setup->Path()) : MISaveAsClick())) return;
    }
    ensemble::TExperiment e;
    std::size_t members = 0;
    try {
        e = ensemble::ReadExperiment(Setup->Path().toStdString());
        members = ensemble::MakeDesign(e, ensemble::LoadSite(e)->factorBase)->Members();
    } catch (const std::exception& err) {
        Error("The experiment cannot run:\n" + QString::fromStdString(err.what()));
        return;
    }
    const QString folder = ResultsFolder();
    if (folder.isEmpty()) {
        Error("Choose a results folder first.");
        return;
    }
    ensemble::TEnsembleOptions options;
    options.outDir = folder.toStdString();
    const std::string journal = QDir(folder).filePath(ensemble::JournalName).toStdString();
    ensemble::TJournalHeader header;
    if (QFileInfo::exists(QString::fromStdString(journal))) {
        if (!ensemble::ReadJournalHeader(journal, header) || header.hash != e.hash) {
            Error("The results folder " + Native(folder) +
                  " holds the members of another experiment, or of this one before it was changed. "
                  "Choose another results folder.");
            return;
        }
        std::size_t kept = 0;
        try {
            kept = JournalMembers(journal);
        } catch (const std::exception& err) {
            Error(QString::fromStdString(err.what()));
            return;
        }
        if (kept >= members && QFileInfo::exists(QDir(folder).filePath(ensemble::MembersFileName))) {
            if (dialogs_.MessageDlg(TMsgKind::Confirmation,
                                    "The results folder " + Native(folder) +
                                        " holds the results of this experiment already. Show them?",
                                    kYesNo) == TMsgButton::Yes)
                OpenResults(folder);
            return;
        }
        const QString ask = "The results folder " + Native(folder) + " holds " + QString::number(kept) + " of the " +
                            QString::number(members) + " members of this experiment. Run the other " +
                            QString::number(members - kept) + "?";
        if (dialogs_.MessageDlg(TMsgKind::Confirmation, ask, kYesNo) != TMsgButton::Yes) return;
        options.resume = true;
    }
    runFolder_ = folder;
    PbMembers->setRange(0, static_cast<int>(std::min<std::size_t>(members, INT_MAX)));
    PbMembers->setValue(0);
    PbMembers->setTextVisible(true);
    LblStatus->setStyleSheet(QString());
    LblStatus->setText("Starting " + QString::number(members) + " members...");
    worker_->Start(std::move(e), std::move(options));
    UpdateControls();
}

void TFmAnalysis::BtnCancelClick() {
    if (!Running()) return;
    worker_->Cancel();
    LblStatus->setText("Cancelling: the members under way finish and are kept...");
}

void TFmAnalysis::ShowStatus(const ensemble::TEngineStatus& s) {
    const std::size_t total = s.resumed + s.total;
    const std::size_t done = s.resumed + s.done;
    PbMembers->setRange(0, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
    PbMembers->setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
    LblStatus->setText(QString::number(done) + " of " + QString::number(total) + " members done, " +
                       QString::number(s.failed) + " failed, " + Duration(s.remaining) + " left");
}

void TFmAnalysis::Finished(const TEnsembleEnd& end) {
    UpdateControls();
    if (!end.ok) {
        LblStatus->setText("The analysis could not run.");
        Error("The analysis could not run:\n" + end.error);
    } else if (end.outcome.cancelled) {
        PbMembers->setValue(static_cast<int>(std::min<std::size_t>(end.outcome.kept, INT_MAX)));
        LblStatus->setText("Cancelled: " + QString::number(end.outcome.kept) + " of " +
                           QString::number(end.outcome.members) + " members are kept in the results folder; Run "
                           "continues with the others.");
    } else {
        const ensemble::TResultCounts& c = end.outcome.counts;
        PbMembers->setValue(PbMembers->maximum());
        LblStatus->setText("Done: " + QString::number(c.members) + " members, " + QString::number(c.ok) + " ok, " +
                           QString::number(c.Failed()) + " failed.");
        OpenResults(runFolder_);
    }
    emit RunEnded();
}

void TFmAnalysis::closeEvent(QCloseEvent* event) {
    if (Running()) {
        if (dialogs_.MessageDlg(TMsgKind::Confirmation,
                                "An analysis is running. Cancel it and close the window? The members finished so "
                                "far are kept.",
                                kYesNo) != TMsgButton::Yes) {
            event->ignore();
            return;
        }
        BtnCancelClick();
    }
    event->accept();
}

}  // namespace orvane
