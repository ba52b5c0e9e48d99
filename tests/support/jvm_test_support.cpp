#include "tests/support/jvm_test_support.h"

#include "updater/download/fetch_runtime_descriptor.h"

#include <gtest/gtest.h>

namespace vantor::testing {

namespace {

[[noreturn]] void raiseStopped()
{
    throw LauncherStopped{};
}

}  // namespace

std::string StandInRuntime::javaVersionConfig(const std::string& version)
{
    return "stderr=java version \"" + version + "\"\\nJava(TM) SE Runtime Environment (build " + version +
           "-b12)\\n\nexit=0";
}

void installRuntime(const std::wstring& javaHome, const StandInRuntime& runtime)
{
    createDirectories(javaHome + L"\\bin");
    if (runtime.javaExe) {
        installStandIn(javaHome + L"\\bin\\java.exe", runtime.javaConfig);
    }
    if (runtime.javawExe) {
        installStandIn(javaHome + L"\\bin\\javaw.exe", runtime.javawConfig);
    }
    for (const auto& [wanted, type] : {std::pair{runtime.clientJvm, L"client"}, std::pair{runtime.serverJvm, L"server"}}) {
        if (wanted) {
            createDirectories(javaHome + L"\\bin\\" + type);
            writeFileBytes(javaHome + L"\\bin\\" + type + L"\\jvm.dll", "MZ stand-in JVM");
        }
    }
}

void writeProbeJar(const std::wstring& path, bool withJavaArch)
{
    // A jar stores its entry names uncompressed in the local header and in
    // the central directory.
    const std::string name = withJavaArch ? "ru/kestrel/core/JavaArch.class" : "ru/kestrel/core/Other.class";
    const std::string header("PK\x03\x04\x0A\0\0\0", 8);
    writeFileBytes(path, header + name + "\xCA\xFE\xBA\xBE" + "PK\x01\x02" + name + "PK\x05\x06");
}

WatchedLauncherStop::WatchedLauncherStop(DiagnosticsLog& log) : m_previous(setLauncherStopHandler(&raiseStopped))
{
    currentLog = &log;
}

WatchedLauncherStop::~WatchedLauncherStop()
{
    currentLog = nullptr;
    setLauncherStopHandler(m_previous);
}

RuntimeServer::RuntimeServer(const std::string& document)
{
    EXPECT_TRUE(m_server.running());
    m_server.putFile(L"java2.json", document);
    SetEnvironmentVariableW(kRuntimeServerVariable, m_server.base().c_str());
}

RuntimeServer::~RuntimeServer()
{
    SetEnvironmentVariableW(kRuntimeServerVariable, nullptr);
}

std::size_t RuntimeServer::descriptorRequests() const
{
    std::size_t count = 0;
    for (const std::string& request : m_server.requests()) {
        if (request.find("/java2.json") != std::string::npos) {
            ++count;
        }
    }
    return count;
}

std::string RuntimeServer::goodDescriptor()
{
    return "{\n  \"packedJreEbzUrl\": \"http://127.0.0.1/jre2_packed.ebz\",\n  \"minVersion\": \"1.8.0\"\n}\n";
}

}  // namespace vantor::testing
