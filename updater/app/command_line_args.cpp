#include "updater/app/command_line_args.h"

#include "common/text/bounded_copy.h"
#include "common/text/command_line_text.h"

namespace vantor {

CommandLineArgs::CommandLineArgs(std::wstring_view text, const std::vector<std::wstring>& elements,
                                 std::wstring_view ownPath)
    : m_text(text::cut(text, kTextCapacity)), m_elements(elements)
{
    std::size_t i = 0;
    if (!elements.empty() && !ownPath.empty() && elements.front() == ownPath) {
        i = 1;
    }
    while (i < elements.size()) {
        Pair pair{elements[i], std::nullopt};
        ++i;
        if (i < elements.size() && (elements[i].empty() || elements[i].front() != L'/')) {
            pair.value = elements[i];
            ++i;
        }
        m_pairs.push_back(std::move(pair));
    }
}

bool CommandLineArgs::has(std::wstring_view name) const
{
    for (const Pair& pair : m_pairs) {
        if (pair.name == name) {
            return true;
        }
    }
    return false;
}

std::wstring CommandLineArgs::forwardedText() const
{
    std::wstring forwarded;
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        if (i > 0) {
            forwarded += L' ';
        }
        forwarded += i == 0 ? text::firstCommandLineArgument(m_elements[i]) : text::commandLineArgument(m_elements[i]);
    }
    return forwarded;
}

std::wstring CommandLineArgs::argsLine() const
{
    std::wstring line = L"ARGS:";
    for (const Pair& pair : m_pairs) {
        line += pair.name;
        line += L' ';
        if (pair.value) {
            line += *pair.value;
            line += L' ';
        }
        if (line.size() >= kArgsLineCapacity) {
            break;
        }
    }
    return text::cut(std::wstring_view(line), kArgsLineCapacity);
}

}  // namespace vantor
