#include "updater/commands/command_wire.h"

#include "common/text/bounded_copy.h"

namespace vantor {

const wchar_t* commandIdentifier(CommandKind kind) noexcept
{
    switch (kind) {
    case CommandKind::ExecuteProcess: return L"ExecuteProcessCommand";
    case CommandKind::FirewallAdd: return L"FIREWALL_ADD_COMMAND";
    case CommandKind::Copy: return L"COPY_COMMAND";
    case CommandKind::Delete: return L"DELETE_COMMAND";
    case CommandKind::CreateFolder: return L"CRT_FLD_CMD";
    case CommandKind::TestOnWrite: return L"TEST_ON_WRITE_COMMAND";
    }
    return L"";
}

std::optional<RecognisedCommand> recogniseCommand(std::wstring_view received) noexcept
{
    const std::size_t separator = received.find(L'\0');
    if (separator == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::wstring_view identifier = received.substr(0, separator);
    static constexpr CommandKind kOrder[] = {CommandKind::ExecuteProcess, CommandKind::FirewallAdd,
                                             CommandKind::Copy,           CommandKind::Delete,
                                             CommandKind::CreateFolder,   CommandKind::TestOnWrite};
    for (CommandKind kind : kOrder) {
        if (identifier == commandIdentifier(kind)) {
            return RecognisedCommand{kind, received.substr(separator + 1)};
        }
    }
    return std::nullopt;
}

std::optional<RecognisedCommand> acceptReceivedCommand(std::wstring_view received) noexcept
{
    std::optional<RecognisedCommand> recognised = recogniseCommand(received);
    if (!recognised) {
        return std::nullopt;
    }
    recognised->argument = recognised->argument.substr(0, recognised->argument.find(L'\0'));
    if (!text::fits(recognised->argument.size(), kCommandArgumentCapacity)) {
        return std::nullopt;
    }
    return recognised;
}

std::wstring_view terminateReceivedMessage(wchar_t* buffer, std::size_t bytesRead) noexcept
{
    const std::size_t bytes = bytesRead < kReceivedMessageBytes ? bytesRead : kReceivedMessageBytes;
    const std::size_t units = bytes / kWireUnitBytes;
    buffer[units] = L'\0';
    return std::wstring_view(buffer, units);
}

bool composeWireText(std::wstring_view identifier, std::wstring_view argument, wchar_t* buffer, std::size_t capacity,
                     std::size_t& length) noexcept
{
    const std::size_t total = identifier.size() + 1 + argument.size();
    if (buffer == nullptr || total < argument.size() || !text::fits(total, capacity)) {
        return false;
    }
    identifier.copy(buffer, identifier.size());
    buffer[identifier.size()] = L'\0';
    argument.copy(buffer + identifier.size() + 1, argument.size());
    buffer[total] = L'\0';
    length = total;
    return true;
}

std::wstring pipeLogLine(std::wstring_view prefix, std::wstring_view text)
{
    std::wstring line(prefix);
    line += text.substr(0, text.find(L'\0'));
    return text::cut(std::wstring_view(line), kPipeLogLineCapacity);
}

std::optional<CopyPaths> splitCopyArgument(std::wstring_view argument) noexcept
{
    const std::size_t bar = argument.find(L'|');
    if (bar == std::wstring_view::npos) {
        return std::nullopt;
    }
    return CopyPaths{argument.substr(0, bar), argument.substr(bar + 1)};
}

}  // namespace vantor
