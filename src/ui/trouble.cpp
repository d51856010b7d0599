#include "ui/trouble.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace orvane {

// A drooping sapling and a question mark, drawn at whatever size the window
// gives the picture.
TTroublePicture::TTroublePicture(TFmTrouble* owner, QWidget* parent)
    : QWidget(parent), owner_(owner) {
    setCursor(Qt::PointingHandCursor);
}

void TTroublePicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) owner_->Image1Click();
}

void TTroublePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Draw on a 100 x 124 canvas stretched to the widget.
    p.scale(width() / 100.0, height() / 124.0);

    QLinearGradient sky(0, 0, 0, 124);
    sky.setColorAt(0, QColor(170, 215, 245));
    sky.setColorAt(1, QColor(235, 245, 250));
    p.fillRect(QRectF(0, 0, 100, 124), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 215, 90));
    p.drawEllipse(QRectF(70, 8, 20, 20));

    QPainterPath ground;
    ground.moveTo(0, 96);
    ground.cubicTo(30, 88, 60, 100, 100, 92);
    ground.lineTo(100, 124);
    ground.lineTo(0, 124);
    ground.closeSubpath();
    p.setBrush(QColor(125, 90, 55));
    p.drawPath(ground);

    // Roots reaching down into the soil.
    p.setPen(QPen(QColor(90, 60, 35), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (double dx : {-10.0, -4.0, 3.0, 9.0}) {
        QPainterPath root;
        root.moveTo(36, 95);
        root.cubicTo(36 + dx, 102, 36 + dx * 1.6, 108, 36 + dx * 2.0, 118);
        p.drawPath(root);
    }

    // A thin, bent stem with drooping leaves.
    p.setPen(QPen(QColor(95, 70, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
    QPainterPath stem;
    stem.moveTo(36, 95);
    stem.cubicTo(34, 75, 42, 60, 52, 54);
    p.drawPath(stem);
    p.setPen(QPen(QColor(60, 120, 50), 0.8));
    p.setBrush(QColor(120, 170, 70));
    const QPointF leaves[] = {{38, 78}, {41, 68}, {47, 60}, {52, 55}};
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(leaves[i]);
        p.rotate(i % 2 == 0 ? 70 : 110);
        p.drawEllipse(QRectF(0, -2.5, 12, 5));
        p.restore();
    }

    // The question that brings the user here.
    QFont f("DejaVu Sans");
    f.setPixelSize(40);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(200, 40, 40));
    p.drawText(QRectF(54, 30, 40, 56), Qt::AlignCenter, "?");
}

TFmTrouble::TFmTrouble(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : TFmAbout(g, dialogs, forms, parent) {
    setObjectName("FmTrouble");
    setWindowTitle("FmTrouble");

    // Sizes are laid out for 120 dots per inch and follow the screen's.
    const double s = logicalDpiX() / 120.0;
    auto px = [s](double v) { return static_cast<int>(v * s + 0.5); };
    setFixedSize(px(551), px(345));

    Icon->hide();
    LblModel->hide();
    LblVersion->hide();

    Image1 = new TTroublePicture(this, this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(px(12), px(24), px(241), px(297));

    LblTrouble = new QLabel("Having trouble \nparameterizing?\nClick the icon on the left.", this);
    LblTrouble->setObjectName("LblTrouble");
    LblTrouble->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LblTrouble->setGeometry(px(270), px(20), px(272), px(84));
    // The font's own widths vary: shrink it until every line fits.
    QFont big = font();
    for (int size = px(20); size >= 8; --size) {
        big.setPixelSize(size);
        const QFontMetrics fm(big);
        int widest = 0;
        for (const QString& line : LblTrouble->text().split('\n'))
            widest = std::max(widest, fm.horizontalAdvance(line));
        if (widest <= LblTrouble->width() && 3 * fm.lineSpacing() <= LblTrouble->height()) break;
    }
    LblTrouble->setFont(big);

    MmError = new QPlainTextEdit(this);
    MmError->setObjectName("MmError");
    MmError->setReadOnly(true);
    QFont memo = font();
    memo.setPixelSize(px(17));
    MmError->setFont(memo);
    QPalette pal = MmError->palette();
    pal.setColor(QPalette::Base, QColor(200, 200, 200));
    MmError->setPalette(pal);
    MmError->setGeometry(px(270), px(112), px(268), px(170));

    BtnOK->setGeometry(px(364), px(296), px(90), px(34));
}

void TFmTrouble::SetMessage(const QString& message) {
    MmError->clear();
    MmError->appendPlainText(message);
}

void TFmTrouble::Image1Click() {
    dialogs_.MessageDlg(TMsgKind::Confirmation, "Take a break, go get a beer.",
                        static_cast<int>(TMsgButton::OK));
}

}  // namespace orvane
