// The elevated server's handling of one message read from the command pipe:
// the bytes of one read (at most 20,480) land in the server's buffer, are
// terminated there and handed to the command factory's acceptance.
//
// Properties: the terminator lands inside the buffer (which has exactly the
// server's size, so any write or read beyond it is reported); an accepted
// command's argument fits its 519-character buffer whole, holds no U+0000,
// and its wire text composes back to the message; the "Receive command : "
// log line, which shows the text up to its first zero, shows the identifier
// alone for every accepted command.
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

    const auto accepted = vantor::acceptReceivedCommand(message);
    if (!accepted) {
        return 0;
    }
    FUZZ_CHECK(vantor::text::fits(accepted->argument.size(), vantor::kCommandArgumentCapacity));
    FUZZ_CHECK(accepted->argument.find(L'\0') == std::wstring_view::npos);
    FUZZ_CHECK(accepted->argument.data() + accepted->argument.size() == message.data() + message.size());

    wchar_t argument[vantor::kCommandArgumentCapacity];
    FUZZ_CHECK(vantor::text::copyWhole(argument, vantor::kCommandArgumentCapacity, accepted->argument));
    const std::wstring_view identifier = vantor::commandIdentifier(accepted->kind);
    std::wstring wire(identifier.size() + 1 + std::wcslen(argument) + 1, L'#');
    std::size_t length = 0;
    FUZZ_CHECK(vantor::composeWireText(identifier, argument, wire.data(), wire.size(), length));
    FUZZ_CHECK(std::wstring_view(wire.data(), length) == message);

    const std::wstring logged = std::wstring(L"Receive command : ") + buffer.get();
    FUZZ_CHECK(logged == L"Receive command : " + std::wstring(identifier));
    return 0;
}
