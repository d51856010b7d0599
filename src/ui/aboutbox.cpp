#include "ui/aboutbox.h"
#include "ui/placement.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>

namespace orvane {

namespace {

// The program's 32 x 32 icon: a small tree over a strip of soil, drawn
// rather than loaded so the program needs no image files.
class TAboutIcon : public QWidget {
public:
    explicit TAboutIcon(QWidget* parent) : QWidget(parent) { setFixedSize(32, 32); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 80, 40));
        p.drawRect(QRectF(0, 25, 32, 7));
        p.setBrush(QColor(100, 60, 30));
        p.drawRect(QRectF(14, 15, 4, 11));
        p.setBrush(QColor(40, 140, 60));
        p.drawEllipse(QRectF(5, 2, 22, 17));
        p.setBrush(QColor(80, 180, 90));
        p.drawEllipse(QRectF(9, 4, 10, 8));
    }
};

}  // namespace

TFmAbout::TFmAbout(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    setObjectName("FmAbout");
    setWindowTitle("About Veskor Orvane");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(315, 232);

    Icon = new TAboutIcon(this);
    Icon->setObjectName("Icon");
    Icon->move(16, 16);

    QFont labelFont = font();
    labelFont.setPixelSize(15);
    labelFont.setBold(true);
    LblModel = new QLabel(this);
    LblModel->setObjectName("LblModel");
    LblVersion = new QLabel(this);
    LblVersion->setObjectName("LblVersion");
    for (QLabel* l : {LblModel, LblVersion}) {
        l->setFont(labelFont);
        l->setAlignment(Qt::AlignCenter);
    }
    LblModel->setGeometry(56, 40, 243, 28);
    LblVersion->setGeometry(56, 76, 243, 28);

    BtnOK = new QPushButton("&OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setDefault(true);
    BtnOK->setAutoDefault(true);
    BtnOK->setGeometry(120, 180, 75, 28);
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TFmAbout::FormShow() {
    LblModel->setText(QString::fromStdString(g_.ModelDef.modelname));
    LblVersion->setText("Version " + QString::fromStdString(g_.ModelDef.versionnumber));
}

int TFmAbout::ShowModal() { return exec(); }

void TFmAbout::showEvent(QShowEvent* event) {
    FormShow();
    if (!event->spontaneous()) PlaceOnOwnerScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace orvane
