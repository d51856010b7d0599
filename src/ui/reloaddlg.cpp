#include "ui/reloaddlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "io/fileio.h"
#include "ui/mainform.h"
#include "ui/placement.h"

namespace orvane {

TDlgReload::TDlgReload(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    setWindowTitle("Dialog");

    MoDirections = new QPlainTextEdit(this);
    MoDirections->setReadOnly(true);
    MoDirections->setFrameShape(QFrame::NoFrame);
    MoDirections->setLineWrapMode(QPlainTextEdit::NoWrap);
    MoDirections->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MoDirections->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MoDirections->setFocusPolicy(Qt::NoFocus);
    MoDirections->viewport()->setAutoFillBackground(false);
    MoDirections->setPlainText(
        "Choose which items to reload from the parameter file.  \n"
        "Changes to parameters or state variables which \n"
        "haven't been saved will be lost when you reload.");
    MoDirections->setFixedHeight(MoDirections->fontMetrics().lineSpacing() * 3 + 12);

    CbParams = new QCheckBox("Parameters", this);
    CbState = new QCheckBox("State Variables", this);
    CbParams->setChecked(true);
    CbState->setChecked(true);

    OKBtn = new QPushButton("OK", this);
    CancelBtn = new QPushButton("Cancel", this);
    OKBtn->setDefault(true);

    auto* boxes = new QVBoxLayout;
    boxes->setContentsMargins(24, 0, 0, 0);
    boxes->addWidget(CbParams);
    boxes->addWidget(CbState);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(MoDirections);
    layout->addLayout(boxes);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TDlgReload::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    const int width = MoDirections->fontMetrics().horizontalAdvance(
                          "Choose which items to reload from the parameter file.  ") + 40;
    setFixedSize(std::max(width, 340), sizeHint().height());
}

int TDlgReload::ShowModal() { return exec(); }

// Centred on the main window's screen, wherever on it the window happens to be.
void TDlgReload::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this, true);
}

void TDlgReload::OKBtnClick() {
    const bool params = CbParams->isChecked();
    const bool states = CbState->isChecked();
    // Neither box checked: the user asked for nothing, so nothing is read.
    if (params || states) {
        const bool hadChanges = g_.ParamsChanged;
        statearray fileStates = g_.States;
        paramarray fileParams = g_.Params;
        double residual = 0;
        bool read = false;
        try {
            read = ReadParamFile(g_, g_.ParamFileName, g_.ModelDef.numparam, fileParams,
                                 g_.ModelDef.numstate, fileStates, residual);
        } catch (...) {
            ReportError(dialogs_, std::current_exception());
        }
        if (read) {
            if (states)
                for (int i = 1; i <= g_.ModelDef.numstate; ++i) g_.States[i].value = fileStates[i].value;
            if (params)
                for (int i = 1; i <= g_.ModelDef.numparam; ++i) g_.Params[i].value = fileParams[i].value;
        }
        // Only a reload of everything makes memory match the file again; edits
        // of the kind left alone (or all of them, when the file could not be
        // read) still need saving.
        g_.ParamsChanged = (read && params && states) ? false : hadChanges;
    }
    accept();
}

}  // namespace orvane
