#include "ui/data.h"
#include "ui/qtext.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QScreen>
#include <QWindow>
#include <QVBoxLayout>
#include <algorithm>

#include "io/numfmt.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/data_grid.h"
#include "ui/dialogs.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr int ColCheck = 0;
constexpr int ColSymbol = 1;
constexpr int ColValue = 3;
constexpr int GridColumns = 5;

// The light grey of the fixed-looking cells (the classic scroll-bar colour).
const QColor GreyCell(200, 200, 200);


}  // namespace

TDataForm::TDataForm(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    setObjectName("DataForm");
    setWindowTitle("State Variables");
    setSizeGripEnabled(true);

    PnlTop = new QWidget(this);
    PnlTop->setObjectName("PnlTop");
    BtnOK = new QPushButton("&OK", PnlTop);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setDefault(true);
    BtnOK->setAutoDefault(true);
    BtnCancel = new QPushButton("&Cancel", PnlTop);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setAutoDefault(false);
    auto* top = new QHBoxLayout(PnlTop);
    top->setContentsMargins(8, 6, 8, 6);
    top->addWidget(BtnOK);
    top->addWidget(BtnCancel);
    top->addStretch(1);

    AdvStringGrid1 = new TDataGrid(GridColumns, this);
    AdvStringGrid1->setObjectName("AdvStringGrid1");
    AdvStringGrid1->OnSelectCell = [this](int c, int r) { return AdvStringGrid1SelectCell(c, r); };
    AdvStringGrid1->OnCheckBoxClick = [this](int r, bool s) { AdvStringGrid1CheckBoxClick(r, s); };
    AdvStringGrid1->OnGetCellColor = [this](int r, int c, QColor& bg, QFont& f) {
        AdvStringGrid1GetCellColor(r, c, bg, f);
    };
    AdvStringGrid1->OnGetAlignment = [this](int r, int c) { return AdvStringGrid1GetAlignment(r, c); };
    AdvStringGrid1->OnDrawCell = [this](QPainter* p, const QRect& rc, int c, int r) {
        AdvStringGrid1DrawCell(p, rc, c, r);
    };
    auto* header = AdvStringGrid1->horizontalHeader();
    header->setMinimumHeight(21);
    for (int c = 0; c < GridColumns; ++c) header->resizeSection(c, 190);
    header->resizeSection(ColCheck, CheckColumnWidth());
    header->resizeSection(ColSymbol, 120);

    // Every state row carries a check box from the start.
    AdvStringGrid1->Model().SetGridRows(g_.ModelDef.numstate + 1);
    for (int i = 1; i <= g_.ModelDef.numstate; ++i) AdvStringGrid1->Model().AddCheckBox(i, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PnlTop);
    layout->addWidget(AdvStringGrid1, 1);
    resize(565, 458);

    connect(BtnOK, &QPushButton::clicked, this, &TDataForm::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TDataForm::BtnCancelClick);
}

// ---- Opening -----------------------------------------------------------------

// Whichever mode it last opened in, it now opens wholly on its owner's screen.
void TDataForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this);
    QDialog::showEvent(event);
}

void TDataForm::PrepareStates() {
    const int numstate = g_.ModelDef.numstate;
    SavedStates = g_.States;
    setWindowTitle("State Variables");
    ShowingProcesses = false;

    TDataGrid& grid = *AdvStringGrid1;
    TStringGridModel& m = grid.Model();
    grid.horizontalHeader()->resizeSection(ColCheck, CheckColumnWidth());
    grid.horizontalHeader()->resizeSection(ColSymbol, 120);
    grid.setColumnHidden(ColCheck, false);
    m.SetGridRows(numstate + 1);
    grid.SetEditing(true);

    m.SetCell(0, 0, "HoldConstant");
    m.SetCell(1, 0, "State Symbol");
    m.SetCell(2, 0, "State Variable Name");
    m.SetCell(3, 0, "State Variable Value");
    m.SetCell(4, 0, "State Variable Units");
    for (int i = 1; i <= numstate; ++i) {
        const Tstatevariable& s = g_.States[i];
        SetRow(i, s.symbol, s.name, s.value, s.units);
        m.AddCheckBox(i, s.HoldConstant);
    }
    grid.SetCursor(ColValue, 1);
    grid.scrollToTop();
    grid.horizontalScrollBar()->setValue(0);
    FitWidth();

    BtnOK->setVisible(true);
    BtnOK->setEnabled(true);
    BtnCancel->setText("&Cancel");
    grid.setFocus();
}

int TDataForm::ShowStates() {
    PrepareStates();
    return exec();
}

void TDataForm::OpenStates() {
    PrepareStates();
    setWindowModality(Qt::ApplicationModal);
    show();
    AdvStringGrid1->setFocus();
}

