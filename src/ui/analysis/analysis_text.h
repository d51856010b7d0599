// How the analysis window names design methods, their settings and
// outputs to the user (the experiment file keeps its own names).
#pragma once

#include <QString>
#include <QStringList>

#include "ensemble/experiment.h"

namespace orvane {

// "Monte Carlo: Latin hypercube" for "lhs"; an unknown method by its name.
QString MethodCaption(const QString& method);
// The label of the member count ("&Members:", "&Base sample N:").
QString MembersCaption(const QString& method);
// A [design] setting: "Relative step" for "step".
QString SettingCaption(const QString& key);
// The values a text setting may take (empty: any text).
QStringList SettingChoices(const QString& key);
// "NPPt  Net Primary Production (gC m-2 yr-1)".
QString OutputCaption(const ensemble::TOutputVariable& o);
// An axis title: "Wood Carbon (gC m-2ground)"; without units just the name.
QString AxisTitle(const QString& name, const QString& units);

}  // namespace orvane
