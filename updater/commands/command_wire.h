// The wire text of a privileged command and its recognition on the server.
// Pure: no Windows calls.
//
// A wire text is UTF-16: the command's identifier, one U+0000, then the
// argument, with no terminator after the argument. Identifiers are matched
// exactly, letter case included, and must be followed by the separator.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantor {

// Capacity of a command's argument buffer: at most 519 characters.
constexpr std::size_t kCommandArgumentCapacity = 520;

// The six commands, in the order in which received identifiers are compared.
enum class CommandKind {
    ExecuteProcess,
    FirewallAdd,
    Copy,
    Delete,
    CreateFolder,
    TestOnWrite,
};

// The wire identifier of a command kind ("COPY_COMMAND", ...).
const wchar_t* commandIdentifier(CommandKind kind) noexcept;

struct RecognisedCommand {
    CommandKind kind;
    std::wstring_view argument;  // a view into the received text
};

// Recognises a received wire text of `units` UTF-16 units. The separator must
// lie within those units: a text without U+0000 names no command, however it
// happens to be terminated in the receiver's buffer. None for an unknown
// identifier.
std::optional<RecognisedCommand> recogniseCommand(std::wstring_view received) noexcept;

// The server's acceptance of a received wire text: a recognised command whose
// argument, taken up to its first U+0000, fits the 519-character argument
// buffer. A client may send its text's terminator, and more after it: what
// follows the first U+0000 after the separator is not part of the argument
// (a command keeps its argument as a zero-terminated text). None for every
// text that recogniseCommand refuses as well.
std::optional<RecognisedCommand> acceptReceivedCommand(std::wstring_view received) noexcept;

// A received message as the server holds it: one read of at most 20,480
// bytes into a buffer of 10,241 UTF-16 units, one more than the read can
// fill, so that the text can be terminated behind what was read.
// Counted in bytes of UTF-16 units: two each, whatever size wchar_t has where
// the pure code is built.
constexpr std::size_t kWireUnitBytes = 2;
constexpr std::size_t kReceivedMessageBytes = 20480;
constexpr std::size_t kReceivedMessageUnits = kReceivedMessageBytes / kWireUnitBytes + 1;

// Terminates the message of `bytesRead` bytes held in `buffer` (of
// kReceivedMessageUnits units) and returns its whole units; an odd last byte
// is not part of the text. A count beyond kReceivedMessageBytes is taken as
// kReceivedMessageBytes, so the terminator always lands inside the buffer.
std::wstring_view terminateReceivedMessage(wchar_t* buffer, std::size_t bytesRead) noexcept;

// Writes the wire text of (identifier, argument) into `buffer` of `capacity`
// characters and stores its length in characters. The text must fit with one
// character to spare; otherwise nothing is written, `length` is untouched and
// the result is false.
bool composeWireText(std::wstring_view identifier, std::wstring_view argument, wchar_t* buffer, std::size_t capacity,
                     std::size_t& length) noexcept;

// A line of the pipe's log: `prefix` followed by `text` up to its first
// U+0000, composed in kPipeLogLineCapacity characters as the pipe's both ends
// compose their lines: at most 255 characters, a longer line is cut.
constexpr std::size_t kPipeLogLineCapacity = 256;
std::wstring pipeLogLine(std::wstring_view prefix, std::wstring_view text);

// Source and destination of a copy argument "<source>|<destination>", split
// at the first "|". None when there is no "|".
struct CopyPaths {
    std::wstring_view source;
    std::wstring_view destination;
};
std::optional<CopyPaths> splitCopyArgument(std::wstring_view argument) noexcept;

}  // namespace vantor
