#include "ui/scaledlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "io/numfmt.h"
#include "model/errors.h"
#include "ui/dialogs.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/forms.h"
#include "ui/placement.h"

namespace orvane {

TDlgScale::TDlgScale(TGlobals&, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), forms_(forms) {
    setWindowTitle("Axis Parameters");
    auto* layout = new QVBoxLayout(this);

    RGAxisType = new QGroupBox("Axis Type", this);
    auto* types = new QHBoxLayout(RGAxisType);
    RbLinear = new QRadioButton("Li&near", RGAxisType);
    RbLogarithmic = new QRadioButton("Lo&garithmic", RGAxisType);
    RbLinear->setChecked(true);
    types->addWidget(RbLinear);
    types->addWidget(RbLogarithmic);
    layout->addWidget(RGAxisType);

    LblScale = new QLabel("Scale", this);
    layout->addWidget(LblScale);
    auto* fields = new QGridLayout;
    EdMinValue = new QLineEdit(this);
    EdMaxValue = new QLineEdit(this);
    EdIncrem = new QLineEdit(this);
    EdIncrem->hide();
    auto* lblMin = new QLabel("&Minimum", this);
    auto* lblMax = new QLabel("Ma&ximum", this);
    auto* lblInc = new QLabel("&Increment", this);
    lblInc->hide();
    lblMin->setBuddy(EdMinValue);
    lblMax->setBuddy(EdMaxValue);
    lblInc->setBuddy(EdIncrem);
    fields->addWidget(lblMin, 0, 0);
    fields->addWidget(EdMinValue, 0, 1);
    fields->addWidget(lblMax, 1, 0);
    fields->addWidget(EdMaxValue, 1, 1);
    fields->addWidget(lblInc, 2, 0);
    fields->addWidget(EdIncrem, 2, 1);
    layout->addLayout(fields);
    CBAuto = new QCheckBox("&Auto Scale", this);
    layout->addWidget(CBAuto);

    auto* buttons = new QHBoxLayout;
    OKBtn = new QPushButton("&OK", this);
    CancelBtn = new QPushButton("&Cancel", this);
    OKBtn->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);

    for (QLineEdit* e : {EdMinValue, EdMaxValue, EdIncrem})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { EditExit(e); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    // Leaving the axis-type group is noticed on the controls outside it, so
    // it works whether or not the window system reports focus changes.
    for (QRadioButton* b : {RbLinear, RbLogarithmic}) {
        b->installEventFilter(this);
        connect(b, &QRadioButton::clicked, this, [this] { inAxisType_ = true; });
    }
    for (QWidget* w : std::initializer_list<QWidget*>{EdMinValue, EdMaxValue, EdIncrem, CBAuto, OKBtn, CancelBtn})
        w->installEventFilter(this);

    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TDlgScale::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
        if (watched == RbLinear || watched == RbLogarithmic) {
            inAxisType_ = true;
        } else if (inAxisType_) {
            inAxisType_ = false;
            RGAxisTypeExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TDlgScale::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        adjustSize();
        PlaceOnOwnerScreen(*this, true);
    }
    QDialog::showEvent(event);
}

void TDlgScale::FormShow() {
    TFmDisplayData* display = forms_.FmDisplayData;
    if (!display) return;
    const bool isX = display->DefiningX;
    TOutputChart* chart = display->ChOutput;
    inAxisType_ = false;
    setWindowTitle(isX ? "Independent Axis" : "Dependent Axis");
    (chart->AxisLogarithmic(isX) ? RbLogarithmic : RbLinear)->setChecked(true);
    EdMinValue->setText(QString::fromStdString(FormatGeneral(chart->AxisMinimum(isX))));
    EdMaxValue->setText(QString::fromStdString(FormatGeneral(chart->AxisMaximum(isX))));
    EdIncrem->setText(QString::fromStdString(FormatGeneral(chart->AxisIncrement(isX))));
    // The vertical axis always has explicit limits, so it never shows as automatic.
    CBAuto->setChecked(isX && chart->AxisAutomatic(true));
    EdMinValue->setFocus();
}

void TDlgScale::EditExit(QLineEdit* edit) {
    if (!edit->isModified()) return;
    edit->setModified(false);
    CBAuto->setChecked(false);
}

void TDlgScale::RGAxisTypeExit() {
    TFmDisplayData* display = forms_.FmDisplayData;
    if (!display) return;
    // Leaving the group several times (focus moves, then the dialog closes)
    // switches the axis once.
    const bool logarithmic = RbLogarithmic->isChecked();
    if (display->ChOutput->AxisLogarithmic(display->DefiningX) != logarithmic)
        display->SetAxisLog(display->DefiningX, logarithmic);
}

void TDlgScale::done(int result) {
    // Closing the dialog takes the focus out of the axis-type group too, so
    // the type chosen there applies whichever way the dialog ends.
    if (inAxisType_) {
        inAxisType_ = false;
        RGAxisTypeExit();
    }
    QDialog::done(result);
}

void TDlgScale::OKBtnClick() {
    // Alt+O leaves the focus in the limit being typed: a typed limit still
    // turns automatic scaling off, as leaving its field does.
    for (QLineEdit* e : {EdMinValue, EdMaxValue}) EditExit(e);
    TFmDisplayData* display = forms_.FmDisplayData;
    if (inAxisType_) {
        inAxisType_ = false;
        RGAxisTypeExit();
    }
    if (display) {
        const bool isX = display->DefiningX;
        if (CBAuto->isChecked()) {
            display->SetAxisScale(isX, true);
        } else {
            try {
                const double minimum = StrToFloat(EdMinValue->text().toStdString());
                const double maximum = StrToFloat(EdMaxValue->text().toStdString());
                const double increment = StrToFloat(EdIncrem->text().toStdString());
                display->SetAxisScale(isX, false, minimum, maximum, increment);
            } catch (const EOrvaneError& e) {
                dialogs_.MessageDlg(TMsgKind::Error, QString::fromStdString(e.Message()),
                                    static_cast<int>(TMsgButton::OK));
            }
        }
        display->ChOutput->Redraw();
    }
    accept();
}

}  // namespace orvane
