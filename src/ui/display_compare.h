// What the output display compares its run with: observations and a second
// run, each with the file it came from.
#pragma once

#include <QString>
#include <optional>

#include "obs/obsfile.h"
#include "obs/runtable.h"

namespace orvane {

struct TDisplayComparison {
    std::optional<TObservations> observations;
    QString observationPath;
    std::optional<TRunTable> compared;
    QString comparedPath;
    std::optional<TRunTable> shown;  // the shown file at full precision
};

}  // namespace orvane
