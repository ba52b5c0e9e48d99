// The wire text of the privileged commands, from both ends.
//
// From the sender's end the first byte picks the command and the rest is its
// argument (pairs of bytes as UTF-16 units): the wire text composed in the
// sender's 520-character buffer either does not fit, or is recognised as the
// same command with the same argument. From the receiver's end the bytes are
// a wire text: one that is recognised is composed back to exactly itself. A
// copy argument splits into a source without "|" and a destination that
// together with the bar give the argument back.
#include "fuzz/fuzz_support.h"

#include "updater/commands/command_wire.h"

namespace {

using vantor::CommandKind;

constexpr CommandKind kKinds[] = {CommandKind::ExecuteProcess, CommandKind::FirewallAdd,
                                  CommandKind::Copy,           CommandKind::Delete,
                                  CommandKind::CreateFolder,   CommandKind::TestOnWrite};
// The sender's buffer for a wire text.
constexpr std::size_t kSendCapacity = 520;

void checkCopySplit(std::wstring_view argument)
{
    const auto paths = vantor::splitCopyArgument(argument);
    if (argument.find(L'|') == std::wstring_view::npos) {
        FUZZ_CHECK(!paths);
        return;
    }
    FUZZ_CHECK(paths.has_value());
    FUZZ_CHECK(paths->source.find(L'|') == std::wstring_view::npos);
    FUZZ_CHECK(std::wstring(paths->source) + L"|" + std::wstring(paths->destination) == argument);
}

void fromSender(CommandKind kind, std::wstring_view argument)
{
    const std::wstring_view identifier = vantor::commandIdentifier(kind);
    wchar_t buffer[kSendCapacity];
    std::size_t length = 12345;
    if (!vantor::composeWireText(identifier, argument, buffer, kSendCapacity, length)) {
        FUZZ_CHECK(identifier.size() + 1 + argument.size() >= kSendCapacity);
        FUZZ_CHECK(length == 12345);
        return;
    }
    FUZZ_CHECK(length == identifier.size() + 1 + argument.size());
    FUZZ_CHECK(length < kSendCapacity);
    const auto recognised = vantor::recogniseCommand(std::wstring_view(buffer, length));
    FUZZ_CHECK(recognised.has_value());
    FUZZ_CHECK(recognised->kind == kind);
    FUZZ_CHECK(recognised->argument == argument);
}

void fromReceiver(std::wstring_view received)
{
    const vantor::fuzz::ExactText exact(received);
    const auto recognised = vantor::recogniseCommand(exact.view());
    if (!recognised) {
        return;
    }
    const std::wstring_view identifier = vantor::commandIdentifier(recognised->kind);
    FUZZ_CHECK(received.substr(0, identifier.size()) == identifier);
    // Any capacity that holds the text with its terminator.
    std::wstring buffer(received.size() + 1, L'#');
    std::size_t length = 0;
    FUZZ_CHECK(vantor::composeWireText(identifier, recognised->argument, buffer.data(), buffer.size(), length));
    FUZZ_CHECK(std::wstring_view(buffer.data(), length) == received);
    if (recognised->kind == CommandKind::Copy) {
        checkCopySplit(recognised->argument);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const CommandKind kind = kKinds[data[0] % 6];
    const std::wstring argument = vantor::fuzz::unitsOf(data + 1, size - 1);
    fromSender(kind, argument);
    checkCopySplit(argument);

    fromReceiver(vantor::fuzz::unitsOf(data, size));
    return 0;
}
