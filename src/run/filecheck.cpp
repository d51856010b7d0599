#include "run/filecheck.h"

#include <filesystem>
#include <system_error>

#include "model/errors.h"

namespace orvane {

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    namespace fs = std::filesystem;
    std::error_code ec;
    // Device and inode: catches hard links and links of any depth.
    if (fs::equivalent(a, b, ec) && !ec) return true;
    // A file that does not exist yet has no identity; its resolved path still does.
    const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
    if (ec) return false;
    const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !ec && pa == pb;
}

std::string OutputFileClash(const std::string& output, const std::string& paramFile,
                            const std::string& driverFile) {
    const bool isParam = SameFile(output, paramFile);
    if (!isParam && !SameFile(output, driverFile)) return {};
    const std::string& input = isParam ? paramFile : driverFile;
    std::string text = "The output file \"" + output + "\" is the " +
                       (isParam ? "parameter" : "driver") + " file";
    if (input != output) text += " \"" + input + "\"";
    text += ": a run would overwrite it with model output. Choose another output file.";
    return text;
}

void CheckRunFiles(const TGlobals& g) {
    const std::string clash = OutputFileClash(g.OutputFileName, g.ParamFileName, g.DriverFileName);
    if (!clash.empty()) throw ERunTimeError(clash);
}

}  // namespace orvane
