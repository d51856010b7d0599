#include "ui/params.h"
#include "ui/qtext.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/equations.h"
#include "model/errors.h"
#include "ui/data.h"
#include "ui/data_grid.h"
#include "ui/mainform.h"
#include "ui/newcontrols.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr int ColValue = 2;
const QColor ReadOnlyCell(224, 224, 224);


}  // namespace

TFmParameter::TFmParameter(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    FormCreate();
}

// The page control and its sheets are children of the window and go with it.
TFmParameter::~TFmParameter() = default;

void TFmParameter::FormCreate() {
    setWindowTitle("Parameters - File: ");
    resize(652, 492);

    PageControl = new TMyPageControl(this);
    for (int p = g_.ModelDef.numstate + 1; p <= g_.ModelDef.numprocess; ++p)
        if (g_.Processes[p].numparams > 0) AddPage(p);

    PlBottom = new QWidget(this);
    PlBottom->setFixedHeight(40);
    BtnUpdateProc = new QPushButton("&Update processes", PlBottom);
    BtnShowAllProcess = new QPushButton("&Show all processes", PlBottom);
    BtnOK = new QPushButton("&OK", PlBottom);
    BtnClose = new QPushButton("&Cancel", PlBottom);
    BtnOK->setDefault(true);
    for (QPushButton* b : {BtnUpdateProc, BtnShowAllProcess, BtnOK, BtnClose}) b->setMinimumWidth(90);
    auto* buttons = new QHBoxLayout(PlBottom);
    buttons->setContentsMargins(8, 6, 8, 6);
    buttons->addWidget(BtnUpdateProc);
    buttons->addWidget(BtnShowAllProcess);
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PageControl, 1);
    layout->addWidget(PlBottom);

    connect(BtnUpdateProc, &QPushButton::clicked, this, &TFmParameter::BtnUpdateProcClick);
    connect(BtnShowAllProcess, &QPushButton::clicked, this, &TFmParameter::BtnShowAllProcessClick);
    connect(BtnOK, &QPushButton::clicked, this, &TFmParameter::BtnOKClick);
    connect(BtnClose, &QPushButton::clicked, this, &TFmParameter::BtnCloseClick);
    // The keyboard follows the page that is shown.
    connect(PageControl, &TMyPageControl::ActivePageChanged, this, [this](int k) {
        if (isVisible()) FocusGrid(*Page(k)->Grid);
    });
}

void TFmParameter::AddPage(int process) {
    const Tprocessvariable& proc = g_.Processes[process];
    auto* sheet = new TMyTabSheet(Text(proc.name), 4);
    PageControl->AddPage(sheet);
    pageProcess_.append(process);

    sheet->SetSymbol(Text(proc.symbol));
    sheet->SetUnits(Text(proc.units));
    sheet->SetValue(QString::fromStdString(FormatGeneral(proc.value, 5)));

    TDataGrid& grid = *sheet->Grid;
    grid.OnSelectCell = [](int col, int row) { return StringGridSelectCell(col, row); };
    grid.OnGetCellColor = [this](int, int col, QColor& background, QFont&) {
        background = col == ColValue ? palette().color(QPalette::Base) : ReadOnlyCell;
    };
    grid.setShowGrid(true);
    TStringGridModel& cells = grid.Model();
    cells.SetGridRows(1 + proc.numparams);
    cells.SetCell(0, 0, "Parameter");
    cells.SetCell(1, 0, "Parameter Name");
    cells.SetCell(2, 0, "Parameter Value");
    cells.SetCell(3, 0, "Parameter Units");
    const int offset = ParamOffset(process);
    for (int j = 1; j <= proc.numparams; ++j) {
        const Tparamvariable& par = g_.Params[offset + j];
        cells.SetCell(0, j, Text(par.symbol));
        cells.SetCell(1, j, Text(par.name));
        cells.SetCell(2, j, QString::fromStdString(FormatGeneral(par.value)));
        cells.SetCell(3, j, Text(par.units));
    }
    grid.horizontalHeader()->resizeSection(0, 80);
    for (int c = 1; c < 4; ++c) grid.horizontalHeader()->resizeSection(c, 150);
    // The value cell under the cursor is always open for typing.
    grid.SetEditing(true);
    grid.setEditTriggers(grid.editTriggers() | QAbstractItemView::CurrentChanged);
    grid.SetCursor(ColValue, 1);
    grid.installEventFilter(this);
}

TMyTabSheet* TFmParameter::Page(int page) const { return PageControl->Pages(page); }

int TFmParameter::ShowModal() { return exec(); }

bool TFmParameter::StringGridSelectCell(int column, int /*row*/) { return column == ColValue; }

void TFmParameter::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    PlaceOnOwnerScreen(*this);
    RunGuarded(dialogs_, [this] { FormShow(nullptr); });
    if (TMyTabSheet* sheet = PageControl->ActivePage()) FocusGrid(*sheet->Grid);
}

// The grid takes the keyboard with its cell editor open, ready for typing.
void TFmParameter::FocusGrid(TDataGrid& grid) {
    grid.setFocus();
    const QModelIndex current = grid.currentIndex();
    if (current.isValid() && !grid.indexWidget(current)) grid.edit(current);
}

