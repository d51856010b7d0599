#include "ui/display.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "io/fileio.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/dialogs.h"
#include "ui/display_chart.h"
#include "ui/display_compare.h"
#include "ui/display_lists.h"
#include "ui/display_table.h"
#include "ui/forms.h"
#include "ui/mainform_iface.h"
#include "ui/scaledlg.h"
#include "ui/seriesform.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr int kRightPanelWidth = 170;
constexpr int kChartPanelHeight = 210;
constexpr int kTablePanelHeight = 40;
constexpr int kCloseTopChart = 164;
constexpr int kCloseTopTable = 5;
constexpr double kSeriesListThreshold = 1.2;

}  // namespace

TFmDisplayData::TFmDisplayData(TGlobals& g, IDialogService& dialogs, TForms& forms, IMainForm* mainForm,
                               QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms), mainForm_(mainForm) {
    setWindowTitle("Model Output Display");
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    resize(1000, 700);
    BuildControls();
    BuildMenu();
    FormCreate();
}

TFmDisplayData::~TFmDisplayData() = default;

void TFmDisplayData::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    OutputTable = new TOutputTableModel(this);
    SgModelOutput = new TOutputTableView(this);
    SgModelOutput->setObjectName("SgModelOutput");
    SgModelOutput->setModel(OutputTable);
    ChOutput = new TOutputChart(this);
    ChOutput->setObjectName("ChOutput");
    layout->addWidget(SgModelOutput, 1);
    layout->addWidget(ChOutput, 1);

    PnBottom = new QWidget(this);
    PnBottom->setObjectName("PnBottom");
    PnBottom->setFixedHeight(kChartPanelHeight);
    auto* bottom = new QHBoxLayout(PnBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    layout->addWidget(PnBottom);

    PnBottomLeft = new QWidget(PnBottom);
    auto* left = new QVBoxLayout(PnBottomLeft);
    left->setContentsMargins(4, 2, 2, 4);
    left->setSpacing(2);
    LbDirections = new QLabel(" Select a maximum of 10 series to plot.", PnBottomLeft);
    LbxSeries = new QListWidget(PnBottomLeft);
    LbxSeries->setObjectName("LbxSeries");
    // A click toggles one entry, as in a multiple-selection list.
    LbxSeries->setSelectionMode(QAbstractItemView::MultiSelection);
    left->addWidget(LbDirections);
    left->addWidget(LbxSeries, 1);
    bottom->addWidget(PnBottomLeft, 1);

    // The right panel places its controls by hand: the close button moves
    // between modes, and the panel's height clips what a mode does not use.
    PnBottomRight = new QWidget(PnBottom);
    bottom->addWidget(PnBottomRight);

    RgValueType = new QGroupBox("Plot as", PnBottomRight);
    auto* types = new QVBoxLayout(RgValueType);
    types->setContentsMargins(6, 2, 4, 2);
    types->setSpacing(0);
    valueTypes_ = new QButtonGroup(this);
    const char* captions[] = {"&Actual Values (y)", "&Relative Change (y/y0)", "Cu&mmulative Change (y-y0)"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QRadioButton(captions[i], RgValueType);
        types->addWidget(b);
        valueTypes_->addButton(b, i);
    }
    valueTypes_->button(ActualValues)->setChecked(true);

    BtnUpdateChart = new QPushButton("&Update Chart", PnBottomRight);
    BtnUpdateChart->setDefault(true);
    BtnClearSeries = new QPushButton("Clear &Selection", PnBottomRight);
    BtnCloseDisplay = new QPushButton("Close &Display", PnBottomRight);

    // 170 pixels unless the captions of "Plot as" need more in this font.
    const int panelWidth = std::max(kRightPanelWidth, RgValueType->sizeHint().width() + 10);
    PnBottomRight->setFixedWidth(panelWidth);
    RgValueType->setGeometry(5, 2, panelWidth - 10, 92);
    const int buttonLeft = (panelWidth - 130) / 2;
    BtnUpdateChart->setGeometry(buttonLeft, 98, 130, 28);
    BtnClearSeries->setGeometry(buttonLeft, 131, 130, 28);
    BtnCloseDisplay->setGeometry(buttonLeft, kCloseTopChart, 130, 28);

    connect(BtnUpdateChart, &QPushButton::clicked, this, [this] { BtnUpdateChartClick(); });
    connect(BtnClearSeries, &QPushButton::clicked, this, [this] { BtnClearSeriesClick(); });
    connect(BtnCloseDisplay, &QPushButton::clicked, this, [this] { BtnCloseDisplayClick(); });
}

