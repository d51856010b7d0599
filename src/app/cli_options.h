// Command-line handling shared by the programs without windows.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane::cli {

// A mistake on the command line: the program prints it with its usage, exit 2.
struct TUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

inline bool IsOption(std::string_view arg) { return arg.size() > 2 && arg.substr(0, 2) == "--"; }

// Splits the option at argv[i] into its name and value, given as "--name=value"
// or as "--name value" (then i moves past the value).
inline void OptionValue(int argc, char** argv, int& i, std::string& name, std::string& value) {
    const std::string arg = argv[i];
    const auto eq = arg.find('=');
    if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
    } else if (i + 1 < argc) {
        name = arg;
        value = argv[++i];
    } else {
        throw TUsageError(arg + " needs a value");
    }
}

}  // namespace orvane::cli
