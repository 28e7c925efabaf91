#pragma once

#include <optional>

namespace nubo {

// The state a menu item or toolbar button shows for a command.
struct CommandState {
    bool enabled = true;
    std::optional<bool> checked; // none: the item shows no check mark
};

// Something that handles commands by id: the active view, its document, the main frame and the application are
// asked in that order. A command no target handles is disabled.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    // True when this target handles the command; state then holds its enabling and check mark.
    virtual bool commandState(int id, CommandState& state) const = 0;

    // Runs the command; false when this target does not handle it.
    virtual bool onCommand(int id) = 0;
};

} // namespace nubo
