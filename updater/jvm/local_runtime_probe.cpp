#include "updater/jvm/local_runtime_probe.h"

#include "common/text/command_line_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

namespace vantor {

namespace {

std::wstring fitted(std::wstring text, std::size_t buffer, const char* what)
{
    if (text.size() >= buffer) {
        throw RuntimeProbeError(what);
    }
    return text;
}

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

std::wstring localJavaHome(std::wstring_view programFolder)
{
    return fitted(std::wstring(programFolder) + L"\\jre", kRuntimePathBuffer, "Java home does not fit");
}

std::wstring clientJvmTestPath(std::wstring_view javaHome)
{
    return fitted(std::wstring(javaHome) + L"\\bin\\client\\jvm.dll", kRuntimePathBuffer,
                  "client JVM path does not fit");
}

std::wstring javaVersionCommandLine(std::wstring_view javaHome)
{
    return text::quoteArgument(std::wstring(javaHome) + L"\\bin\\java.exe") + L" -version";
}

std::wstring javaArchCommandLine(std::wstring_view javaHome, std::wstring_view jarPath)
{
    return fitted(text::quoteArgument(std::wstring(javaHome) + L"\\bin\\javaw.exe") + L" -classpath " +
                      text::quoteArgument(jarPath) + L" ru.kestrel.core.JavaArch",
                  kArchTestCommandBuffer, "architecture test command line does not fit");
}

// The first `version "` that is followed by digits and dots, and the whole
// run of them. (A scan rather than std::regex: the library's matcher recurses
// once per character and a runtime printing a long enough run of digits
// would overflow the stack.)
std::wstring versionTextOfOutput(const std::wstring& output)
{
    static constexpr std::wstring_view kLead = L"version \"";
    const auto isVersionChar = [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'.'; };
    for (std::size_t at = output.find(kLead); at != std::wstring::npos; at = output.find(kLead, at + 1)) {
        const std::size_t first = at + kLead.size();
        std::size_t end = first;
        while (end < output.size() && isVersionChar(output[end])) {
            ++end;
        }
        if (end > first) {
            return output.substr(first, end - first);
        }
    }
    return {};
}

int majorVersionOf(std::wstring_view version)
{
    const std::wstring_view head = version.substr(0, version.find(L'.'));
    std::size_t at = 0;
    while (at < head.size() && isBlank(head[at])) {
        ++at;
    }
    bool negative = false;
    if (at < head.size() && (head[at] == L'+' || head[at] == L'-')) {
        negative = head[at] == L'-';
        ++at;
    }
    // The magnitude is gathered up to one past the 32-bit range, so that
    // -2147483648 still fits and anything beyond is refused.
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    for (; at < head.size() && head[at] >= L'0' && head[at] <= L'9'; ++at, ++digits) {
        magnitude = magnitude * 10 + (head[at] - L'0');
        if (magnitude > kLimit) {
            throw RuntimeProbeError("major version out of range");
        }
    }
    if (digits == 0) {
        throw RuntimeProbeError("version text without a major version");
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        throw RuntimeProbeError("major version out of range");
    }
    return static_cast<int>(value);
}

bool containsJavaArchEntry(std::string_view jarBytes)
{
    return std::search(jarBytes.begin(), jarBytes.end(), kJavaArchEntry.begin(), kJavaArchEntry.end()) !=
           jarBytes.end();
}

}  // namespace vantor
