// The output display's comparisons: observations drawn over the chart with a
// table of fit statistics, and a second run drawn as lines beside the first.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "obs/compare.h"
#include "obs/fit.h"
#include "ui/dialogs.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_compare.h"
#include "ui/display_fittable.h"
#include "ui/display_table.h"
#include "model/globals.h"

namespace orvane {

namespace {

constexpr int kOK = static_cast<int>(TMsgButton::OK);
constexpr int kFitTableMaxHeight = 160;

QString FileName(const QString& path) { return QFileInfo(path).fileName(); }
QString FileName(const std::string& path) { return FileName(QString::fromStdString(path)); }

// The rows of `t` from time t0 on, as the display's table keeps them.
TRunTable RowsFrom(const TRunTable& t, double t0) {
    TRunTable out = t;
    std::size_t first = 0;
    while (first < t.Rows() && t.Time(first) < t0) ++first;
    out.values.erase(out.values.begin(), out.values.begin() + static_cast<std::ptrdiff_t>(first * t.Columns()));
    out.lines.erase(out.lines.begin(), out.lines.begin() + static_cast<std::ptrdiff_t>(first));
    return out;
}

// Refuses a file whose columns are not those the display shows.
void CheckColumns(const TRunTable& t, const TOutputTableModel& shown) {
    const bool same = static_cast<int>(t.Columns()) == shown.Columns() && [&] {
        for (int c = 0; c < shown.Columns(); ++c) {
            const QString expected = shown.Name(c).left(20).trimmed();
            if (QString::fromStdString(t.names[static_cast<std::size_t>(c)]) != expected) return false;
        }
        return true;
    }();
    if (!same) throw ETableFileError(t.path + ": the file does not hold this model's columns.");
}

}  // namespace

void TFmDisplayData::BuildComparisonControls() {
    comparison_ = std::make_unique<TDisplayComparison>();
    PnFit = new QWidget(this);
    PnFit->setObjectName("PnFit");
    auto* box = new QVBoxLayout(PnFit);
    box->setContentsMargins(4, 2, 4, 2);
    box->setSpacing(2);
    TblFit = new TFitTable(PnFit);
    LblFitNotes = new QLabel(PnFit);
    LblFitNotes->setWordWrap(true);
    LblFitNotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->addWidget(TblFit);
    box->addWidget(LblFitNotes);
    PnFit->setVisible(false);
    // Under the chart, above the series list.
    static_cast<QVBoxLayout*>(layout())->insertWidget(layout()->indexOf(PnBottom), PnFit);

    MIChart->addSeparator();
    MIObservations = MIChart->addAction("&Observations...");
    MIClearObservations = MIChart->addAction("Clear O&bservations");
    MICompareRun = MIChart->addAction("&Compare with run...");
    MIClearCompareRun = MIChart->addAction("Clear Compared &Run");
    connect(MIObservations, &QAction::triggered, this, [this] { MIObservationsClick(); });
    connect(MIClearObservations, &QAction::triggered, this, [this] { MIClearObservationsClick(); });
    connect(MICompareRun, &QAction::triggered, this, [this] { MICompareRunClick(); });
    connect(MIClearCompareRun, &QAction::triggered, this, [this] { MIClearCompareRunClick(); });
    UpdateComparisonMenu();
}

bool TFmDisplayData::HasObservations() const { return comparison_->observations.has_value(); }
bool TFmDisplayData::HasComparedRun() const { return comparison_->compared.has_value(); }

void TFmDisplayData::UpdateComparisonMenu() {
    MIClearObservations->setEnabled(HasObservations());
    MIClearCompareRun->setEnabled(HasComparedRun());
}

void TFmDisplayData::MIObservationsClick() {
    TFileDialogSpec dlgSpec;
    dlgSpec.title = "Open Observation File";
    dlgSpec.defaultExt = "csv";
    dlgSpec.filters = {{"Observation Files (*.csv)", "*.csv"},
                       {"Text Files (*.txt; *.tsv)", "*.txt;*.tsv"},
                       {"All Files (*.*)", "*.*"}};
    dlgSpec.mustExist = true;
    QString path;
    if (!dialogs_.OpenFile(dlgSpec, path) || path.isEmpty()) return;
    if (LoadObservations(path)) UpdateChart();
}

void TFmDisplayData::MICompareRunClick() {
    TFileDialogSpec dlgSpec;
    dlgSpec.title = "Compare with Run";
    dlgSpec.defaultExt = "out";
    dlgSpec.filters = {{"Output Files (*.out)", "*.out"}, {"All Files (*.*)", "*.*"}};
    dlgSpec.mustExist = true;
    QString path;
    if (!dialogs_.OpenFile(dlgSpec, path) || path.isEmpty()) return;
    if (LoadComparedRun(path)) UpdateChart();
}

void TFmDisplayData::MIClearObservationsClick() {
    ClearObservations();
    UpdateChart();
}

void TFmDisplayData::MIClearCompareRunClick() {
    ClearComparedRun();
    UpdateChart();
}

bool TFmDisplayData::LoadObservations(const QString& path) {
    try {
        comparison_->observations = ReadObservationFile(path.toStdString(), TVariableCatalogue(g_));
    } catch (const std::exception& e) {
        dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(e.what()), kOK);
        return false;
    }
    comparison_->observationPath = path;
    UpdateComparisonMenu();
    UpdateFitTable();
    return true;
}

