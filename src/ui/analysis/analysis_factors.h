// The factor table of the analysis window: one row per uncertain factor,
// with its kind, symbol, name and units from the catalogue, its base value
// on the site, and its distribution with the settings that distribution
// takes. A cell whose entry is bad shows why (in its tooltip, on red).
#pragma once

#include <QAbstractTableModel>
#include <QMap>
#include <QStringList>
#include <QStyledItemDelegate>
#include <vector>

#include "ensemble/experiment.h"

namespace orvane {

struct TGlobals;

struct TFactorRow {
    ensemble::TFactorKind kind = ensemble::TFactorKind::Parameter;
    QString symbol;
    QString distribution = "relative";
    QMap<QString, QString> settings;  // by key: the texts typed, kept across distributions
    QString apply = "scale";          // drivers only
    QString base;                     // the base value on the site, as shown
};

class TFactorTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { ColKind, ColSymbol, ColName, ColUnits, ColBase, ColDistribution, ColFirstSetting };

    // `catalogue` gives names and units; it outlives the model.
    explicit TFactorTableModel(const TGlobals& catalogue, QObject* parent = nullptr);

    // The settings' columns, in order ("mean", "sd", "min", ...), and the
    // column of a key (-1 for none), or of "apply".
    static const QStringList& SettingKeys();
    static int SettingColumn(const QString& key);
    int ApplyColumn() const { return ColFirstSetting + static_cast<int>(SettingKeys().size()); }
    // The keys a distribution takes.
    static QStringList DistributionKeys(const QString& distribution);
    static const QStringList& Distributions();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const std::vector<TFactorRow>& Rows() const { return rows_; }
    void SetRows(std::vector<TFactorRow> rows);
    // Adds a factor with a distribution of +-10 % (an offset of a driver:
    // a uniform range around 0, to be set); false if it is there already.
    bool AddFactor(ensemble::TFactorKind kind, const QString& symbol);
    void RemoveRow(int row);
    int FindRow(const QString& symbol) const;
    // The cell of a row's key ("symbol", "distribution", a setting, "apply").
    QModelIndex Cell(int row, const QString& key) const;

    // The factors as the experiment holds them. Entries that are not
    // numbers are marked as problems (and the factor is left incomplete).
    std::vector<ensemble::TFactor> Factors();
    void ShowBases(const std::vector<double>& bases);

    // Problems: a reason per cell, cleared all together.
    void ClearProblems();
    void SetProblem(const QModelIndex& cell, const QString& reason);
    QString Problem(const QModelIndex& cell) const;
    bool HasProblems() const { return !problems_.isEmpty(); }
    // The first problem, with the factor and column it is in.
    QString FirstProblem() const;

signals:
    // An entry was changed by the user.
    void Edited();

private:
    QString Name(const TFactorRow& r) const;
    QString Units(const TFactorRow& r) const;
    bool Uses(const TFactorRow& r, int column) const;

    const TGlobals& g_;
    std::vector<TFactorRow> rows_;
    QMap<QPair<int, int>, QString> problems_;
};

// Choices from a list for the distribution and apply cells.
class TChoiceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace orvane