void TFmDisplayData::BuildMenu() {
    DisplayMenu = new QMenuBar(this);
    layout()->setMenuBar(DisplayMenu);

    MIWindow = DisplayMenu->addMenu("&Window");
    MINewFile = MIWindow->addAction("&New File");
    MIExportTable = MIWindow->addAction("&Export Table...");
    MIWindow->addSeparator();
    MICloseDisplay = MIWindow->addAction("&Close");

    MIChart = DisplayMenu->addMenu("&Chart");
    MIXaxis = MIChart->addMenu("&X-axis");
    MIDefineX = MIXaxis->addAction("&Define");
    MIScaleX = MIXaxis->addAction("&Scale");
    MIYaxis = MIChart->addMenu("&Y-axis");
    MIDefineY = MIYaxis->addAction("&Define");
    MIScaleY = MIYaxis->addAction("&Scale");
    MIUpdateChart = MIChart->addAction("&Update");
    MIPrintChart = MIChart->addAction("&Print");
    MISaveImage = MIChart->addAction("Save &Image...");

    connect(MINewFile, &QAction::triggered, this, [this] { MINewFileClick(); });
    connect(MIExportTable, &QAction::triggered, this, [this] { MIExportTableClick(); });
    connect(MICloseDisplay, &QAction::triggered, this, [this] { BtnCloseDisplayClick(); });
    connect(MIDefineX, &QAction::triggered, this, [this] { ChooseSeries(MIDefineX); });
    connect(MIDefineY, &QAction::triggered, this, [this] { ChooseSeries(MIDefineY); });
    connect(MIScaleX, &QAction::triggered, this, [this] { ScaleClick(MIScaleX); });
    connect(MIScaleY, &QAction::triggered, this, [this] { ScaleClick(MIScaleY); });
    connect(MIUpdateChart, &QAction::triggered, this, [this] { BtnUpdateChartClick(); });
    connect(MIPrintChart, &QAction::triggered, this, [this] { MIPrintChartClick(); });
    connect(MISaveImage, &QAction::triggered, this, [this] { MISaveImageClick(); });
    BuildComparisonControls();
}

int TFmDisplayData::ValueType() const { return std::max(0, valueTypes_->checkedId()); }

void TFmDisplayData::SetValueType(int index) {
    if (QAbstractButton* b = valueTypes_->button(index)) b->setChecked(true);
}

// ---- Opening and closing --------------------------------------------------------

void TFmDisplayData::FormCreate() {
    ChOutput->SetTitle(QString::fromStdString(g_.ModelDef.modelname));
    OutputTable->BuildHeader(g_);
    FillListBox(LbxSeries);
    SetListColumns(LbxSeries, 6);
    XSeries = "Time";
    // The empty chart already names its horizontal axis.
    ChOutput->SetAxisTitle(true, XSeries);
    g_.ReloadNeeded = true;
}

void TFmDisplayData::FillListBox(QListWidget* list) { FillSeriesList(list, g_); }

int TFmDisplayData::ShowModal() {
    setWindowState(windowState() | Qt::WindowMaximized);
    return exec();
}

