#include "updater/jvm/jvm_info.h"

#include "updater/jvm/comparable_version.h"
#include "updater/jvm/launcher_stop.h"
#include "updater/jvm/local_utilites.h"

#include <stdexcept>

namespace vantor {

std::wstring JVMInfo::getJrePath()
{
    return runOrStop(L"Exception in JVMInfo.getJrePath()", [this] {
        if (m_jrePath.empty()) {
            if (m_javaBundle == L"jre") {
                m_jrePath = m_javaHomePath + L"\\bin\\";
            } else if (m_javaBundle == L"sdk") {
                m_jrePath = m_javaHomePath + L"\\jre\\bin\\";
            } else {
                throw std::invalid_argument("unknown Java bundle");
            }
        }
        return m_jrePath;
    });
}

std::wstring JVMInfo::getJvmDLLPath(const std::wstring& type)
{
    return runOrStop(L"Exception in JVMInfo.getJvmDLLPath()", [this, &type] {
        if (type != L"client" && type != L"server") {
            throw std::invalid_argument("unknown JVM type");
        }
        return getJrePath() + type + L"\\jvm.dll";
    });
}

std::wstring JVMInfo::getJavawPath()
{
    return getJrePath() + L"javaw.exe";
}

bool JVMInfo::existsJvmDLL(const std::wstring& type)
{
    return runOrStop(L"Exception in JVMInfo.existsJvmDLL()", [this, &type] {
        return LocalUtilites::fileExists(getJvmDLLPath(type)) && LocalUtilites::fileExists(getJavawPath());
    });
}

JVMInfo JVMInfo::clone() const
{
    return runOrStop(L"Exception in JVMInfo.clone()", [this] {
        JVMInfo copy;
        copy.m_javaHomePath = m_javaHomePath;
        copy.m_javaBundle = m_javaBundle;
        copy.m_version = m_version;
        return copy;
    });
}

std::wstring JVMInfo::toString() const
{
    return L"m_jvmPath=" + m_jvmPath + L",m_javaBundle=" + m_javaBundle + L",m_binJvmDir=" + m_binJvmDir +
           L",m_comparableVersion=" + m_comparableVersion + L",m_javaHomePath=" + m_javaHomePath +
           L",m_version=" + m_version + L",m_jrePath=" + m_jrePath +
           L",m_acceptable=" + (m_acceptable ? L"true" : L"false");
}

std::wstring JVMInfo::getComparableVersionUsingRegularVersion(const std::wstring& version)
{
    return runOrStop(L"Exception in JVMInfo.getComparableVersionUsingRegularVersion()",
                     [&version] { return comparableVersion(version); });
}

void JVMInfo::adjustComparableVersionForJavaBundle()
{
    runOrStop(L"Exception in JVMInfo.adjustComparableVersionForJavaBundle()", [this] {
        m_comparableVersion = withScorePrefix(L'B', javaBundleScore(m_javaBundle), m_comparableVersion);
    });
}

void JVMInfo::adjustComparableVersionForBinJvmDir()
{
    runOrStop(L"Exception in JVMInfo.adjustComparableVersionForBinJvmDir()", [this] {
        m_comparableVersion = withScorePrefix(L'D', binJvmDirScore(m_binJvmDir), m_comparableVersion);
    });
}

}  // namespace vantor
