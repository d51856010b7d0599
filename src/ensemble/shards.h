// Shards: an ensemble cut into contiguous blocks of whole design groups, each
// run on its own (a task of a scheduler's job array) into a shard folder, and
// merged afterwards into the files a single run writes.
//
// A shard folder holds the shard's members.journal (starting at the shard's
// first member) and shard.toml, which names the experiment, its hash, the
// program version and which shard of how many it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ensemble/experiment.h"

namespace orvane::ensemble {

inline constexpr const char* ShardInfoName = "shard.toml";

// Shard `index` (from 1) of `count`; count 0: no shard, the whole ensemble.
struct TShard {
    int index = 0;
    int count = 0;
    bool Any() const { return count > 0; }
};

struct TMemberRange {
    std::size_t first = 0;
    std::size_t last = 0;  // one past
};

// The members of a shard: groups split as evenly as they go, earlier shards
// taking the larger share. Raises EExperimentError when there are more
// shards than groups.
TMemberRange ShardRange(std::size_t members, std::size_t group, const TShard& shard);

struct TShardInfo {
    std::string experiment;  // absolute path of the experiment file
    uint64_t hash = 0;
    std::string version;
    TShard shard;
    TMemberRange range;
    std::size_t members = 0;  // of the whole ensemble
    std::size_t group = 1;
    TExperimentOverrides overrides;
};

TShardInfo MakeShardInfo(const TExperiment& e, const TShard& shard, std::size_t members, std::size_t group);
// Written through a temporary file. Raises EInOutError.
void WriteShardInfo(const std::string& dir, const TShardInfo& info);
// Whether `dir` holds a shard.toml. ReadShardInfo raises EExperimentError
// naming the folder when it has none or cannot read it.
bool HasShardInfo(const std::string& dir);
TShardInfo ReadShardInfo(const std::string& dir);

// The checks of a merge: every folder a shard of one experiment made by
// this program version, each of 1..N there once, each complete; then the
// experiment, read again, must still have the hash the shards recorded.
// Returns the experiment, or raises EExperimentError naming the shard or
// folder at fault.
TExperiment CheckShards(const std::vector<std::string>& dirs, std::vector<TShardInfo>& infos);

}  // namespace orvane::ensemble
