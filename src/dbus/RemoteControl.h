#pragma once

#include <optional>
#include <span>
#include <string>

namespace tarnwick {

// The running instance driven from another process through its D-Bus
// object: `tarnwick --run ID|NAME`, `--toggle` and `--settings`, meant for
// the desktop's own shortcut settings and for scripts. Opens no window and
// no X connection, and never starts an instance.
class RemoteControl {
public:
    struct Request {
        enum class Kind { run, toggle, settings };
        Kind kind;
        // run: the binding's id or name, as given.
        std::string binding;
    };

    RemoteControl() = delete;

    // The first request among the arguments after the program path; nothing
    // when there is none.
    static std::optional<Request> requested(std::span<const char* const> arguments);

    // Sends request; what went wrong goes to stderr. The exit status: 0 when
    // it was done, 1 otherwise (none running, unknown binding, ...).
    static int send(const Request& request, int argc, char* argv[]);

    // For a second start, whose QCoreApplication exists: asks the instance
    // to show its settings window. Why it could not, if so.
    static std::optional<std::string> showSettings();
};

} // namespace tarnwick