bool TFmDisplayData::LoadComparedRun(const QString& path) {
    try {
        TRunTable t = ReadRunTable(path.toStdString());
        CheckColumns(t, *OutputTable);
        comparison_->compared = RowsFrom(t, g_.StartTime);
    } catch (const std::exception& e) {
        dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(e.what()), kOK);
        return false;
    }
    comparison_->comparedPath = path;
    UpdateComparisonMenu();
    UpdateFitTable();
    return true;
}

void TFmDisplayData::ClearObservations() {
    comparison_->observations.reset();
    comparison_->observationPath.clear();
    UpdateComparisonMenu();
    UpdateFitTable();
}

void TFmDisplayData::ClearComparedRun() {
    comparison_->compared.reset();
    comparison_->comparedPath.clear();
    UpdateComparisonMenu();
    UpdateFitTable();
}

void TFmDisplayData::ShownRunChanged() {
    comparison_->shown.reset();
    if (HasObservations()) UpdateFitTable();
}

const TRunTable* TFmDisplayData::ShownRun() {
    if (!comparison_->shown) {
        try {
            TRunTable t = ReadRunTable(g_.DisplayFile);
            CheckColumns(t, *OutputTable);
            comparison_->shown = RowsFrom(t, g_.StartTime);
        } catch (const std::exception& e) {
            dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(e.what()), kOK);
            return nullptr;
        }
    }
    return &*comparison_->shown;
}

void TFmDisplayData::UpdateFitTable() {
    const bool show = HasObservations();
    PnFit->setVisible(show && !g_.TableMode);
    if (!show) return;
    std::vector<TFitTable::TRunFitRows> fits;
    QString notes;
    auto fitOf = [&](const TRunTable& run, const QString& name) {
        try {
            TRunFit fit = FitRun(*comparison_->observations, run);
            const QString more = QString::fromStdString(FitNotes(fit)).trimmed();
            for (const QString& line : more.split('\n', Qt::SkipEmptyParts))
                notes += (notes.isEmpty() ? "" : "\n") + name + ", " + line;
            fits.push_back({name, std::move(fit)});
        } catch (const std::exception& e) {
            notes += (notes.isEmpty() ? "" : "\n") + QString::fromStdString(e.what());
        }
    };
    if (const TRunTable* shown = ShownRun()) fitOf(*shown, FileName(g_.DisplayFile));
    if (HasComparedRun()) fitOf(*comparison_->compared, FileName(comparison_->comparedPath));
    TblFit->SetFits(fits);
    LblFitNotes->setText(notes);
    LblFitNotes->setVisible(!notes.isEmpty());
    TblFit->setFixedHeight(TblFit->WantedHeight(kFitTableMaxHeight));
}

