// How the core shows a message to the user without knowing about windows.
// The workbench plugs its dialog service in; the command-line runner prints.
#pragma once

#include <string>

namespace orvane {

enum class TMsgKind { Warning, Error, Information, Confirmation };

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // A message box with an OK button.
    virtual void ShowMessage(TMsgKind kind, const std::string& text) = 0;
};

}  // namespace orvane
