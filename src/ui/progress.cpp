#include "ui/progress.h"
#include "ui/placement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "io/numfmt.h"
#include "model/errors.h"

namespace orvane {

namespace {
// How often a run lets the interface catch up: often enough that Cancel
// answers at once, rarely enough that it costs the run nothing.
constexpr qint64 EventIntervalMs = 20;
}  // namespace

TFmProgress::TFmProgress(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    setObjectName("FmProgress");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint);

    LblBegin = new QLabel("0", this);
    LblBegin->setObjectName("LblBegin");
    runProgressBar = new QProgressBar(this);
    runProgressBar->setObjectName("runProgressBar");
    runProgressBar->setRange(0, 100);
    runProgressBar->setValue(0);
    runProgressBar->setMinimumWidth(260);
    LblEnd = new QLabel("0", this);
    LblEnd->setObjectName("LblEnd");
    BtnCancel = new QPushButton("&Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setAutoDefault(false);
    connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });

    auto* row = new QHBoxLayout;
    row->addWidget(LblBegin);
    row->addWidget(runProgressBar, 1);
    row->addWidget(LblEnd);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnCancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFmProgress::FormShow() {
    setWindowTitle(QString::fromStdString(g_.ModelDef.modelname) + " run progress.");
    LblBegin->setText(QString::fromStdString(FormatGeneral(g_.StartTime)));
    LblEnd->setText(QString::fromStdString(FormatGeneral(g_.StopTime)));
}

void TFmProgress::BeginRun() {
    cancelRequested_ = false;
    BtnCancel->setEnabled(true);
    show();
    raise();
    // Paint the window before the first step; later steps catch up as they
    // go. Input waits: the main window is not yet disabled, and a click
    // taken now could start another command inside the run.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceEvents_.start();
}

void TFmProgress::EndRun() {
    hide();
    cancelRequested_ = false;
}

void TFmProgress::Progress(int percent) {
    runProgressBar->setValue(percent);
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= EventIntervalMs) {
        if (OnTimeReached) OnTimeReached(g_.CurrentTime);
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }
    if (cancelRequested_) {
        cancelRequested_ = false;
        BtnCancel->setEnabled(false);
        throw EUserCancel(MsgUserCancel);
    }
}

void TFmProgress::showEvent(QShowEvent* event) {
    FormShow();
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this);
    QDialog::showEvent(event);
}

// Closing the window or pressing Escape during a run means Cancel; the run
// hides the window itself when it has ended.
void TFmProgress::closeEvent(QCloseEvent* event) {
    if (isVisible()) BtnCancelClick();
    event->ignore();
}

void TFmProgress::reject() {
    if (isVisible()) BtnCancelClick();
}

}  // namespace orvane
