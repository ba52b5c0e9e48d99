// Test support for the runtime choice: a stand-in Java runtime folder, probe
// jars, a loopback runtime download server, and launcher stops watched
// in-process.
#pragma once

#include "tests/support/download_test_support.h"
#include "updater/jvm/launcher_stop.h"

#include <string>

namespace vantor::testing {

// What a stand-in runtime folder holds. java.exe and javaw.exe are copies of
// the stand-in program, configured by these texts (see stand_in.cpp).
struct StandInRuntime {
    std::string javaConfig = javaVersionConfig("1.8.0_151");
    std::string javawConfig = "exit=0";
    bool javaExe = true;
    bool javawExe = true;
    bool clientJvm = true;
    bool serverJvm = false;

    // A java.exe that answers like a real runtime: the version line on
    // standard error, then exit status 0.
    static std::string javaVersionConfig(const std::string& version);
};

// Makes `javaHome` (bin\java.exe, bin\javaw.exe, bin\client\jvm.dll,
// bin\server\jvm.dll as asked).
void installRuntime(const std::wstring& javaHome, const StandInRuntime& runtime);

// A jar-like file whose headers name the JavaArch class (or another class).
void writeProbeJar(const std::wstring& path, bool withJavaArch);

// While it lives, a launcher stop raises LauncherStopped in this process
// instead of ending it, and currentLog is the given log.
class WatchedLauncherStop {
public:
    explicit WatchedLauncherStop(DiagnosticsLog& log);
    ~WatchedLauncherStop();
    WatchedLauncherStop(const WatchedLauncherStop&) = delete;
    WatchedLauncherStop& operator=(const WatchedLauncherStop&) = delete;

private:
    LauncherStopHandler m_previous;
};

// A loopback runtime download server that the process's runtime choice uses
// (VANTOR_RUNTIME_SERVER) while the object lives. It serves `document` as
// java2.json.
class RuntimeServer {
public:
    explicit RuntimeServer(const std::string& document = goodDescriptor());
    ~RuntimeServer();
    RuntimeServer(const RuntimeServer&) = delete;
    RuntimeServer& operator=(const RuntimeServer&) = delete;

    LoopbackServer& server() { return m_server; }
    // Requests for java2.json so far.
    std::size_t descriptorRequests() const;

    static std::string goodDescriptor();

private:
    LoopbackServer m_server;
};

}  // namespace vantor::testing
