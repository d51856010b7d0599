// The model's variables as the observation and output files name them: by
// catalogue name or symbol, each with its column in an output file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/globals.h"

namespace orvane {

enum class TVariableKind { Driver, State, Process };

struct TVariableInfo {
    TVariableKind kind = TVariableKind::State;
    std::string_view symbol;
    std::string_view name;
    std::string_view units;
    int column = 0;  // in an output row: 0 is the time, then drivers, states, processes
};

class TVariableCatalogue {
public:
    // From the catalogue held in g (filled by ModelDefinition).
    explicit TVariableCatalogue(const TGlobals& g);

    const std::vector<TVariableInfo>& All() const { return vars_; }

    // Every variable whose symbol or name is `text`: exactly first, then
    // ignoring case when nothing matches exactly. More than one means the
    // text is ambiguous (a symbol may name a driver and a process).
    std::vector<const TVariableInfo*> Find(std::string_view text) const;

    // Up to `count` names and symbols closest to `text` (edit distance,
    // ignoring case), for a message about a name that matched nothing.
    std::vector<std::string> Closest(std::string_view text, std::size_t count = 3) const;

private:
    std::vector<TVariableInfo> vars_;
};

const char* KindName(TVariableKind kind);

}  // namespace orvane