void TFmDisplayData::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        PlaceOnOwnerScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TFmDisplayData::FormShow() {
    if (g_.ReloadNeeded) LoadOutput();
    const bool table = g_.TableMode;
    SgModelOutput->setVisible(table);
    ChOutput->setVisible(!table);
    MIChart->menuAction()->setVisible(!table);
    MIChart->menuAction()->setEnabled(!table);
    MIChart->setEnabled(!table);
    PnBottom->setFixedHeight(table ? kTablePanelHeight : kChartPanelHeight);
    LbxSeries->setVisible(!table);
    LbxSeries->setEnabled(!table);
    LbDirections->setVisible(!table);
    RgValueType->setVisible(!table);
    RgValueType->setEnabled(!table);
    BtnCloseDisplay->move(BtnCloseDisplay->x(), table ? kCloseTopTable : kCloseTopChart);
    BtnUpdateChart->setEnabled(!table);
    PnFit->setVisible(!table && HasObservations());
}

void TFmDisplayData::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFmDisplayData::FormResize() { FitListColumns(LbxSeries); }

void TFmDisplayData::FitListColumns(QListWidget* list) {
    if (list == LbxSeries) {
        SetListColumns(list, ListColumnCount(width() - PnBottomRight->width(), kSeriesListThreshold));
    } else {
        SetListColumns(list, ListColumnCount(list->window()->width(), 1.1));
    }
}

void TFmDisplayData::keyPressEvent(QKeyEvent* event) {
    // Escape is the Close Display button, which keeps the table for next time.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnCloseDisplay->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFmDisplayData::BtnCloseDisplayClick() {
    g_.ReloadNeeded = false;
    reject();
}

void TFmDisplayData::MINewFileClick() {
    if (mainForm_) mainForm_->MIViewOutFileClick();
    FormShow();
    UpdateChart();
}

// ---- Table --------------------------------------------------------------------

void TFmDisplayData::ClearTable() {
    OutputTable->Clear();
    g_.ReloadNeeded = true;
}

void TFmDisplayData::LoadOutput() {
    // A large file takes a moment; show that the program is busy reading.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ClearTable();
    setWindowTitle("Model Output - File: " + QString::fromStdString(g_.DisplayFile));

    // The file is read whole into the display's own table, so the model's
    // values and the shared output-file handle are never touched.
    TOutputTable read = OutputTableColumns(g_);
    TOutputReadOptions options;
    options.minTime = g_.StartTime;
    std::string message;
    TMsgKind kind = TMsgKind::Error;
    try {
        const TOutputReadProblem problem = ReadOutputTable(g_.DisplayFile, read, options);
        message = problem.Message(g_.DisplayFile);
        // The complete rows are all there: a cut-off row is only a warning.
        if (problem.kind == TOutputReadProblem::TKind::CutOffRow) {
            kind = TMsgKind::Warning;
            message += "\n" + std::string(MsgCutOffRowLeftOut);
        }
    } catch (const std::exception& e) {
        message = e.what();
    }
    OutputTable->SetRows(std::move(read.values));
    ShownRunChanged();
    QApplication::restoreOverrideCursor();
    if (!message.empty())
        dialogs_.MessageDlg(kind, QString::fromStdString(message), static_cast<int>(TMsgButton::OK));
}

int TFmDisplayData::FindColumn(const QString& name) const {
    for (int c = OutputTable->Columns() - 1; c >= 0; --c)
        if (OutputTable->Name(c) == name) return c;
    return -1;
}

// ---- Chart --------------------------------------------------------------------

void TFmDisplayData::BtnUpdateChartClick() { UpdateChart(); }

void TFmDisplayData::BtnClearSeriesClick() { LbxSeries->clearSelection(); }

void TFmDisplayData::CollectYSeries() {
    YCount = 0;
    for (int i = 0; i < LbxSeries->count(); ++i) {
        QListWidgetItem* item = LbxSeries->item(i);
        if (!item->isSelected()) continue;
        if (YCount == MaxPlotSeries) {
            dialogs_.MessageDlg(TMsgKind::Error, MsgTooManySeries, static_cast<int>(TMsgButton::OK));
        } else {
            YSeries[static_cast<std::size_t>(++YCount)] = item->text();
        }
    }
}

