// The elevated server's handling of one message read from the command pipe:
// the bytes of one read (at most 20,480) land in the server's buffer, are
// terminated there and handed to the command factory's acceptance.
//
// Properties: the terminator lands inside the buffer (which has exactly the
// server's size, so any write or read beyond it is reported); an accepted
// command's argument fits its 519-character buffer whole, holds no U+0000,
// and its wire text composes back to the message up to the first U+0000
// after the separator; the "Receive command : " log line, which shows the
// text up to its first zero, never exceeds 255 characters and shows the
// identifier alone for every accepted command.
#include "fuzz/fuzz_support.h"

#include "common/text/bounded_copy.h"
#include "updater/commands/command_wire.h"

#include <cstring>
#include <cwchar>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t read = size < vantor::kReceivedMessageBytes ? size : vantor::kReceivedMessageBytes;
    const std::unique_ptr<wchar_t[]> buffer(new wchar_t[vantor::kReceivedMessageUnits]);
    // What the previous message left in the buffer.
    std::wmemset(buffer.get(), L'x', vantor::kReceivedMessageUnits);
    const std::wstring units = vantor::fuzz::unitsOf(data, read);
    units.copy(buffer.get(), units.size());

    const std::wstring_view message = vantor::terminateReceivedMessage(buffer.get(), read);
    FUZZ_CHECK(message.data() == buffer.get());
    FUZZ_CHECK(message.size() == read / 2);
    FUZZ_CHECK(buffer[message.size()] == L'\0');
    FUZZ_CHECK(message == units);

    const std::wstring logged = vantor::pipeLogLine(L"Receive command : ", message);
    FUZZ_CHECK(logged.size() < vantor::kPipeLogLineCapacity);

    const auto accepted = vantor::acceptReceivedCommand(message);
    if (!accepted) {
        return 0;
    }
    FUZZ_CHECK(vantor::text::fits(accepted->argument.size(), vantor::kCommandArgumentCapacity));
    FUZZ_CHECK(accepted->argument.find(L'\0') == std::wstring_view::npos);
    const std::size_t end = static_cast<std::size_t>(accepted->argument.data() - message.data()) +
                            accepted->argument.size();
    FUZZ_CHECK(end == message.size() || message[end] == L'\0');

    wchar_t argument[vantor::kCommandArgumentCapacity];
    FUZZ_CHECK(vantor::text::copyWhole(argument, vantor::kCommandArgumentCapacity, accepted->argument));
    const std::wstring_view identifier = vantor::commandIdentifier(accepted->kind);
    std::wstring wire(identifier.size() + 1 + std::wcslen(argument) + 1, L'#');
    std::size_t length = 0;
    FUZZ_CHECK(vantor::composeWireText(identifier, argument, wire.data(), wire.size(), length));
    FUZZ_CHECK(std::wstring_view(wire.data(), length) == message.substr(0, end));

    FUZZ_CHECK(logged == L"Receive command : " + std::wstring(identifier));
    return 0;
}
