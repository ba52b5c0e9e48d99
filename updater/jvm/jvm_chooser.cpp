#include "updater/jvm/jvm_chooser.h"

#include "updater/download/fetch_runtime_descriptor.h"
#include "updater/jvm/comparable_version.h"
#include "updater/jvm/java_version_probe.h"
#include "updater/jvm/launcher_stop.h"
#include "updater/jvm/local_runtime_probe.h"
#include "updater/jvm/local_utilites.h"
#include "updater/startup/process.h"

#include <set>

namespace vantor {

namespace {

void writeCurrent(const wchar_t* level, const std::wstring& message)
{
    if (currentLog != nullptr) {
        currentLog->write(level, message);
    }
}

// Settles the candidate's JVM type and the path of its jvm.dll.
void becomeType(JVMInfo& jvm, const wchar_t* type)
{
    jvm.m_binJvmDir = type;
    jvm.m_jvmPath = jvm.getJvmDLLPath(type);
}

}  // namespace

std::optional<JVMInfo> JVMChooser::getBestJVM(const std::wstring& programFolder, const std::wstring& probeJarPath,
                                              DiagnosticsLog& log)
{
    try {
        // No custom JVM path and no custom Java home are configured: the
        // first two steps find nothing.
        log.write(L"INFO", L"getJvmFromCustomJvmPath");
        log.write(L"INFO", L"getJvmFromCustomJavaHomePath");
        log.write(L"INFO", L"getAllJVMs");
        m_jvms.clear();
        getAllJVMs(m_jvms, programFolder, log);
        log.write(L"INFO", L"addJVMToAllList");
        log.write(L"INFO", L"removeCopyBinJvmDirs");
        removeCopyBinJvmDirs(m_jvms);
        log.write(L"INFO", L"breakoutBinJvmDirs");
        breakoutBinJvmDirs(m_jvms, probeJarPath, log);
        log.write(L"INFO", L"determineVersions");
        determineVersions(m_jvms);
        log.write(L"INFO", L"removeUnacceptableJVMs");
        removeUnacceptableJVMs(m_jvms);

        if (m_jvms.empty()) {
            throw JvmChoiceError(L"No acceptable JVMs were found.");
        }
        std::vector<std::wstring> rankings;
        rankings.reserve(m_jvms.size());
        for (const JVMInfo& jvm : m_jvms) {
            rankings.push_back(jvm.m_comparableVersion);
        }
        return m_jvms[indexOfBest(rankings)];
    } catch (const LauncherStopped&) {
        throw;
    } catch (const JvmChoiceError& error) {
        log.write(L"ERROR", error.text());
    } catch (...) {
        log.write(L"ERROR", L"Exception in JVMChooser.getBestJVM()");
    }
    return std::nullopt;
}

void JVMChooser::getAllJVMs(std::vector<JVMInfo>& jvms, const std::wstring& programFolder, DiagnosticsLog& log)
{
    runOrStop(L"Exception in JVMChooser.getAllJVMs()", [&] {
        if (!programFolder.empty()) {
            getLocalJvm(jvms, programFolder, log);
        }
    });
}

bool JVMChooser::getLocalJvm(std::vector<JVMInfo>& jvms, const std::wstring& programFolder, DiagnosticsLog& log)
{
    const std::wstring javaHome = localJavaHome(programFolder);
    const std::wstring testPath = clientJvmTestPath(javaHome);
    if (!LocalUtilites::isExistingFile(testPath)) {
        return false;
    }
    log.write(L"INFO", L"Local Java is found, check version...");
    log.write(L"INFO", testPath);

    const JavaVersion version = getJavaVersion(javaHome, log);
    log.write(L"INFO", version.text);

    // The choice does not depend on the descriptor, but its fetch belongs
    // to this step, and so does its failure (a "minVersion" that does not
    // parse).
    RuntimeDescriptor descriptor = defaultRuntimeDescriptor();
    fetchRuntimeDescriptor(descriptor, log);

    log.write(L"INFO", L"Local Java is good, use it");
    JVMInfo local;
    local.m_javaBundle = L"jre";
    local.m_javaHomePath = javaHome;
    local.m_version = version.text;
    jvms.push_back(local);
    return true;
}

bool JVMChooser::probeJavaArch(const std::wstring& javaHome, const std::wstring& probeJarPath, DiagnosticsLog& log)
{
    if (!LocalUtilites::isExistingFile(probeJarPath)) {
        log.write(L"INFO", probeJarPath + L" not found");
        return true;
    }
    std::string jar;
    if (!LocalUtilites::readWholeFile(probeJarPath, jar) || !containsJavaArchEntry(jar)) {
        log.write(L"ERROR", L"JavaArch.class NOT FOUND");
        return true;
    }
    log.write(L"INFO", L"JavaArch.class found");
    const int status = runAndWait(javaArchCommandLine(javaHome, probeJarPath), true, nullptr, nullptr, log);
    return status == kArchTestRejects;
}

void JVMChooser::removeCopyBinJvmDirs(std::vector<JVMInfo>& jvms)
{
    runOrStop(L"Exception in JVMChooser.removeCopyBinJvmDirs()", [&] {
        std::set<std::wstring> kept;
        for (std::size_t i = jvms.size(); i-- > 0;) {
            if (kept.count(jvms[i].m_javaHomePath) != 0) {
                writeCurrent(L"INFO", L"RemoveCopy:" + jvms[i].toString());
                jvms.erase(jvms.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                kept.insert(jvms[i].m_javaHomePath);
            }
        }
    });
}

void JVMChooser::breakoutBinJvmDirs(std::vector<JVMInfo>& jvms, const std::wstring& probeJarPath,
                                    DiagnosticsLog& log)
{
    runOrStop(L"Exception in JVMChooser.breakoutBinJvmDirs()", [&] {
        // Server JVMs split off a candidate, in the order they were made.
        std::vector<JVMInfo> extras;
        for (std::size_t i = jvms.size(); i-- > 0;) {
            JVMInfo& jvm = jvms[i];
            bool rejected = false;
            if (majorVersionOf(jvm.m_version) < kLowestArchTestedMajor) {
                log.write(L"ERROR", jvm.m_version);
                log.write(L"ERROR", L"Java is old");
            } else {
                rejected = probeJavaArch(jvm.m_javaHomePath, probeJarPath, log);
            }
            const bool client = jvm.existsJvmDLL(L"client");
            const bool server = jvm.existsJvmDLL(L"server");
            if (client && server && !rejected) {
                JVMInfo serverJvm = jvm.clone();
                becomeType(serverJvm, L"server");
                extras.push_back(serverJvm);
                becomeType(jvm, L"client");
            } else if (client && !rejected) {
                becomeType(jvm, L"client");
            } else if (server && !rejected) {
                becomeType(jvm, L"server");
            } else {
                writeCurrent(L"INFO", L"Remove:" + jvm.toString());
                jvms.erase(jvms.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        jvms.insert(jvms.end(), extras.begin(), extras.end());
    });
}

void JVMChooser::determineVersions(std::vector<JVMInfo>& jvms)
{
    runOrStop(L"Exception in JVMChooser.determineVersions()", [&] {
        for (JVMInfo& jvm : jvms) {
            jvm.m_comparableVersion = JVMInfo::getComparableVersionUsingRegularVersion(jvm.m_version);
            jvm.adjustComparableVersionForJavaBundle();
            jvm.adjustComparableVersionForBinJvmDir();
        }
    });
}

void JVMChooser::removeUnacceptableJVMs(std::vector<JVMInfo>& jvms)
{
    runOrStop(L"Exception in JVMChooser.removeUnacceptableJVMs()", [&] {
        for (std::size_t i = jvms.size(); i-- > 0;) {
            if (!jvms[i].m_acceptable) {
                writeCurrent(L"INFO", L"Remove2:" + jvms[i].toString());
                jvms.erase(jvms.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    });
}

}  // namespace vantor
