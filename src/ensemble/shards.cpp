#include "ensemble/shards.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <map>
#include <toml.hpp>

#include "ensemble/journal.h"
#include "io/textfile.h"
#include "model/catalogue.h"

namespace orvane::ensemble {

namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

std::string Hex(uint64_t h) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, h);
    return buf;
}

std::string InfoPath(const std::string& dir) { return (fs::path(dir) / ShardInfoName).string(); }

std::string Name(const TShard& s) { return std::to_string(s.index) + "/" + std::to_string(s.count); }

std::string MemberSpan(const TMemberRange& r) {
    return "members " + std::to_string(r.first) + " to " + std::to_string(r.last - 1);
}

}  // namespace

TMemberRange ShardRange(std::size_t members, std::size_t group, const TShard& shard) {
    if (!shard.Any()) return {0, members};
    group = std::max<std::size_t>(1, group);
    const std::size_t groups = members / group;
    const std::size_t n = static_cast<std::size_t>(shard.count);
    if (shard.index < 1 || static_cast<std::size_t>(shard.index) > n) {
        throw EExperimentError("shard " + Name(shard) + ": the shards are numbered from 1 to " + std::to_string(n));
    }
    if (n > groups) {
        throw EExperimentError("the ensemble has " + std::to_string(groups) + (group == 1 ? " members" : " groups of " + std::to_string(group) + " members") +
                               ", too few for " + std::to_string(n) + " shards: use at most " + std::to_string(groups));
    }
    const std::size_t k = static_cast<std::size_t>(shard.index - 1);
    const std::size_t base = groups / n;
    const std::size_t extra = groups % n;
    const std::size_t start = k * base + std::min(k, extra);
    const std::size_t size = base + (k < extra ? 1 : 0);
    return {start * group, (start + size) * group};
}

TShardInfo MakeShardInfo(const TExperiment& e, const TShard& shard, std::size_t members, std::size_t group) {
    TGlobals catalogue;
    InitialiseGlobals(catalogue);
    TShardInfo info;
    std::error_code ec;
    info.experiment = fs::absolute(e.path, ec).lexically_normal().string();
    if (ec) info.experiment = e.path;
    info.hash = e.hash;
    info.version = ProgramVersion(catalogue);
    info.shard = shard;
    info.range = ShardRange(members, group, shard);
    info.members = members;
    info.group = group;
    info.overrides = e.overrides;
    return info;
}

void WriteShardInfo(const std::string& dir, const TShardInfo& info) {
    std::string t;
    t += "# A shard of an ensemble: \"orvane-ensemble merge OUTDIR SHARDDIR...\" joins the shards\r\n";
    t += "# into the files of a single run.\r\n";
    t += "experiment = " + Quoted(info.experiment) + "\r\n";
    t += "hash = \"" + Hex(info.hash) + "\"\r\n";
    t += "version = " + Quoted(info.version) + "\r\n";
    t += "shard = " + std::to_string(info.shard.index) + "\r\n";
    t += "shards = " + std::to_string(info.shard.count) + "\r\n";
    t += "first_member = " + std::to_string(info.range.first) + "\r\n";
    t += "last_member = " + std::to_string(info.range.last - 1) + "\r\n";
    t += "members = " + std::to_string(info.members) + "\r\n";
    t += "group = " + std::to_string(info.group) + "\r\n";
    t += "members_option = " + std::to_string(info.overrides.members) + "\r\n";
    t += "seed_option = " + std::to_string(info.overrides.seed) + "\r\n";
    TTextWriter w;
    w.CreateReplacing(InfoPath(dir));
    w.Write(t);
    w.Close();
}

bool HasShardInfo(const std::string& dir) {
    std::error_code ec;
    return fs::exists(InfoPath(dir), ec);
}

