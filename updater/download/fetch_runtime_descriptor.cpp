#include "updater/download/fetch_runtime_descriptor.h"

#include "updater/download/file_downloader.h"
#include "updater/startup/diagnostics_log.h"

#include <windows.h>

namespace vantor {

std::wstring configuredRuntimeServer()
{
    // An environment value is at most 32,767 characters.
    constexpr DWORD kCapacity = 32768;
    std::wstring value(kCapacity, L'\0');
    const DWORD length = GetEnvironmentVariableW(kRuntimeServerVariable, value.data(), kCapacity);
    if (length == 0 || length >= kCapacity) {
        return runtimeServerBase(nullptr);
    }
    value.resize(length);
    return runtimeServerBase(value.c_str());
}

RuntimeDescriptor defaultRuntimeDescriptor()
{
    return initialRuntimeDescriptor(configuredRuntimeServer());
}

void fetchRuntimeDescriptor(RuntimeDescriptor& descriptor, DiagnosticsLog& log)
{
    // Only the version parse's error may reach the caller; anything else
    // (running out of memory) leaves the descriptor as far as it got.
    std::wstring document;
    try {
        document = download::downloadToMemory(L"JAVA_PARAMS", runtimeDescriptorUrl(configuredRuntimeServer()), log);
        applyRuntimeDescriptor(descriptor, document);
    } catch (const VersionParseError&) {
        throw;
    } catch (...) {
    }
}

}  // namespace vantor
