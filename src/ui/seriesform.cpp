#include "ui/seriesform.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "model/globals.h"
#include "ui/display.h"
#include "ui/display_lists.h"
#include "ui/forms.h"
#include "ui/placement.h"

namespace orvane {

namespace {
constexpr double kChooserListThreshold = 1.1;
}

TFmSeries::TFmSeries(TGlobals& g, IDialogService&, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), forms_(forms) {
    setWindowTitle("Choose Series");
    resize(640, 420);
    auto* layout = new QVBoxLayout(this);
    LbxChooseSeries = new QListWidget(this);
    LbxChooseSeries->setObjectName("LbxChooseSeries");
    layout->addWidget(LbxChooseSeries, 1);
    auto* buttons = new QHBoxLayout;
    BtnClearSelection = new QPushButton("Clear Selection", this);
    OKBtn = new QPushButton("OK", this);
    CancelBtn = new QPushButton("Cancel", this);
    OKBtn->setDefault(true);
    buttons->addWidget(BtnClearSelection);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    SetListColumns(LbxChooseSeries, 3);

    connect(BtnClearSelection, &QPushButton::clicked, this, [this] { BtnClearSelectionClick(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFmSeries::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        PlaceOnOwnerScreen(*this, true);
    }
    QDialog::showEvent(event);
}

void TFmSeries::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFmSeries::FormResize() {
    SetListColumns(LbxChooseSeries, ListColumnCount(width(), kChooserListThreshold));
}

void TFmSeries::FormShow() {
    FillSeriesList(LbxChooseSeries, g_);
    TFmDisplayData* display = forms_.FmDisplayData;
    if (!display) return;
    if (display->DefiningX) {
        setWindowTitle("Independent Axis - Choose one series.");
        LbxChooseSeries->setSelectionMode(QAbstractItemView::SingleSelection);
        for (int i = 0; i < LbxChooseSeries->count(); ++i) {
            QListWidgetItem* item = LbxChooseSeries->item(i);
            if (item->text() == display->XSeries) {
                item->setSelected(true);
                LbxChooseSeries->setCurrentItem(item);
            }
        }
    } else {
        setWindowTitle("Dependent Axis - Choose series.");
        LbxChooseSeries->setSelectionMode(QAbstractItemView::MultiSelection);
        const int n = std::min(LbxChooseSeries->count(), display->LbxSeries->count());
        for (int i = 0; i < n; ++i)
            LbxChooseSeries->item(i)->setSelected(display->LbxSeries->item(i)->isSelected());
    }
}

void TFmSeries::OKBtnClick() {
    TFmDisplayData* display = forms_.FmDisplayData;
    if (display) {
        const QList<QListWidgetItem*> chosen = LbxChooseSeries->selectedItems();
        if (display->DefiningX) {
            if (!chosen.isEmpty()) display->XSeries = chosen.first()->text();
        } else {
            // The chosen series become the display's selection; like the
            // independent axis, they are drawn from the next update on.
            const int n = std::min(LbxChooseSeries->count(), display->LbxSeries->count());
            for (int i = 0; i < n; ++i)
                display->LbxSeries->item(i)->setSelected(LbxChooseSeries->item(i)->isSelected());
        }
    }
    accept();
}

void TFmSeries::BtnClearSelectionClick() { LbxChooseSeries->clearSelection(); }

}  // namespace orvane
