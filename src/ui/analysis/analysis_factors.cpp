#include "ui/analysis/analysis_factors.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>

#include "ensemble/names.h"
#include "io/numfmt.h"
#include "model/errors.h"
#include "model/globals.h"
#include "ui/qtext.h"

namespace orvane {

namespace {

using ensemble::TFactorKind;

ensemble::TDistKind DistKind(const QString& name) {
    using ensemble::TDistKind;
    for (TDistKind k : {TDistKind::Uniform, TDistKind::Normal, TDistKind::LogNormal, TDistKind::Triangular,
                        TDistKind::TruncNormal, TDistKind::Relative})
        if (name == ensemble::DistName(k)) return k;
    return TDistKind::Relative;
}

const QColor kBadCell(255, 200, 200);
const QColor kUnusedCell(236, 236, 236);

}  // namespace

TFactorTableModel::TFactorTableModel(const TGlobals& catalogue, QObject* parent)
    : QAbstractTableModel(parent), g_(catalogue) {}

const QStringList& TFactorTableModel::SettingKeys() {
    static const QStringList keys = {"mean", "sd", "min", "mode", "max", "meanlog", "sdlog", "percent"};
    return keys;
}

int TFactorTableModel::SettingColumn(const QString& key) {
    const int k = static_cast<int>(SettingKeys().indexOf(key));
    if (k >= 0) return ColFirstSetting + k;
    if (key == "apply") return ColFirstSetting + static_cast<int>(SettingKeys().size());
    if (key == "symbol" || key == "kind") return ColSymbol;
    if (key == "distribution") return ColDistribution;
    return -1;
}

const QStringList& TFactorTableModel::Distributions() {
    // "none": a design that takes the values from elsewhere (a file, or the
    // base values a local analysis moves).
    static const QStringList names = {"uniform", "normal", "lognormal", "triangular", "truncnormal", "relative", "none"};
    return names;
}

QStringList TFactorTableModel::DistributionKeys(const QString& d) {
    QStringList keys;
    for (const std::string& k : ensemble::DistributionKeys(d.toStdString())) keys << QString::fromStdString(k);
    return keys;
}

int TFactorTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TFactorTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ApplyColumn() + 1;
}

QString TFactorTableModel::Name(const TFactorRow& r) const {
    const int i = ensemble::FactorIndex(g_, r.kind, r.symbol.toStdString());
    if (i == 0) return {};
    switch (r.kind) {
        case TFactorKind::State: return Text(g_.States[i].name);
        case TFactorKind::Parameter: return Text(g_.Params[i].name);
        case TFactorKind::Driver: return Text(g_.Drivers[i].name);
        case TFactorKind::Process: return Text(g_.Processes[i].name);
    }
    return {};
}

QString TFactorTableModel::Units(const TFactorRow& r) const {
    const int i = ensemble::FactorIndex(g_, r.kind, r.symbol.toStdString());
    if (i == 0) return {};
    switch (r.kind) {
        case TFactorKind::State: return Text(g_.States[i].units);
        case TFactorKind::Parameter: return Text(g_.Params[i].units);
        // A driver factor scales its column (a pure number) or offsets it.
        case TFactorKind::Driver: return r.apply == "offset" ? Text(g_.Drivers[i].units) : QString("1 (scale)");
        case TFactorKind::Process: return Text(g_.Processes[i].units);
    }
    return {};
}

bool TFactorTableModel::Uses(const TFactorRow& r, int column) const {
    if (column == ApplyColumn()) return r.kind == TFactorKind::Driver;
    if (column < ColFirstSetting) return true;
    return DistributionKeys(r.distribution).contains(SettingKeys()[column - ColFirstSetting]);
}

QVariant TFactorTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TFactorRow& r = rows_[static_cast<std::size_t>(index.row())];
    const int c = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (c) {
            case ColKind: return QString(ensemble::FactorKindName(r.kind));
            case ColSymbol: return r.symbol;
            case ColName: return Name(r);
            case ColUnits: return Units(r);
            case ColBase: return r.base;
            case ColDistribution: return r.distribution;
            default:
                if (!Uses(r, c)) return QString();
                if (c == ApplyColumn()) return r.apply;
                return r.settings.value(SettingKeys()[c - ColFirstSetting]);
        }
    }
    if (role == Qt::ToolTipRole) {
        const QString p = Problem(index);
        if (!p.isEmpty()) return p;
        if (c == ColBase) return QString("The value on the site (a process: at the calculation time)");
        if (c == ColName) return Name(r);
        if (c == ColUnits) return Units(r);
        return {};
    }
    if (role == Qt::BackgroundRole) {
        if (!Problem(index).isEmpty()) return QBrush(kBadCell);
        if (!Uses(r, c)) return QBrush(kUnusedCell);
        return {};
    }
    if (role == Qt::TextAlignmentRole && (c == ColBase || (c >= ColFirstSetting && c < ApplyColumn()))) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TFactorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
        case ColKind: return QString("Kind");
        case ColSymbol: return QString("Symbol");
        case ColName: return QString("Name");
        case ColUnits: return QString("Units");
        case ColBase: return QString("Base value");
        case ColDistribution: return QString("Distribution");
        default:
            if (section == ApplyColumn()) return QString("Apply");
            return SettingKeys().value(section - ColFirstSetting);
    }
}

