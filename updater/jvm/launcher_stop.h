// The launcher stop: how the runtime choice ends the program when one of its
// operations fails. The operation's "Exception in <class>.<operation>()"
// line goes to the process-wide log at "INFO", and the process ends with
// exit status 1 without showing anything.
//
// Errors are C++ exceptions inside the runtime choice only. Every operation
// that the log names catches what it raises and turns it into the stop, so
// that nothing escapes to the update flow.
#pragma once

#include <utility>

namespace vantor {

// Raised by a stop handler that must not end the process (the tests install
// one, to watch a stop in-process). Every catch of the runtime choice lets
// it pass, so that only the innermost failing operation logs its line, as
// when the process really ends.
struct LauncherStopped {};

// Called after the line is written. nullptr, the default, ends the process.
using LauncherStopHandler = void (*)();

// Replaces the handler and returns the one before. A handler that returns
// ends the process all the same.
LauncherStopHandler setLauncherStopHandler(LauncherStopHandler handler);

// Writes `line` to currentLog (when set) at "INFO", then ends the process
// with exit status 1 (or calls the installed handler).
[[noreturn]] void launcherStop(const wchar_t* line);

// Runs `operation`; any error it raises becomes the launcher stop with
// `line`. A stop already under way passes through.
template <typename Operation>
decltype(auto) runOrStop(const wchar_t* line, Operation&& operation)
{
    try {
        return std::forward<Operation>(operation)();
    } catch (const LauncherStopped&) {
        throw;
    } catch (...) {
        launcherStop(line);
    }
}

}  // namespace vantor
