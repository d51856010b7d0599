// A searchable list of the model's variables: typing part of a name or a
// symbol narrows it to the variables that match.
#pragma once

#include <QWidget>

#include "ensemble/experiment.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace orvane {

struct TGlobals;

struct TPickedVariable {
    ensemble::TFactorKind kind = ensemble::TFactorKind::Parameter;  // as a factor's kind
    int index = 0;                                                  // in the catalogue of its kind
    QString symbol;
    bool CanBeOutput() const { return kind != ensemble::TFactorKind::Parameter; }
};

class TVariablePicker : public QWidget {
    Q_OBJECT
public:
    explicit TVariablePicker(const TGlobals& catalogue, QWidget* parent = nullptr);

    // The variable selected (index 0: none).
    TPickedVariable Current() const;
    // Selects the first variable of a kind and symbol that the filter shows.
    bool Select(ensemble::TFactorKind kind, const QString& symbol);

    QLineEdit* EdFind = nullptr;
    QListWidget* LbxVariables = nullptr;

signals:
    void CurrentChanged();
    void Activated();  // double click or Enter on a variable

private:
    void Filter(const QString& text);
};

}  // namespace orvane
