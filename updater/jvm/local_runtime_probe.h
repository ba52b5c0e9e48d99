// The texts and checks of the probes that the chooser runs against the local
// Java runtime: its paths, the version query's command line and output, the
// major version, and the architecture test's jar and command line. Pure: no
// Windows calls (the probes themselves are in java_version_probe.h and
// jvm_chooser.h).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantor {

// The Java home and the client-DLL test path are formed in buffers of 260
// characters, the architecture test's command line in 5,120.
inline constexpr std::size_t kRuntimePathBuffer = 260;
inline constexpr std::size_t kArchTestCommandBuffer = 5120;

// Runtimes of this major version or later must pass the architecture test.
inline constexpr int kLowestArchTestedMajor = 11;
// The architecture test's exit status that rejects the runtime.
inline constexpr int kArchTestRejects = 32;

// The class entry that the probe jar must hold. A jar keeps its entry names
// uncompressed in its directory, so the name is searched as plain bytes.
inline constexpr std::string_view kJavaArchEntry = "ru/kestrel/core/JavaArch.class";

// Raised when a probe's text does not fit its buffer, or a version text has
// no major version.
class RuntimeProbeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// <program folder>\jre. Raises RuntimeProbeError when it does not fit 259
// characters.
std::wstring localJavaHome(std::wstring_view programFolder);

// <Java home>\bin\client\jvm.dll, whose presence makes the local runtime a
// candidate. Raises RuntimeProbeError when it does not fit 259 characters.
std::wstring clientJvmTestPath(std::wstring_view javaHome);

// "<Java home>\bin\java.exe" -version
std::wstring javaVersionCommandLine(std::wstring_view javaHome);

// "<Java home>\bin\javaw.exe" -classpath "<jar>" ru.kestrel.core.JavaArch.
// Raises RuntimeProbeError when it does not fit 5,119 characters.
std::wstring javaArchCommandLine(std::wstring_view javaHome, std::wstring_view jarPath);

// Group 1 of the first match of `version "([0-9.]+)` in the output of a
// version query, or empty when nothing matches. Output that begins with
// java version "1.8.0_151" gives "1.8.0".
std::wstring versionTextOfOutput(const std::wstring& output);

// The major version: the characters of `version` before its first "." (all
// of it without one), read like a standard text-to-integer conversion:
// leading blanks and a sign are allowed and reading stops at the first
// non-digit. Raises RuntimeProbeError when there are no digits or the value
// does not fit 32 bits.
int majorVersionOf(std::wstring_view version);

// True when the jar's bytes hold the JavaArch class entry.
bool containsJavaArchEntry(std::string_view jarBytes);

}  // namespace vantor