void TFmDisplayData::DrawOverlays() {
    ChOutput->ClearOverlays();
    if (!HasObservations() && !HasComparedRun()) return;
    const int xcol = FindColumn(XSeries);
    const TRunTable* shown = HasObservations() ? ShownRun() : nullptr;
    const int type = ValueType();
    const QString shownName = FileName(g_.DisplayFile);
    for (int j = 1; j <= YCount; ++j) {
        const int ycol = FindColumn(YSeries[static_cast<std::size_t>(j)]);
        if (xcol < 0 || ycol < 0 || ChOutput->PointCount(j) == 0) continue;
        const QString name = OutputTable->Name(ycol);
        // Plotted as the series is: its own first value is the reference.
        auto transform = [type](double y, double y0) {
            return type == RelativeChange ? y / y0 : type == CumulativeChange ? y - y0 : y;
        };
        if (HasComparedRun()) {
            const TRunTable& b = *comparison_->compared;
            QVector<double> xs, ys;
            const auto bx = static_cast<std::size_t>(xcol), by = static_cast<std::size_t>(ycol);
            for (std::size_t r = 0; r < b.Rows(); ++r) {
                const double y = transform(b.At(r, by), b.At(0, by));
                if (!std::isfinite(y) || !std::isfinite(b.At(r, bx))) continue;
                xs.push_back(b.At(r, bx));
                ys.push_back(y);
            }
            ChOutput->SetSeriesTitle(j, name + " (" + shownName + ")");
            ChOutput->AddComparedLine(j, xs, ys, name + " (" + FileName(comparison_->comparedPath) + ")");
        }
        if (!shown) continue;
        for (const TObservedVariable& ov : comparison_->observations->variables) {
            if (ov.var.column != ycol) continue;
            const double y0 = OutputTable->DisplayValue(0, ycol);  // as the series is drawn
            const double scale = type == RelativeChange ? std::fabs(y0) : 1;
            QVector<double> xs, ys, sds;
            for (const TObservation& p : ov.points) {
                // Against another variable than time, an observation sits at
                // the run's value of that variable at its time.
                double x = p.time;
                if (xcol != 0 && !InterpolateAt(*shown, static_cast<std::size_t>(xcol), p.time, x)) continue;
                const double y = transform(p.value, y0);
                if (!std::isfinite(x) || !std::isfinite(y)) continue;
                xs.push_back(x);
                ys.push_back(y);
                sds.push_back(std::isnan(p.sd) ? 0 : p.sd / scale);
            }
            const bool anySd = std::any_of(sds.begin(), sds.end(), [](double s) { return s > 0; });
            ChOutput->AddObservationPoints(j, xs, ys, anySd ? sds : QVector<double>(),
                                           name + " (" + FileName(comparison_->observationPath) + ")");
        }
    }
}

void TFmDisplayData::OfferDifferences(const QString& tablePath) {
    if (!HasComparedRun()) return;
    const QFileInfo table(tablePath);
    const QString path = table.dir().filePath(table.completeBaseName() + "-differences.csv");
    const QString question = "Also export the differences of the compared run " +
                             FileName(comparison_->comparedPath) + " from " + FileName(g_.DisplayFile) +
                             " to " + path + "?";
    if (dialogs_.MessageDlg(TMsgKind::Confirmation, question,
                            static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No)) == TMsgButton::Yes)
        ExportDifferences(path);
}

bool TFmDisplayData::ExportDifferences(const QString& path) {
    const TRunTable* shown = ShownRun();
    if (!shown || !HasComparedRun()) return false;
    TRunTable d = DifferenceTable(*shown, *comparison_->compared);
    // Whole names rather than the output file's cut ones.
    if (static_cast<int>(d.Columns()) == OutputTable->Columns())
        for (int c = 0; c < OutputTable->Columns(); ++c)
            d.names[static_cast<std::size_t>(c)] = OutputTable->Name(c).toStdString();
    try {
        // Empty cells at times outside the compared run.
        WriteOutputTableCsv(path.toStdString(), d, TCsvValues::Shortest);
        return true;
    } catch (const std::exception& e) {
        dialogs_.MessageDlg(TMsgKind::Error, "Cannot export the differences to " + path + ": " + e.what(), kOK);
        return false;
    }
}

}  // namespace orvane
