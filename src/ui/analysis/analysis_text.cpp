#include "ui/analysis/analysis_text.h"

#include <QMap>

namespace orvane {

QString MethodCaption(const QString& method) {
    static const QMap<QString, QString> captions = {
        {"random", "Monte Carlo: random"},
        {"lhs", "Monte Carlo: Latin hypercube"},
        {"sobol-points", "Monte Carlo: Sobol' points"},
        {"csv", "Parameter sets from a file"},
        {"local", "Local, one at a time"},
        {"morris", "Morris elementary effects"},
        {"sobol", "Sobol' indices"},
    };
    return captions.value(method, method);
}

QString MembersCaption(const QString& method) {
    return method == "sobol" ? "&Base sample N:" : "&Members:";
}

QString SettingCaption(const QString& key) {
    static const QMap<QString, QString> captions = {
        {"step", "Relative step"},
        {"differences", "Differences"},
        {"trajectories", "Trajectories (r)"},
        {"levels", "Levels (p)"},
        {"bootstrap", "Bootstrap resamples"},
        {"confidence", "Confidence level"},
    };
    return captions.value(key, key);
}

QStringList SettingChoices(const QString& key) {
    if (key == "differences") return {"forward", "central"};
    return {};
}

QString OutputCaption(const ensemble::TOutputVariable& o) {
    return QString::fromStdString(o.symbol) + "  " +
           AxisTitle(QString::fromStdString(o.longName), QString::fromStdString(o.units));
}

QString AxisTitle(const QString& name, const QString& units) {
    return units.isEmpty() ? name : name + " (" + units + ")";
}

}  // namespace orvane
