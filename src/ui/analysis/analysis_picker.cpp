#include "ui/analysis/analysis_picker.h"

#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "model/globals.h"
#include "ui/qtext.h"

namespace orvane {

namespace {

using ensemble::TFactorKind;

enum { RoleKind = Qt::UserRole, RoleIndex, RoleSymbol, RoleName };

void AddItem(QListWidget* list, TFactorKind kind, int index, std::string_view symbol, std::string_view name,
             std::string_view units) {
    const QString text = Text(symbol) + "  " + Text(name) + (units.empty() ? QString() : "  (" + Text(units) + ")") +
                         "  [" + ensemble::FactorKindName(kind) + "]";
    auto* item = new QListWidgetItem(text, list);
    item->setData(RoleKind, static_cast<int>(kind));
    item->setData(RoleIndex, index);
    item->setData(RoleSymbol, Text(symbol));
    item->setData(RoleName, Text(name));
}

}  // namespace

TVariablePicker::TVariablePicker(const TGlobals& g, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    EdFind = new QLineEdit(this);
    EdFind->setObjectName("EdFind");
    EdFind->setPlaceholderText("Find a variable by name or symbol");
    EdFind->setClearButtonEnabled(true);
    LbxVariables = new QListWidget(this);
    LbxVariables->setObjectName("LbxVariables");
    layout->addWidget(EdFind);
    layout->addWidget(LbxVariables, 1);

    const TModelDef& m = g.ModelDef;
    for (int i = 1; i <= m.numstate; ++i)
        AddItem(LbxVariables, TFactorKind::State, i, g.States[i].symbol, g.States[i].name, g.States[i].units);
    for (int i = 1; i <= m.numparam; ++i)
        AddItem(LbxVariables, TFactorKind::Parameter, i, g.Params[i].symbol, g.Params[i].name, g.Params[i].units);
    for (int i = 1; i <= m.numdrive; ++i)
        AddItem(LbxVariables, TFactorKind::Driver, i, g.Drivers[i].symbol, g.Drivers[i].name, g.Drivers[i].units);
    for (int i = 1; i <= m.numprocess; ++i)
        AddItem(LbxVariables, TFactorKind::Process, i, g.Processes[i].symbol, g.Processes[i].name,
                g.Processes[i].units);

    connect(EdFind, &QLineEdit::textChanged, this, &TVariablePicker::Filter);
    connect(LbxVariables, &QListWidget::currentRowChanged, this, [this] { emit CurrentChanged(); });
    connect(LbxVariables, &QListWidget::itemActivated, this, [this] { emit Activated(); });
    // Enter in the search field takes the first match.
    connect(EdFind, &QLineEdit::returnPressed, this, [this] {
        if (Current().index != 0) emit Activated();
    });
}

void TVariablePicker::Filter(const QString& text) {
    const QString t = text.trimmed();
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < LbxVariables->count(); ++i) {
        QListWidgetItem* item = LbxVariables->item(i);
        const bool match = t.isEmpty() || item->data(RoleSymbol).toString().contains(t, Qt::CaseInsensitive) ||
                           item->data(RoleName).toString().contains(t, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !first) first = item;
    }
    QListWidgetItem* current = LbxVariables->currentItem();
    if (!current || current->isHidden()) LbxVariables->setCurrentItem(first);
}

TPickedVariable TVariablePicker::Current() const {
    const QListWidgetItem* item = LbxVariables->currentItem();
    if (!item || item->isHidden()) return {};
    return {static_cast<TFactorKind>(item->data(RoleKind).toInt()), item->data(RoleIndex).toInt(),
            item->data(RoleSymbol).toString()};
}

bool TVariablePicker::Select(TFactorKind kind, const QString& symbol) {
    for (int i = 0; i < LbxVariables->count(); ++i) {
        QListWidgetItem* item = LbxVariables->item(i);
        if (!item->isHidden() && item->data(RoleKind).toInt() == static_cast<int>(kind) &&
            item->data(RoleSymbol).toString() == symbol) {
            LbxVariables->setCurrentItem(item);
            return true;
        }
    }
    return false;
}

}  // namespace orvane