Qt::ItemFlags TFactorTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const TFactorRow& r = rows_[static_cast<std::size_t>(index.row())];
    const int c = index.column();
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool editable = c == ColSymbol || c == ColDistribution || (c >= ColFirstSetting && Uses(r, c));
    return editable ? f | Qt::ItemIsEditable : f;
}

bool TFactorTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    TFactorRow& r = rows_[static_cast<std::size_t>(index.row())];
    const QString text = value.toString().trimmed();
    const int c = index.column();
    if (c == ColSymbol) {
        r.symbol = text;
        r.base.clear();
    } else if (c == ColDistribution) {
        if (!Distributions().contains(text)) return false;
        r.distribution = text;
    } else if (c == ApplyColumn()) {
        if (text != "scale" && text != "offset") return false;
        r.apply = text;
        r.base.clear();
    } else {
        r.settings[SettingKeys()[c - ColFirstSetting]] = text;
    }
    // Name, units and the cells in use may all change with one entry.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit Edited();
    return true;
}

void TFactorTableModel::SetRows(std::vector<TFactorRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    problems_.clear();
    endResetModel();
}

bool TFactorTableModel::AddFactor(TFactorKind kind, const QString& symbol) {
    if (FindRow(symbol) >= 0) return false;
    TFactorRow r;
    r.kind = kind;
    r.symbol = symbol;
    r.settings["percent"] = "10";
    beginInsertRows({}, rowCount(), rowCount());
    rows_.push_back(std::move(r));
    endInsertRows();
    emit Edited();
    return true;
}

void TFactorTableModel::RemoveRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    problems_.clear();
    endRemoveRows();
    emit Edited();
}

int TFactorTableModel::FindRow(const QString& symbol) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].symbol == symbol) return static_cast<int>(i);
    return -1;
}

QModelIndex TFactorTableModel::Cell(int row, const QString& key) const {
    const int c = SettingColumn(key);
    return c < 0 ? index(row, ColSymbol) : index(row, c);
}

std::vector<ensemble::TFactor> TFactorTableModel::Factors() {
    std::vector<ensemble::TFactor> out;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const TFactorRow& r = rows_[i];
        ensemble::TFactor f;
        f.kind = r.kind;
        f.symbol = r.symbol.toStdString();
        f.apply = r.apply == "offset" ? ensemble::TDriverApply::Offset : ensemble::TDriverApply::Scale;
        f.hasDistribution = r.distribution != "none";
        const QStringList keys = DistributionKeys(r.distribution);
        double v[4] = {0, 0, 0, 0};
        for (int k = 0; k < keys.size(); ++k) {
            const QModelIndex cell = Cell(static_cast<int>(i), keys[k]);
            const QString text = r.settings.value(keys[k]);
            if (text.isEmpty()) {
                SetProblem(cell, "\"" + keys[k] + "\" needs a value");
                continue;
            }
            try {
                v[k] = StrToFloat(text.toStdString());
            } catch (const EOrvaneError& err) {
                SetProblem(cell, QString::fromStdString(err.Message()));
            }
        }
        f.dist = {DistKind(r.distribution), v[0], v[1], v[2], v[3]};
        out.push_back(std::move(f));
    }
    return out;
}

void TFactorTableModel::ShowBases(const std::vector<double>& bases) {
    for (std::size_t i = 0; i < rows_.size() && i < bases.size(); ++i)
        rows_[i].base = QString::fromStdString(FormatGeneral(bases[i], 6));
    if (!rows_.empty()) emit dataChanged(index(0, ColBase), index(rowCount() - 1, ColBase));
}

void TFactorTableModel::ClearProblems() {
    if (problems_.isEmpty()) return;
    problems_.clear();
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void TFactorTableModel::SetProblem(const QModelIndex& cell, const QString& reason) {
    if (!cell.isValid()) return;
    problems_.insert({cell.row(), cell.column()}, reason);
    emit dataChanged(cell, cell);
}

QString TFactorTableModel::Problem(const QModelIndex& cell) const {
    return problems_.value({cell.row(), cell.column()});
}

QString TFactorTableModel::FirstProblem() const {
    if (problems_.isEmpty()) return {};
    const auto it = problems_.constBegin();
    const TFactorRow& r = rows_[static_cast<std::size_t>(it.key().first)];
    return "Factor " + r.symbol + ", " + headerData(it.key().second, Qt::Horizontal, Qt::DisplayRole).toString() +
           ": " + it.value();
}

// ---- Choices ---------------------------------------------------------------

QWidget* TChoiceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    const auto* model = qobject_cast<const TFactorTableModel*>(index.model());
    if (!model) return QStyledItemDelegate::createEditor(parent, option, index);
    QStringList choices;
    if (index.column() == TFactorTableModel::ColDistribution) choices = TFactorTableModel::Distributions();
    else if (index.column() == model->ApplyColumn()) choices = {"scale", "offset"};
    else return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    box->addItems(choices);
    return box;
}

void TChoiceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        box->setCurrentText(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TChoiceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentText());
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

}  // namespace orvane
