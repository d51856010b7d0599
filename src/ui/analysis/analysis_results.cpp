#include "ui/analysis/analysis_results.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "io/numfmt.h"
#include "ui/analysis/analysis_chart.h"
#include "ui/analysis/analysis_text.h"
#include "ui/dialogs.h"

namespace orvane {

namespace {

constexpr int kOK = static_cast<int>(TMsgButton::OK);

QString Num(double v) { return QString::fromStdString(FormatGeneral(v)); }

}  // namespace

TAnalysisResultsPage::TAnalysisResultsPage(IDialogService& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    LblSummary = new QLabel("No results yet: run the set-up, or open a results folder.", this);
    LblSummary->setObjectName("LblSummary");
    LblSummary->setWordWrap(true);
    root->addWidget(LblSummary);

    auto* bar = new QHBoxLayout;
    CbChart = new QComboBox(this);
    CbChart->setObjectName("CbChart");
    CbChart->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    CbOutput = new QComboBox(this);
    CbOutput->setObjectName("CbOutput");
    CbOutput->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    CbTime = new QComboBox(this);
    CbTime->setObjectName("CbTime");
    CbTime->setMinimumContentsLength(6);
    SpTop = new QSpinBox(this);
    SpTop->setObjectName("SpTop");
    SpTop->setRange(1, 20);
    SpTop->setValue(5);
    auto* chartLabel = new QLabel("Char&t:", this);
    chartLabel->setBuddy(CbChart);
    auto* outputLabel = new QLabel("O&utput:", this);
    outputLabel->setBuddy(CbOutput);
    LblTime = new QLabel("T&ime:", this);
    LblTime->setBuddy(CbTime);
    LblTop = new QLabel("To&p factors:", this);
    LblTop->setBuddy(SpTop);
    BtnSaveImage = new QPushButton("Save Ima&ge...", this);
    BtnSaveImage->setObjectName("BtnSaveImage");
    BtnExportData = new QPushButton("Export &Data...", this);
    BtnExportData->setObjectName("BtnExportData");
    BtnPrint = new QPushButton("Print...", this);
    BtnPrint->setObjectName("BtnPrint");
    bar->addWidget(chartLabel);
    bar->addWidget(CbChart);
    bar->addSpacing(8);
    bar->addWidget(outputLabel);
    bar->addWidget(CbOutput);
    bar->addSpacing(8);
    bar->addWidget(LblTime);
    bar->addWidget(CbTime);
    bar->addWidget(LblTop);
    bar->addWidget(SpTop);
    bar->addStretch(1);
    bar->addWidget(BtnSaveImage);
    bar->addWidget(BtnExportData);
    bar->addWidget(BtnPrint);
    root->addLayout(bar);

    auto* body = new QHBoxLayout;
    Chart = new TAnalysisChart(this);
    Chart->setObjectName("Chart");
    Chart->setMinimumSize(400, 300);
    body->addWidget(Chart, 1);
    auto* failed = new QGroupBox("Failed members", this);
    auto* fl = new QVBoxLayout(failed);
    LblFailed = new QLabel(failed);
    LblFailed->setObjectName("LblFailed");
    LblFailed->setWordWrap(true);
    GrdFailed = new QTableWidget(0, 2, failed);
    GrdFailed->setObjectName("GrdFailed");
    GrdFailed->setHorizontalHeaderLabels({"Member", "Message"});
    GrdFailed->verticalHeader()->setVisible(false);
    GrdFailed->horizontalHeader()->setStretchLastSection(true);
    GrdFailed->setColumnWidth(0, 64);
    GrdFailed->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GrdFailed->setWordWrap(true);
    fl->addWidget(LblFailed);
    fl->addWidget(GrdFailed, 1);
    failed->setFixedWidth(300);
    body->addWidget(failed);
    root->addLayout(body, 1);

    for (QComboBox* c : {CbChart, CbOutput, CbTime})
        connect(c, &QComboBox::currentIndexChanged, this, [this, c] {
            if (filling_) return;
            if (c != CbTime) FillTimes();
            Redraw();
        });
    connect(SpTop, &QSpinBox::valueChanged, this, [this] {
        if (!filling_) Redraw();
    });
    connect(BtnSaveImage, &QPushButton::clicked, this, &TAnalysisResultsPage::SaveImageClick);
    connect(BtnExportData, &QPushButton::clicked, this, &TAnalysisResultsPage::ExportDataClick);
    connect(BtnPrint, &QPushButton::clicked, this, &TAnalysisResultsPage::PrintClick);
    Clear();
}

TAnalysisResultsPage::~TAnalysisResultsPage() = default;

void TAnalysisResultsPage::Clear() {
    results_.reset();
    filling_ = true;
    CbChart->clear();
    CbOutput->clear();
    CbTime->clear();
    filling_ = false;
    Chart->Show({});
    GrdFailed->setRowCount(0);
    LblFailed->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{CbChart, CbOutput, CbTime, SpTop, BtnSaveImage, BtnExportData, BtnPrint})
        w->setEnabled(false);
}

