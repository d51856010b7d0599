// The controls of the steady-state window: the top strip and the 17 group
// boxes with their 158 value fields, each between its caption and units label.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <map>
#include <set>
#include <vector>

#include "calc/calc_fields.h"
#include "ui/calculate_form.h"

namespace orvane {

namespace {

using namespace calcfields;

// Entries that the Tab key passes over: shape parameters and observed
// production that are seldom changed.
const std::set<QString> OutOfTabOrder = {
    "MeNPPf", "MeNPPw", "MeNPPr", "MePar_sigmaF", "MePar_sigmaW", "MePar_sigmaR",
    "MePar_aTCW", "MePar_aTNW", "MePar_mf", "MePar_beta", "MePar_gammar", "MePar_p"};

// Caption labels of entries that are not underlined.
const std::set<QString> PlainCaption = {"MePar_aTCW", "MePar_aTNW"};

QString Prefix(char kind, bool label) {
    switch (kind) {
    case 's': return label ? "LblState" : "MeState";
    case 'd': return label ? "LblDrive" : "MeDrive";
    case 'p': return label ? "LblPar_" : "MePar_";
    default: return label ? "Lbl" : "Me";
    }
}

}  // namespace

void TFmCalculate::BuildTopStrip() {
    RgLabelType = new QGroupBox("Show labels as", this);
    RgLabelType->setObjectName("RgLabelType");
    RbNames = new QRadioButton("&Names", RgLabelType);
    RbNames->setObjectName("RbNames");
    RbSymbols = new QRadioButton("&Symbols", RgLabelType);
    RbSymbols->setObjectName("RbSymbols");
    RbNames->setChecked(true);
    auto* rg = new QHBoxLayout(RgLabelType);
    rg->setContentsMargins(8, 2, 8, 4);
    rg->addWidget(RbNames);
    rg->addWidget(RbSymbols);

    BtnShowallProc = new QPushButton("Show all &processes", this);
    BtnShowallProc->setObjectName("BtnShowallProc");
    BtnSaveParamFile = new QPushButton("Save parameter &file", this);
    BtnSaveParamFile->setObjectName("BtnSaveParamFile");

    GbStatus = new QGroupBox("Status", this);
    GbStatus->setObjectName("GbStatus");
    ShStatus = new TStatusLight(GbStatus);
    ShStatus->setObjectName("ShStatus");
    auto* st = new QHBoxLayout(GbStatus);
    st->setContentsMargins(12, 2, 12, 4);
    st->addWidget(ShStatus, 0, Qt::AlignCenter);

    BtnOK = new QPushButton("&OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnCancel = new QPushButton("&Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    // Enter belongs to the fields (it stores an entry), never to a button.
    for (QPushButton* b : {BtnShowallProc, BtnSaveParamFile, BtnOK, BtnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumHeight(30);
    }
}

void TFmCalculate::BuildGroups() {
    auto* content = new QWidget;
    content->setObjectName("ScrollContent");
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(8);

    std::map<QString, TCalcField*> byName;
    const auto makeGroup = [&](const TCalcGroupSpec& groupSpec) {
        auto* box = new QGroupBox(QString::fromLatin1(groupSpec.caption), content);
        box->setObjectName(groupSpec.name);
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, groupColor_);
        box->setPalette(pal);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(10, 6, 10, 8);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(3);
        const auto addColumn = [&](std::span<const TCalcFieldSpec> fieldSpecs, int col0) {
            int row = 0;
            for (const TCalcFieldSpec& f : fieldSpecs) {
                const QString symbol = QString::fromLatin1(f.symbol);
                auto* caption = new TCalcLabel(box);
                caption->setObjectName(Prefix(f.kind, true) + symbol);
                auto* field = new TCalcField(box);
                field->setObjectName(Prefix(f.kind, false) + symbol);
                auto* units = new TCalcLabel(box);
                units->setObjectName(Prefix(f.kind, true) + symbol + "Units");
                units->Units = true;
                caption->setBuddy(field);
                caption->setMinimumWidth(170);
                units->setMinimumWidth(150);
                field->setFixedWidth(96);
                field->setAlignment(Qt::AlignRight);
                grid->addWidget(caption, row, col0);
                grid->addWidget(field, row, col0 + 1);
                grid->addWidget(units, row, col0 + 2);
                fields_ << field;
                labels_ << caption << units;
                byName[field->objectName()] = field;
                ++row;
            }
        };
        addColumn(groupSpec.left, 0);
        if (!groupSpec.right.empty()) {
            grid->setColumnMinimumWidth(3, 24);
            addColumn(groupSpec.right, 4);
            grid->setColumnStretch(2, 1);
            grid->setColumnStretch(6, 1);
        } else {
            grid->setColumnStretch(2, 1);
        }
        grid->setRowStretch(grid->rowCount(), 1);
        groups_ << box;
        return box;
    };
    const auto pair = [&](std::initializer_list<const TCalcGroupSpec*> left,
                          std::initializer_list<const TCalcGroupSpec*> right) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        for (auto* side : {&left, &right}) {
            auto* stack = new QVBoxLayout;
            stack->setSpacing(8);
            for (const TCalcGroupSpec* g : *side) stack->addWidget(makeGroup(*g), 1);
            row->addLayout(stack, 1);
        }
        column->addLayout(row);
    };

    column->addWidget(makeGroup(GbState));
    pair({&GbDriver}, {&GbGPP});
    pair({&GbNUptake}, {&GbTranslocation});
    column->addWidget(makeGroup(GbNPP));
    pair({&GbSapwood}, {&GbPResp, &GbRespTemp});
    column->addWidget(makeGroup(GbGrowth));
    column->addWidget(makeGroup(GbAllocation));
    pair({&GbSoilProperties}, {&GbImmob});
    column->addWidget(makeGroup(GbSoilC));
    pair({&GbSResp}, {&GbWaterLeaching, &GbDissNH4});
    column->addStretch(1);

    // Entries versus results, keyboard order, underlined captions.
    QWidget* previous = nullptr;
    for (const auto& group : InputOrder) {
        for (const char* n : group) {
            TCalcField* f = byName.at(n);
            f->Input = true;
            if (OutOfTabOrder.count(n)) {
                f->setFocusPolicy(Qt::ClickFocus);
                continue;
            }
            f->setFocusPolicy(Qt::StrongFocus);
            if (previous) setTabOrder(previous, f);
            previous = f;
        }
    }
    for (TCalcField* f : fields_) {
        if (!f->Input) {
            f->setReadOnly(true);
            f->setFocusPolicy(Qt::ClickFocus);  // may still be selected and copied
        }
        QPalette pal = f->palette();
        pal.setColor(QPalette::Base, f->Input ? inputColor_ : resultColor_);
        f->setPalette(pal);
    }
    for (TCalcLabel* l : labels_) {
        if (l->Units) continue;
        auto* f = qobject_cast<TCalcField*>(l->buddy());
        const bool driver = f->objectName().startsWith("MeDrive");
        if ((f->Input && !PlainCaption.count(f->objectName())) || driver) {
            QFont font = l->font();
            font.setUnderline(true);
            l->setFont(font);
        }
        // Captions point at their fields but give them no access key.
        l->setBuddy(nullptr);
    }

    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName("ScrollBox");
    ScrollBox->setWidgetResizable(true);
    ScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ScrollBox->setWidget(content);
}

// ---- Status light ------------------------------------------------------------

TStatusLight::TStatusLight(QWidget* parent) : QWidget(parent), color_(Qt::red) {
    setFixedSize(26, 26);
}

void TStatusLight::SetColor(const QColor& c) {
    color_ = c;
    update();
}

void TStatusLight::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color_.darker(160), 1.5));
    p.setBrush(color_);
    p.drawEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
}

}  // namespace orvane
