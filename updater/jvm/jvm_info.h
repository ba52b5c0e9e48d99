// One candidate Java runtime of the chooser: its layout, JVM type, version
// and ranking text, and the paths derived from them.
//
// The operations below that can fail end the program through the launcher
// stop with their own "Exception in JVMInfo.<operation>()" line (see
// launcher_stop.h); none of them raises to its caller.
#pragma once

#include <string>

namespace vantor {

class JVMInfo {
public:
    // "jre": bin\ lies in the Java home; "sdk": the runtime lies in its jre\.
    std::wstring m_javaBundle;
    // "client" or "server"; empty until the chooser's breakout step.
    std::wstring m_binJvmDir;
    // As the runtime reported it, digits and dots ("1.8.0", "11.0.2").
    std::wstring m_version;
    // The ranking text; empty until the chooser computes it.
    std::wstring m_comparableVersion;
    // The jvm.dll of the JVM type; set by the breakout step.
    std::wstring m_jvmPath;
    // The Java home, without a trailing separator.
    std::wstring m_javaHomePath;
    // Cache of getJrePath; empty until first asked.
    std::wstring m_jrePath;
    bool m_acceptable = true;

    // The folder that holds javaw.exe and the client and server folders,
    // ending with a separator: <home>\bin\ for "jre", <home>\jre\bin\ for
    // "sdk". Computed once and cached in m_jrePath, so a later change of the
    // bundle does not change it. Any other bundle stops the program.
    std::wstring getJrePath();

    // getJrePath() + type + "\jvm.dll" for the type "client" or "server";
    // another type stops the program.
    std::wstring getJvmDLLPath(const std::wstring& type);

    // getJrePath() + "javaw.exe".
    std::wstring getJavawPath();

    // True when fileExists holds for the type's jvm.dll and then for
    // javaw.exe (the second is asked only when the first holds).
    bool existsJvmDLL(const std::wstring& type);

    // A new record with the Java home, bundle and version of this one and
    // everything else as in a new record.
    JVMInfo clone() const;

    // One line for the log, keys in this order: m_jvmPath, m_javaBundle,
    // m_binJvmDir, m_comparableVersion, m_javaHomePath, m_version,
    // m_jrePath, m_acceptable ("true"/"false").
    std::wstring toString() const;

    // The comparable version of a version text (see comparable_version.h).
    // A text outside the supported range stops the program.
    static std::wstring getComparableVersionUsingRegularVersion(const std::wstring& version);

    // Put "B<score>." (2 for "jre", 1 for "sdk") and "D<score>." (2 for
    // "client", 1 for "server") in front of m_comparableVersion. Any other
    // bundle or type stops the program.
    void adjustComparableVersionForJavaBundle();
    void adjustComparableVersionForBinJvmDir();
};

}  // namespace vantor