TShardInfo ReadShardInfo(const std::string& dir) {
    const std::string path = InfoPath(dir);
    if (!HasShardInfo(dir)) {
        throw EExperimentError("\"" + dir + "\" is not a shard folder: it has no " + ShardInfoName);
    }
    TShardInfo info;
    try {
        const toml::value v = toml::parse(path);
        const auto whole = [&](const char* key) { return toml::find<long long>(v, key); };
        info.experiment = toml::find<std::string>(v, "experiment");
        info.hash = std::stoull(toml::find<std::string>(v, "hash"), nullptr, 16);
        info.version = toml::find<std::string>(v, "version");
        info.shard = {static_cast<int>(whole("shard")), static_cast<int>(whole("shards"))};
        info.range = {static_cast<std::size_t>(whole("first_member")), static_cast<std::size_t>(whole("last_member")) + 1};
        info.members = static_cast<std::size_t>(whole("members"));
        info.group = static_cast<std::size_t>(whole("group"));
        info.overrides = {whole("members_option"), whole("seed_option")};
    } catch (const std::exception& err) {
        throw EExperimentError("cannot read \"" + path + "\": " + err.what());
    }
    return info;
}

TExperiment CheckShards(const std::vector<std::string>& dirs, std::vector<TShardInfo>& infos) {
    if (dirs.empty()) throw EExperimentError("no shard folders to merge");
    infos.clear();
    for (const std::string& d : dirs) infos.push_back(ReadShardInfo(d));
    const TShardInfo& a = infos.front();
    std::map<int, std::size_t> byIndex;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const TShardInfo& b = infos[i];
        const std::string where = "the shard folder \"" + dirs[i] + "\"";
        if (b.version != a.version) {
            throw EExperimentError(where + " was made by " + b.version + ", and \"" + dirs[0] + "\" by " + a.version +
                                   ": shards of one program version only can be merged");
        }
        if (b.hash != a.hash || b.experiment != a.experiment || b.members != a.members || b.group != a.group) {
            throw EExperimentError(where + " belongs to another experiment than \"" + dirs[0] + "\" (" + b.experiment +
                                   ", hash " + Hex(b.hash) + "; and " + a.experiment + ", hash " + Hex(a.hash) + ")");
        }
        if (b.shard.count != a.shard.count) {
            throw EExperimentError(where + " is shard " + Name(b.shard) + ", and \"" + dirs[0] + "\" shard " +
                                   Name(a.shard) + ": the shards of one split only can be merged");
        }
        if (const auto it = byIndex.find(b.shard.index); it != byIndex.end()) {
            throw EExperimentError("shard " + Name(b.shard) + " is given twice: \"" + dirs[it->second] + "\" and \"" +
                                   dirs[i] + "\"");
        }
        byIndex[b.shard.index] = i;
    }
    std::string missing;
    int nMissing = 0;
    for (int k = 1; k <= a.shard.count; ++k) {
        if (byIndex.count(k)) continue;
        const TShard s{k, a.shard.count};
        missing += (missing.empty() ? "" : ", ") + Name(s) + " (" + MemberSpan(ShardRange(a.members, a.group, s)) + ")";
        ++nMissing;
    }
    if (nMissing) {
        throw EExperimentError(std::string(nMissing == 1 ? "shard " : "shards ") + missing + (nMissing == 1 ? " is" : " are") +
                               " missing: give every shard folder of the experiment");
    }
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const TShardInfo& b = infos[i];
        const std::string journal = (fs::path(dirs[i]) / "members.journal").string();
        const std::size_t want = b.range.last - b.range.first;
        std::size_t have = 0;
        TJournalHeader h;
        if (ReadJournalHeader(journal, h)) {
            if (h.hash != b.hash || h.firstMember != b.range.first) {
                throw EExperimentError("the journal of shard " + Name(b.shard) + " in \"" + dirs[i] + "\" does not match its " +
                                       ShardInfoName);
            }
            TJournalReader reader(journal);
            TMemberRecord r;
            while (have < want && reader.Next(r)) ++have;
        }
        if (have < want) {
            throw EExperimentError("shard " + Name(b.shard) + " in \"" + dirs[i] + "\" holds " + std::to_string(have) + " of its " +
                                   std::to_string(want) + " members: run it again with --resume to finish it");
        }
    }
    TExperiment e;
    try {
        e = ReadExperiment(a.experiment, a.overrides);
    } catch (const std::exception& err) {
        throw EExperimentError("the experiment of the shards cannot be read again: " + std::string(err.what()));
    }
    if (e.hash != a.hash) {
        throw EExperimentError("the experiment \"" + a.experiment + "\" or a file it reads has changed since the shards ran");
    }
    return e;
}

}  // namespace orvane::ensemble
