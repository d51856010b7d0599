#include "model/globals.h"

#include <cstdio>

namespace orvane {

void ShowMessage(TGlobals& g, TMsgKind kind, const std::string& text) {
    if (g.Messages) {
        g.Messages->ShowMessage(kind, text);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

}  // namespace orvane