void TAnalysisResultsPage::Show(TResultsData results) {
    results_ = std::make_unique<TResultsData>(std::move(results));
    const TResultsData& r = *results_;
    filling_ = true;
    CbChart->clear();
    for (const TChartKind k : AvailableCharts(r)) CbChart->addItem(ChartCaption(k), static_cast<int>(k));
    CbOutput->clear();
    for (const auto& v : r.info.variables) {
        CbOutput->addItem(QString::fromStdString(v.symbol) + "  " + QString::fromStdString(v.longName),
                          QString::fromStdString(v.symbol));
    }
    filling_ = false;
    for (QWidget* w : std::initializer_list<QWidget*>{CbChart, CbOutput, CbTime, SpTop, BtnSaveImage, BtnExportData, BtnPrint})
        w->setEnabled(true);

    const std::size_t failed = r.members.Failed();
    QString text = QString::number(r.members.rows.size()) + " members (" + MethodCaption(QString::fromStdString(r.info.design)) +
                   "): " + QString::number(r.members.rows.size() - failed) + " ok, " + QString::number(failed) +
                   " failed. Results in " + QDir::toNativeSeparators(r.folder) + ".";
    if (!r.baseNote.isEmpty()) text += " " + r.baseNote;
    LblSummary->setText(text);
    LblFailed->setText(failed == 0 ? QString("No member failed.")
                                   : QString::number(failed) + " of " + QString::number(r.members.rows.size()) +
                                         " members failed; the charts leave them out.");
    GrdFailed->setRowCount(0);
    for (const ensemble::TMemberRow& m : r.members.rows) {
        if (m.ok) continue;
        const int row = GrdFailed->rowCount();
        GrdFailed->insertRow(row);
        GrdFailed->setItem(row, 0, new QTableWidgetItem(QString::number(m.member)));
        auto* msg = new QTableWidgetItem(QString::fromStdString(m.message));
        msg->setToolTip(msg->text());
        GrdFailed->setItem(row, 1, msg);
    }
    FillTimes();
    Redraw();
}

TChartKind TAnalysisResultsPage::CurrentChart() const {
    return static_cast<TChartKind>(CbChart->currentData().toInt());
}

bool TAnalysisResultsPage::SelectChart(TChartKind kind) {
    const int i = CbChart->findData(static_cast<int>(kind));
    if (i < 0) return false;
    CbChart->setCurrentIndex(i);
    return true;
}

bool TAnalysisResultsPage::SelectOutput(const QString& symbol) {
    const int i = CbOutput->findData(symbol);
    if (i < 0) return false;
    CbOutput->setCurrentIndex(i);
    return true;
}

bool TAnalysisResultsPage::SelectTime(double time) {
    for (int i = 0; i < CbTime->count(); ++i) {
        if (CbTime->itemData(i).toDouble() == time) {
            CbTime->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void TAnalysisResultsPage::FillTimes() {
    if (!results_) return;
    const TChartKind kind = CurrentChart();
    const bool atTime = ChartAtTime(kind);
    LblTime->setVisible(atTime);
    CbTime->setVisible(atTime);
    LblTop->setVisible(ChartOfTopFactors(kind));
    SpTop->setVisible(ChartOfTopFactors(kind));
    if (!atTime) return;
    // Keep the time chosen where the new chart has it; else the last.
    const QVariant before = CbTime->currentData();
    filling_ = true;
    CbTime->clear();
    for (const double t : ChartTimes(*results_, kind, CbOutput->currentData().toString())) CbTime->addItem(Num(t), t);
    const int keep = before.isValid() ? CbTime->findData(before) : -1;
    CbTime->setCurrentIndex(keep >= 0 ? keep : CbTime->count() - 1);
    filling_ = false;
}

void TAnalysisResultsPage::Redraw() {
    if (!results_ || CbOutput->currentIndex() < 0) return;
    const TChartKind kind = CurrentChart();
    try {
        const double time = CbTime->currentIndex() >= 0 ? CbTime->currentData().toDouble() : std::nan("");
        Chart->Show(BuildChart(*results_, kind, CbOutput->currentData().toString(), time, SpTop->value()));
    } catch (const std::exception& err) {
        Chart->Show({});
        dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(err.what()), kOK);
    }
}

QString TAnalysisResultsPage::AskSavePath(const QString& title, const QString& ext, const QList<TFileFilter>& filters) {
    TFileDialogSpec spec;
    spec.title = title;
    spec.defaultExt = ext;
    spec.filters = filters;
    spec.promptOverwrite = true;
    if (results_) spec.initialName = QDir(results_->folder).filePath(CbOutput->currentData().toString() + "." + ext);
    QString path;
    if (!dialogs_.SaveFile(spec, path) || path.isEmpty()) return {};
    if (QFileInfo(path).suffix().isEmpty()) path += "." + ext;
    return path;
}

void TAnalysisResultsPage::SaveImageClick() {
    const QString path = AskSavePath("Save Chart Image", "png",
                                     {{"PNG Images (*.png)", "*.png"}, {"PDF Documents (*.pdf)", "*.pdf"}});
    if (!path.isEmpty() && !Chart->SaveImage(path))
        dialogs_.MessageDlg(TMsgKind::Error, "Cannot save the chart to " + path + ".", kOK);
}

void TAnalysisResultsPage::ExportDataClick() {
    const QString path = AskSavePath("Export Chart Data", "csv", {{"CSV Files (*.csv)", "*.csv"}, {"All Files (*.*)", "*.*"}});
    QString error;
    if (!path.isEmpty() && !Chart->ExportCsv(path, error))
        dialogs_.MessageDlg(TMsgKind::Error, "Cannot export the chart's data to " + path + ": " + error, kOK);
}

void TAnalysisResultsPage::PrintClick() {
    // Without a printer a print job silently produces nothing; say so instead.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        dialogs_.MessageDlg(TMsgKind::Error, "No default printer is set up on this computer. The chart was not printed.", kOK);
        return;
    }
    if (dialogs_.MessageDlg(TMsgKind::Information, "Print the chart to " + info.printerName() + "?",
                            kOK | static_cast<int>(TMsgButton::Cancel)) != TMsgButton::OK)
        return;
    QPrinter printer(info, QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(Chart->Data().title);
    if (!Chart->PrintOn(printer))
        dialogs_.MessageDlg(TMsgKind::Error, "The chart could not be sent to the printer " + info.printerName() + ".", kOK);
}

}  // namespace orvane
