// The updater's command line, which its invoker writes: the text and its
// elements (the fuzzer's units split at U+0000, as the system's splitting
// would hand them over), the program's own path taken from the first
// element or not.
//
// Properties: the kept text is the given one cut to 16,383 characters; every
// element but a skipped own path is a switch or the value of the switch
// before it, in order; a value never begins with "/"; has() finds every
// switch; the "ARGS:" line is at most 1,023 characters and a prefix of the
// line an unbounded buffer would hold.
#include "fuzz/fuzz_support.h"

#include "updater/app/command_line_args.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool ownPathFirst = (data[0] & 1) != 0;
    const std::wstring text = vantor::fuzz::unitsOf(data + 1, size - 1);
    std::vector<std::wstring> elements;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = text.find(L'\0', start);
        elements.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        start = end == std::wstring::npos ? text.size() + 1 : end + 1;
    }
    const std::wstring ownPath = ownPathFirst ? elements.front() : std::wstring(L"C:\\PROGRA~1\\Vantor\\VANTOR~1.EXE");

    const vantor::CommandLineArgs args(text, elements, ownPath);
    FUZZ_CHECK(args.text() == text.substr(0, vantor::CommandLineArgs::kTextCapacity - 1));

    std::size_t next = !ownPath.empty() && elements.front() == ownPath ? 1 : 0;
    std::wstring unbounded = L"ARGS:";
    for (const auto& pair : args.pairs()) {
        FUZZ_CHECK(next < elements.size() && pair.name == elements[next]);
        ++next;
        unbounded += pair.name + L" ";
        if (pair.value) {
            FUZZ_CHECK(next < elements.size() && *pair.value == elements[next]);
            FUZZ_CHECK(pair.value->empty() || pair.value->front() != L'/');
            ++next;
            unbounded += *pair.value + L" ";
        }
        FUZZ_CHECK(args.has(pair.name));
    }
    FUZZ_CHECK(next == elements.size());

    const std::wstring line = args.argsLine();
    FUZZ_CHECK(line.size() < vantor::CommandLineArgs::kArgsLineCapacity);
    FUZZ_CHECK(unbounded.compare(0, line.size(), line) == 0);
    FUZZ_CHECK(line.size() == std::min(unbounded.size(), vantor::CommandLineArgs::kArgsLineCapacity - 1));
    return 0;
}