void TFmDisplayData::UpdateChart() {
    CollectYSeries();
    for (int k = 1; k <= TOutputChart::SeriesCount; ++k) {
        ChOutput->ClearSeries(k);
        ChOutput->SetSeriesActive(k, false);
    }
    const int xcol = FindColumn(XSeries);
    ChOutput->SetAxisTitle(true, xcol >= 0 ? OutputTable->Name(xcol) : QString());
    for (int k = 1; k <= YCount; ++k) ChOutput->SetSeriesActive(k, true);

    const int rows = OutputTable->DataRowCount();
    const int type = ValueType();
    bool valid = true;
    // The chart draws what the table shows: values rounded to 4 digits.
    QVector<double> xs;
    bool xsSorted = true;
    if (xcol >= 0 && YCount > 0) {
        xs.reserve(rows);
        for (int r = 0; r < rows; ++r) {
            xs.push_back(OutputTable->DisplayValue(r, xcol));
            if (r > 0 && !(xs[r - 1] <= xs[r])) xsSorted = false;
        }
    }
    QVector<double> ys;
    for (int j = 1; j <= YCount && valid; ++j) {
        const int ycol = FindColumn(YSeries[static_cast<std::size_t>(j)]);
        if (xcol < 0 || ycol < 0) {
            valid = false;
            break;
        }
        ys.clear();
        ys.reserve(rows);
        const double y0 = rows > 0 ? OutputTable->DisplayValue(0, ycol) : 0;
        for (int r = 0; r < rows; ++r) {
            const double y = OutputTable->DisplayValue(r, ycol);
            double plotted = y;
            if (type == RelativeChange) {
                plotted = y / y0;
            } else if (type == CumulativeChange) {
                plotted = y - y0;
            }
            // A cell that is not a number, or a change from a first value of
            // 0, cannot be drawn; what was drawn before it stays.
            if (!std::isfinite(xs[r]) || !std::isfinite(y) || !std::isfinite(plotted)) {
                valid = false;
                break;
            }
            ys.push_back(plotted);
        }
        ChOutput->AddPoints(j, ys.size() == xs.size() ? xs : xs.mid(0, ys.size()), ys, xsSorted);
        ChOutput->SetSeriesTitle(j, OutputTable->Name(ycol));
    }
    DrawOverlays();
    if (!valid)
        dialogs_.MessageDlg(TMsgKind::Information, MsgInvalidSeries, static_cast<int>(TMsgButton::OK));
    SetAxisScale(false, true);
    SetAxisScale(true, true);
    ChOutput->Redraw();
}

void TFmDisplayData::SetAxisScale(bool isX, bool automatic, double minimum, double maximum,
                                  double increment) {
    if (!automatic) {
        ChOutput->SetAxisIncrement(isX, increment);
        ChOutput->SetAxisMinMax(isX, minimum, maximum);
        return;
    }
    if (isX) {
        ChOutput->SetAxisAutomatic(true);
        return;
    }
    // The vertical axis always gets explicit limits that include 0.
    double lo = 0;
    double hi = 1;
    if (ChOutput->YRange(lo, hi)) {
        if (lo > 0) lo = 0;
    } else {
        lo = 0;
        hi = 1;  // nothing drawn: a plain unit range rather than a sliver
    }
    ChOutput->SetAxisIncrement(false, 0);
    ChOutput->SetAxisMinMax(false, lo, hi);
}

void TFmDisplayData::SetAxisLog(bool isX, bool logarithmic) {
    ChOutput->SetAxisLogarithmic(isX, logarithmic);
    ChOutput->Redraw();
}

void TFmDisplayData::ChooseSeries(QObject* sender) {
    UpdateChart();
    DefiningX = sender == MIDefineX;
    if (forms_.FmSeries) forms_.FmSeries->exec();
}

void TFmDisplayData::ScaleClick(QObject* sender) {
    UpdateChart();
    DefiningX = sender == MIScaleX;
    if (forms_.DlgScale) forms_.DlgScale->exec();
}

}  // namespace orvane
