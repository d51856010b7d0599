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

#include "ui/calculate_form.h"

namespace orvane {

namespace {

// 's' state, 'd' driver, 'p' parameter, 'r' process (a rate, flux or stock).
struct TFieldSpec {
    char kind;
    const char* symbol;
};

struct TGroupSpec {
    const char* name;
    const char* caption;
    std::vector<TFieldSpec> left;
    std::vector<TFieldSpec> right;  // empty: a one-column group
};

// The groups in the order they stand in the scrolling area. A wide group
// holds its entries in the left column and its results in the right one.
const TGroupSpec GbState{"GbState", "State Variables",
    {{'s', "Cf"}, {'s', "Nf"}, {'s', "Cw"}, {'s', "Nw"}, {'s', "Cr"}, {'s', "Nr"}, {'s', "Clf"},
     {'s', "Nlf"}, {'s', "Clw"}, {'s', "Nlw"}, {'s', "Clr"}, {'s', "Nlr"}, {'s', "Nh"},
     {'s', "Nnh4"}},
    {{'s', "Cs"}, {'s', "Ce"}, {'s', "Ci"}, {'s', "Ch"}, {'s', "Na"}}};
const TGroupSpec GbDriver{"GbDriver", "Driver Variables",
    {{'d', "Ca"}, {'d', "Tamax"}, {'d', "Tamin"}, {'d', "I"}, {'d', "Ppt"}, {'d', "Dnh4"},
     {'d', "Sp"}, {'d', "Ss"}}, {}};
const TGroupSpec GbGPP{"GbGPP", "Photosynthesis",
    {{'r', "Ps"}, {'p', "daymid"}, {'p', "mf"}, {'p', "Deltad"}, {'p', "kappaL"}, {'p', "Ww"},
     {'p', "Wf"}, {'p', "Psiw"}, {'p', "Psif"}, {'p', "Sc"}}, {}};
const TGroupSpec GbNUptake{"GbNUptake", "Nitrogen Uptake",
    {{'p', "qu0"}, {'p', "knh4"}, {'r', "Unh4"}, {'p', "Unh4max"}}, {}};
const TGroupSpec GbTranslocation{"GbTranslocation", "Retranslocation",
    {{'p', "aTau"}, {'r', "tauN"}}, {}};
const TGroupSpec GbNPP{"GbNPP", "NPP and Litterfall",
    {{'r', "NPPf"}, {'r', "NPPw"}, {'r', "NPPr"}, {'p', "sigmaF"}, {'p', "sigmaW"},
     {'p', "sigmaR"}},
    {{'r', "NPPt"}, {'r', "lambdaCFT"}, {'r', "lambdaNFT"}, {'r', "lambdaCWT"}, {'r', "lambdaNWT"},
     {'r', "lambdaCRT"}, {'r', "lambdaNRT"}, {'p', "AlambdaF"}, {'p', "AlambdaW"},
     {'p', "AlambdaR"}}};
const TGroupSpec GbSapwood{"GbSapwood", "Sapwood ", {{'p', "h1"}, {'p', "h2"}, {'r', "Csw"}}, {}};
const TGroupSpec GbPResp{"GbPResp", "Plant Respiration",
    {{'p', "rg"}, {'p', "aWR"}, {'r', "Rpt"}, {'p', "rm"}}, {}};
const TGroupSpec GbRespTemp{"GbRespTemp", "Plant Respiration Temperature Response Function",
    {{'p', "gammar"}, {'p', "Trmax"}, {'p', "Tropt"}, {'r', "Hr"}}, {}};
const TGroupSpec GbGrowth{"GbGrowth", "Growth Parameters",
    {{'p', "kGCF"}, {'p', "kGNF"}, {'p', "kGCW"}, {'p', "kGNW"}, {'p', "kGCR"}, {'p', "kGNR"},
     {'p', "aGCF"}, {'p', "aGNF"}, {'p', "aGCW"}, {'p', "aGNW"}, {'p', "aGCR"}, {'p', "aGNR"},
     {'p', "bGCF"}, {'p', "bGNF"}, {'p', "bGCW"}, {'p', "bGNW"}, {'p', "bGCR"}, {'p', "bGNR"}},
    {{'r', "Gcf"}, {'r', "Gnf"}, {'r', "Gcw"}, {'r', "Gnw"}, {'r', "Gcr"}, {'r', "Gnr"},
     {'p', "gCFm"}, {'p', "gNFm"}, {'p', "gCWm"}, {'p', "gNWm"}, {'p', "gCRm"}, {'p', "gNRm"}}};
const TGroupSpec GbAllocation{"GbAllocation", "Allocation Parameters",
    {{'p', "aTCW"}, {'p', "KCa"}, {'p', "KCb"}, {'p', "Kcf"}, {'p', "Kcw"}, {'p', "Kcr"},
     {'p', "aTNW"}, {'p', "KNa"}, {'p', "KNb"}, {'p', "Knf"}, {'p', "Knw"}, {'p', "Knr"}},
    {{'r', "Tcf"}, {'r', "Tcw"}, {'r', "Tcr"}, {'r', "Tnf"}, {'r', "Tnw"}, {'r', "Tnr"},
     {'p', "aTCF"}, {'p', "aTCR"}, {'p', "aTNF"}, {'p', "aTNR"}}};
const TGroupSpec GbSoilProperties{"GbSoilProperties", "Soil Properties",
    {{'r', "Cst"}, {'r', "Nst"}, {'p', "z"}, {'p', "rho"}}, {}};
const TGroupSpec GbImmob{"GbImmob", "Immobilization",
    {{'p', "kIm"}, {'r', "FNia"}, {'p', "VImax"}, {'p', "qI"}}, {}};
const TGroupSpec GbSoilC{"GbSoilC", "Soil Organic Matter Transformations",
    {{'p', "Ase"}, {'p', "Aie"}, {'p', "Aei"}, {'p', "Aih"}},
    {{'r', "FCse"}, {'r', "FCie"}, {'r', "FNai"}, {'r', "FClambdaS"}, {'r', "FClambdaE"},
     {'r', "FCei"}, {'r', "FCih"}, {'r', "FNah"}, {'r', "FClambdaI"}}};
const TGroupSpec GbSResp{"GbSResp", "Soil Respiration",
    {{'p', "Q10d"}, {'p', "beta"}, {'r', "Rst"}, {'r', "Re"}, {'r', "Rh"}, {'r', "FNhi"},
     {'p', "Ah"}}, {}};
const TGroupSpec GbWaterLeaching{"GbWaterLeaching", "Water Leaching",
    {{'p', "p"}, {'p', "Ep"}, {'r', "Qw"}}, {}};
const TGroupSpec GbDissNH4{"GbDissNH4", "Dissolved NH4",
    {{'p', "etanh4"}, {'r', "Nnh4aq"}, {'r', "Nnh4s"}, {'r', "Qnh4"}, {'p', "Nnh4mx"}}, {}};

// The entries, in keyboard order within their group; every other field shows
// a result.
const std::vector<std::vector<const char*>> InputOrder = {
    {"MeStateCf", "MeStateNf", "MeStateCw", "MeStateNw", "MeStateCr", "MeStateNr", "MeStateClf",
     "MeStateNlf", "MeStateClw", "MeStateNlw", "MeStateClr", "MeStateNlr", "MeStateNh",
     "MeStateNnh4"},
    {"MePs", "MePar_daymid", "MePar_mf", "MePar_Deltad", "MePar_kappaL", "MePar_Ww", "MePar_Wf",
     "MePar_Psiw", "MePar_Psif"},
    {"MePar_qu0", "MePar_knh4"},
    {"MePar_aTau"},
    {"MeNPPf", "MeNPPw", "MeNPPr", "MePar_sigmaF", "MePar_sigmaW", "MePar_sigmaR"},
    {"MePar_h1", "MePar_h2"},
    {"MePar_rg", "MePar_aWR"},
    {"MePar_gammar", "MePar_Trmax", "MePar_Tropt"},
    {"MePar_kGCF", "MePar_kGNF", "MePar_kGCW", "MePar_kGNW", "MePar_kGCR", "MePar_kGNR",
     "MePar_aGCF", "MePar_aGNF", "MePar_aGCW", "MePar_aGNW", "MePar_aGCR", "MePar_aGNR",
     "MePar_bGCF", "MePar_bGNF", "MePar_bGCW", "MePar_bGNW", "MePar_bGCR", "MePar_bGNR"},
    {"MePar_aTCW", "MePar_KCa", "MePar_KCb", "MePar_Kcf", "MePar_Kcw", "MePar_Kcr", "MePar_aTNW",
     "MePar_KNa", "MePar_KNb", "MePar_Knf", "MePar_Knw", "MePar_Knr"},
    {"MeCst", "MeNst", "MePar_z", "MePar_rho"},
    {"MePar_kIm"},
    {"MePar_Ase", "MePar_Aie", "MePar_Aei", "MePar_Aih"},
    {"MePar_Q10d", "MePar_beta"},
    {"MePar_p", "MePar_Ep"},
    {"MePar_etanh4"},
};

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
    const auto makeGroup = [&](const TGroupSpec& groupSpec) {
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
        const auto addColumn = [&](const std::vector<TFieldSpec>& fieldSpecs, int col0) {
            int row = 0;
            for (const TFieldSpec& f : fieldSpecs) {
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
    const auto pair = [&](std::initializer_list<const TGroupSpec*> left,
                          std::initializer_list<const TGroupSpec*> right) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        for (auto* side : {&left, &right}) {
            auto* stack = new QVBoxLayout;
            stack->setSpacing(8);
            for (const TGroupSpec* g : *side) stack->addWidget(makeGroup(*g), 1);
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