bool TFmParameter::eventFilter(QObject* watched, QEvent* event) {
    // Enter in a grid finishes the cell and moves down a row, as in a
    // spreadsheet, instead of reaching the default button and closing the
    // editor in the middle of the user's typing.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* grid = qobject_cast<TDataGrid*>(watched)) {
                grid->Delegate().CommitOpenEditor();
                const int row = grid->CursorRow();
                if (row > 0 && row < grid->Model().GridRows() - 1) grid->SetCursor(ColValue, row + 1);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFmParameter::FormShow(QObject* sender) {
    if (sender != BtnUpdateProc) {
        ValuesCommitted = false;
        BtnClose->setText("&Cancel");
    }
    setWindowTitle("Parameters - File: " + QString::fromStdString(g_.ParamFileName));

    if (g_.DriverFileName.empty()) {
        dialogs_.MessageDlg(TMsgKind::Warning,
                            "No Driver File. Process values will not be calculated.",
                            static_cast<int>(TMsgButton::OK));
    } else if (!g_.NewParamFile && !g_.NewDriverFile) {
        // A blank new file holds nothing worth computing; say nothing then.
        try {
            CalculateProcesses();
        } catch (const std::exception&) {
            dialogs_.MessageDlg(TMsgKind::Warning,
                                "Invalid Parameter. Process values will not be calculated.",
                                static_cast<int>(TMsgButton::OK));
        }
    }

    for (int k = 0; k < PageControl->PageCount(); ++k) {
        const int p = pageProcess_[k];
        TMyTabSheet* sheet = Page(k);
        sheet->SetValue(QString::fromStdString(FormatGeneral(g_.Processes[p].value, 5)));
        const int offset = ParamOffset(p);
        TStringGridModel& cells = sheet->Grid->Model();
        for (int j = 1; j <= g_.Processes[p].numparams; ++j)
            cells.SetCell(ColValue, j, QString::fromStdString(FormatGeneral(g_.Params[offset + j].value)));
    }
}

void TFmParameter::CalculateProcesses() {
    const int numdrive = g_.ModelDef.numdrive;
    OpenDriverFile(g_, g_.DriverFileName, numdrive, g_.Drivers, false);
    try {
        // Start the reading again from the first row.
        g_.PrevDriverTime = 0;
        g_.NextDriverTime = 0;
        GetDrivers(g_, g_.Drivers, g_.CalcTime);
    } catch (...) {
        CloseDriverFile(g_);
        throw;
    }
    CloseDriverFile(g_);
    // The steady-state solver is not running here, whatever its window did last.
    const TEvalContext context{g_.ModelBatch, false, false};
    EvaluateModel(g_.Drivers, g_.Params, g_.States, g_.CalcTime, g_.Processes, false, context);
}

void TFmParameter::updateparams() {
    // Convert every cell first, so that a bad cell leaves Params as it was
    // rather than half committed.
    std::vector<std::pair<int, double>> values;
    for (int k = 0; k < PageControl->PageCount(); ++k) {
        const int p = pageProcess_[k];
        TDataGrid& grid = *Page(k)->Grid;
        grid.Delegate().CommitOpenEditor();
        const int offset = ParamOffset(p);
        for (int j = 1; j <= g_.Processes[p].numparams; ++j) {
            try {
                values.emplace_back(offset + j, StrToFloat(grid.Model().Cell(ColValue, j).toStdString()));
            } catch (const EConvertError&) {
                PageControl->SetActivePageIndex(k);
                grid.SetCursor(ColValue, j);
                throw;
            }
        }
    }
    for (const auto& [index, value] : values) g_.Params[index].value = value;
    g_.ParamsChanged = true;
}

bool TFmParameter::UpdateProcesses(QObject* /*button*/) {
    if (!ValuesCommitted) {
        const TMsgButton answer = dialogs_.MessageDlg(
            TMsgKind::Warning, "Previous parameter values will be lost if you proceed. Continue?",
            static_cast<int>(TMsgButton::OK) | static_cast<int>(TMsgButton::Cancel));
        if (answer != TMsgButton::OK) return false;
        BtnClose->setText("&Close");
        ValuesCommitted = true;
    }
    try {
        updateparams();
    } catch (const EConvertError&) {
        ReportError(dialogs_, std::current_exception());
        FocusGrid(*PageControl->ActivePage()->Grid);
        return false;
    }
    FormShow(BtnUpdateProc);
    TDataForm* table = forms_.DataForm;
    if (table && table->isVisible() && table->ShowingProcesses) table->UpdateProcess();
    return true;
}

void TFmParameter::BtnUpdateProcClick() {
    RunGuarded(dialogs_, [this] { UpdateProcesses(BtnUpdateProc); });
}

void TFmParameter::BtnShowAllProcessClick() {
    RunGuarded(dialogs_, [this] {
        if (UpdateProcesses(BtnShowAllProcess) && forms_.DataForm) forms_.DataForm->ShowProcess();
    });
}

void TFmParameter::BtnOKClick() {
    try {
        updateparams();
    } catch (const EConvertError&) {
        // The editor stays open on the offending cell, so that no other
        // pending edit is lost.
        ReportError(dialogs_, std::current_exception());
        FocusGrid(*PageControl->ActivePage()->Grid);
        return;
    }
    HideProcessTable();
    accept();
}

void TFmParameter::BtnCloseClick() {
    HideProcessTable();
    QDialog::reject();
}

void TFmParameter::reject() { BtnCloseClick(); }

void TFmParameter::HideProcessTable() {
    if (forms_.DataForm && forms_.DataForm->isVisible()) forms_.DataForm->hide();
}

}  // namespace orvane
