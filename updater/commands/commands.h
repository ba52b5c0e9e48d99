// The privileged commands that the elevated copy performs for its client,
// and the factory that turns a received wire text back into a command.
#pragma once

#include "updater/commands/command_wire.h"
#include "updater/startup/diagnostics_log.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vantor {

// A command with a fixed identifier. execute never raises an error: failures
// are reported through the result text and the log.
class Command {
public:
    virtual ~Command() = default;

    // The wire identifier.
    virtual const wchar_t* name() const = 0;

    // Performs the command and writes its result text into `result`, a buffer
    // of `capacity` characters. The caller puts "0" there first; commands that
    // report only failures leave it alone on success.
    virtual void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) = 0;

    // Writes the wire text (identifier, U+0000, argument) into `buffer` of
    // `capacity` characters and its length in characters into `length`. False,
    // with nothing written, when the text does not fit with one character to
    // spare, or when the command holds no argument because its argument was
    // refused.
    virtual bool serialize(wchar_t* buffer, std::size_t capacity, std::size_t& length) const = 0;

    // Appends "<identifier>:<argument>" to `text`.
    virtual void describe(std::wstring& text) const = 0;
};

// A command with one text argument of at most 519 characters. A longer
// argument is refused, not cut (a cut path or command line would name
// something else): the command then holds no argument, cannot be sent, and
// executes nothing but answers ERROR_FILENAME_EXCED_RANGE.
class CommandWithOneArg : public Command {
public:
    explicit CommandWithOneArg(std::wstring_view argument);

    bool serialize(wchar_t* buffer, std::size_t capacity, std::size_t& length) const override;
    void describe(std::wstring& text) const override;

    const wchar_t* argument() const { return m_argument; }
    bool argumentAccepted() const { return m_accepted; }

protected:
    // For execute: when the argument was refused, writes the refusal result,
    // logs it and returns true.
    bool refuseOverLongArgument(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) const;

private:
    wchar_t m_argument[kCommandArgumentCapacity] = {};
    bool m_accepted = false;
};

// Runs a command line with the server's rights and waits for its end; the
// result is the exit status in decimal.
class ExecuteProcessCommand : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

// Adds a program (full path) to the firewall's authorised applications of the
// current profile; the result is the COM result code in signed decimal.
class FirewallAdd : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

// "<source>|<destination folder>": creates the folder and copies the source
// into it under the source's own (long) name, replacing what is there.
class CopyCommand : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

// Deletes a file or folder permanently (not to the recycle bin).
class DeleteCommand : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

// Creates a folder with its missing parents unless it exists.
class CreateFolderCommand : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

// Probes whether a file can be created in a folder: "0" when it can, "1"
// when it cannot.
class TestOnWriteCommand : public CommandWithOneArg {
public:
    using CommandWithOneArg::CommandWithOneArg;
    const wchar_t* name() const override;
    void execute(wchar_t* result, std::size_t capacity, DiagnosticsLog& log) override;
};

class CommandFactory {
public:
    explicit CommandFactory(DiagnosticsLog* log) : m_log(log) {}
    virtual ~CommandFactory() = default;

    // A new command for the received wire text `text` of `byteLength` bytes
    // (the receiver terminates it after those bytes), or none: for an unknown
    // identifier, for a text without the U+0000 separator, and for an
    // argument over 519 characters. The argument ends at its first U+0000;
    // what follows is ignored.
    virtual std::unique_ptr<Command> create(const wchar_t* text, std::size_t byteLength) const;

    DiagnosticsLog* log() const { return m_log; }

private:
    DiagnosticsLog* m_log;
};

}  // namespace vantor
