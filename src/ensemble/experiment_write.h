// Writing an experiment file that ReadExperiment reads back as the same
// experiment: the analysis window saves its set-up through it, so that the
// runner and the window share one file format.
#pragma once

#include <string>
#include <vector>

#include "ensemble/experiment.h"

namespace orvane::ensemble {

// Where a setting stands in the written text, so that a complaint of the
// reader about a line can be shown beside the setting that it came from.
struct TSettingPlace {
    int line = 0;       // 1-based
    std::string table;  // "site", "run", "steady_state", "factor", "design", "outputs"
    int factor = -1;    // the factor's position in the experiment, for "factor"
    std::string key;    // the key on that line; empty on a table's header
};

// The experiment as TOML, for a file at `path` (the site's and the design's
// files are named relative to its folder when they lie inside it). The
// factors' catalogue indices, the outputs' units and the hash are not
// written: the reader finds them again. `places` receives one entry per
// line that holds a header or a setting.
std::string ExperimentText(const TExperiment& e, const std::string& path,
                           std::vector<TSettingPlace>* places = nullptr);

// Writes ExperimentText to `path` beside it and renames it into place.
// Raises EInOutError.
void WriteExperiment(const TExperiment& e, const std::string& path);

// The reader's complaint split into its line (0 when it names none) and
// the reason alone, without the file's name and the quoted line.
struct TExperimentComplaint {
    int line = 0;
    std::string reason;
};
TExperimentComplaint SplitComplaint(const std::string& message, const std::string& path);

}  // namespace orvane::ensemble
