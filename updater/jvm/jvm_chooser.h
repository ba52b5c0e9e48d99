// The choice of the Java runtime that the updater starts Java programs with.
// The only place it looks is the runtime that the application carries,
// <program folder>\jre. It asks that runtime for its version, fetches the
// runtime descriptor, puts Java 11 and later through the architecture test
// with the JavaArch class of the probe jar, splits the runtime into its
// client and server JVMs, ranks them and picks the best.
#pragma once

#include "updater/jvm/jvm_info.h"
#include "updater/startup/diagnostics_log.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vantor {

class JVMProperties;

// An error of the choice that carries the text to log ("No acceptable JVMs
// were found.").
class JvmChoiceError : public std::runtime_error {
public:
    explicit JvmChoiceError(std::wstring text) : std::runtime_error("JVM choice failed"), m_text(std::move(text)) {}
    const std::wstring& text() const noexcept { return m_text; }

private:
    std::wstring m_text;
};

class JVMChooser {
public:
    explicit JVMChooser(JVMProperties& properties) : m_properties(properties) {}

    // Runs the eight steps, each announced in `log` at "INFO" by its name
    // ("getJvmFromCustomJvmPath", "getJvmFromCustomJavaHomePath",
    // "getAllJVMs", "addJVMToAllList", "removeCopyBinJvmDirs",
    // "breakoutBinJvmDirs", "determineVersions", "removeUnacceptableJVMs"),
    // and returns the first candidate with the greatest ranking text. An
    // empty list logs "No acceptable JVMs were found." at "ERROR"; any other
    // error that reaches it logs "Exception in JVMChooser.getBestJVM()" at
    // "ERROR"; both give none. The steps' own failures end the program
    // through the launcher stop.
    std::optional<JVMInfo> getBestJVM(const std::wstring& programFolder, const std::wstring& probeJarPath,
                                      DiagnosticsLog& log);

    // Fills `jvms` with the local runtime (nothing without a program
    // folder). Any failure, the version query's and the descriptor fetch's
    // included, stops the program with "Exception in
    // JVMChooser.getAllJVMs()".
    void getAllJVMs(std::vector<JVMInfo>& jvms, const std::wstring& programFolder, DiagnosticsLog& log);

    // Adds the runtime in <program folder>\jre when its bin\client\jvm.dll
    // is a file: asks it for its version, fetches the runtime descriptor and
    // appends a "jre" record. True when a candidate was added. Raises what
    // the version query and the fetch raise.
    bool getLocalJvm(std::vector<JVMInfo>& jvms, const std::wstring& programFolder, DiagnosticsLog& log);

    // True when the runtime must be rejected: the jar is missing, does not
    // hold the JavaArch class entry, or the architecture test run with it
    // exits with 32. Any other status, those of a failed start included,
    // keeps the runtime.
    bool probeJavaArch(const std::wstring& javaHome, const std::wstring& probeJarPath, DiagnosticsLog& log);

    // Drops candidates whose Java home occurs again later in the list
    // ("RemoveCopy:" on currentLog); the last one stays.
    void removeCopyBinJvmDirs(std::vector<JVMInfo>& jvms);

    // From the last candidate to the first: Java 11 and later takes the
    // architecture test (older ones log their version and "Java is old" at
    // "ERROR"); a candidate that is not rejected becomes "client" when its
    // client JVM exists (and its server JVM, when that exists too, becomes a
    // clone of type "server" appended after the walk), else "server" when
    // that exists; any other is removed ("Remove:" on currentLog).
    void breakoutBinJvmDirs(std::vector<JVMInfo>& jvms, const std::wstring& probeJarPath, DiagnosticsLog& log);

    // Gives every candidate its ranking text.
    void determineVersions(std::vector<JVMInfo>& jvms);

    // Drops candidates that are not acceptable ("Remove2:" on currentLog).
    void removeUnacceptableJVMs(std::vector<JVMInfo>& jvms);

private:
    JVMProperties& m_properties;
    // The candidates while getBestJVM runs.
    std::vector<JVMInfo> m_jvms;
};

}  // namespace vantor
