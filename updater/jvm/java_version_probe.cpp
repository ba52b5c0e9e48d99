#include "updater/jvm/java_version_probe.h"

#include "common/text/bounded_copy.h"
#include "updater/jvm/local_runtime_probe.h"
#include "updater/startup/process.h"

#include <windows.h>

namespace vantor {

JavaVersion getJavaVersion(const std::wstring& javaHome, DiagnosticsLog& log)
{
    CapturedOutput captured{};
    runAndCapture(javaVersionCommandLine(javaHome), captured, log);

    // At most 255 bytes become at most 255 characters.
    constexpr int kTextCapacity = 255;
    const std::size_t length = text::boundedLength(captured.data(), captured.size() - 1);
    wchar_t converted[kTextCapacity];
    const int units = length == 0 ? 0
                                  : MultiByteToWideChar(CP_ACP, 0, captured.data(), static_cast<int>(length),
                                                        converted, kTextCapacity);
    const std::wstring output(converted, units > 0 ? static_cast<std::size_t>(units) : 0);
    log.write(L"INFO", output);

    return parseVersion(versionTextOfOutput(output));
}

}  // namespace vantor