void TDataForm::ShowProcess() {
    SavedStates = g_.States;
    setWindowTitle("Process Variables");
    ShowingProcesses = true;

    TDataGrid& grid = *AdvStringGrid1;
    grid.setColumnHidden(ColCheck, true);
    grid.horizontalHeader()->resizeSection(ColSymbol, 120);
    grid.Model().SetGridRows(g_.ModelDef.numprocess + 1);
    grid.SetEditing(false);
    grid.setCurrentIndex(QModelIndex());

    TStringGridModel& m = grid.Model();
    m.SetCell(1, 0, "Process Symbol");
    m.SetCell(2, 0, "Process Name");
    m.SetCell(3, 0, "Process Value");
    m.SetCell(4, 0, "Process Units");
    UpdateProcess();

    BtnOK->setVisible(false);
    BtnOK->setEnabled(false);
    BtnCancel->setText("&Close");

    // The table opens beside whatever asked for it and must stay usable while
    // that window is modal: a window belonging to the modal one is not
    // blocked by it.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == this) owner = nullptr;
    if (!owner) owner = QApplication::activeWindow();
    if (owner == this) owner = nullptr;
    if (!isVisible()) {
        FitWidth();
        setWindowModality(Qt::NonModal);
        // Right of the owner; the opening keeps it on the owner's screen.
        if (owner) move(owner->frameGeometry().topRight() + QPoint(1, 0));
    }
    show();
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this && windowHandle())
        windowHandle()->setTransientParent(modal->windowHandle());
    raise();
}

int TDataForm::CheckColumnWidth() const {
    // 80 pixels, or enough for the bold "HoldConstant" heading if that is wider.
    QFont bold = AdvStringGrid1->font();
    bold.setBold(true);
    return std::max(80, QFontMetrics(bold).horizontalAdvance("HoldConstant") + 12);
}

void TDataForm::FitWidth() {
    // Wide enough for every visible column, so the check boxes and the units
    // are not scrolled out of sight; a window already opened keeps its size.
    if (isVisible()) return;
    const TDataGrid& grid = *AdvStringGrid1;
    int want = 2 * grid.frameWidth() + grid.verticalScrollBar()->sizeHint().width() + 2;
    for (int c = 0; c < GridColumns; ++c)
        if (!grid.isColumnHidden(c)) want += grid.horizontalHeader()->sectionSize(c);
    int w = std::max(565, want);
    if (const QScreen* screen = this->screen()) w = std::min(w, screen->availableGeometry().width());
    resize(w, height());
}

void TDataForm::UpdateProcess() {
    for (int p = 1; p <= g_.ModelDef.numprocess; ++p) {
        const Tprocessvariable& pr = g_.Processes[p];
        SetRow(p, pr.symbol, pr.name, pr.value, pr.units);
    }
}

void TDataForm::SetRow(int row, std::string_view symbol, std::string_view name, double value,
                       std::string_view units) {
    TStringGridModel& m = AdvStringGrid1->Model();
    m.SetCell(1, row, Text(symbol));
    m.SetCell(2, row, Text(name));
    m.SetCell(3, row, QString::fromStdString(FormatGeneral(value, 15)));
    m.SetCell(4, row, Text(units));
}

// ---- Writing back ------------------------------------------------------------

void TDataForm::SaveStates() {
    // Convert every value first, so that a cell that is not a number leaves
    // all states as they were instead of half of them changed.
    const int numstate = g_.ModelDef.numstate;
    const TStringGridModel& m = AdvStringGrid1->Model();
    TStateVector values{};
    for (int i = 1; i <= numstate; ++i) {
        try {
            values[i] = StrToFloat(m.Cell(ColValue, i).toStdString());
        } catch (const EConvertError&) {
            AdvStringGrid1->SetCursor(ColValue, i);
            throw;
        }
    }
    for (int i = 1; i <= numstate; ++i) {
        g_.States[i].value = values[i];
        g_.States[i].HoldConstant = m.CheckState(i);
    }
}

void TDataForm::ClearGrid() {
    AdvStringGrid1->Model().ClearCells();
    AdvStringGrid1->Model().SetGridRows(3);
}

void TDataForm::BtnOKClick() {
    AdvStringGrid1->Delegate().CommitOpenEditor();
    try {
        SaveStates();
    } catch (const EConvertError& e) {
        // Keep the window open on the offending cell so the entry can be put
        // right; nothing has been written.
        dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(e.Message()),
                            static_cast<int>(TMsgButton::OK));
        AdvStringGrid1->setFocus();
        return;
    }
    ClearGrid();
    g_.ParamsChanged = true;
    g_.OutputCurrent = false;
    accept();
}

void TDataForm::BtnCancelClick() {
    g_.States = SavedStates;
    ClearGrid();
    QDialog::reject();
}

void TDataForm::reject() { BtnCancelClick(); }

// ---- Grid callbacks ----------------------------------------------------------

bool TDataForm::AdvStringGrid1SelectCell(int col, int /*row*/) const {
    return !ShowingProcesses && col == ColValue;
}

void TDataForm::AdvStringGrid1CheckBoxClick(int row, bool state) {
    // The mark takes effect at once; Cancel undoes it through SavedStates.
    if (row >= 1 && row <= g_.ModelDef.numstate) g_.States[row].HoldConstant = state;
}

void TDataForm::AdvStringGrid1GetCellColor(int /*row*/, int col, QColor& background,
                                           QFont& /*font*/) const {
    if (ShowingProcesses || col != ColValue) {
        background = GreyCell;
    } else {
        background = palette().color(QPalette::Base);
    }
}

Qt::Alignment TDataForm::AdvStringGrid1GetAlignment(int /*row*/, int col) const {
    if (!ShowingProcesses && (col == ColCheck || col == ColSymbol)) return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

void TDataForm::AdvStringGrid1DrawCell(QPainter* painter, const QRect& rect, int /*col*/,
                                       int /*row*/) const {
    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Dark), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

}  // namespace orvane
