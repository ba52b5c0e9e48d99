// The runtime record under Wine: its paths against real folders, its
// failures through the launcher stop (watched in-process), and the version
// query against stand-in runtimes.
#include "tests/support/jvm_test_support.h"
#include "updater/jvm/java_version_probe.h"
#include "updater/jvm/jvm_info.h"
#include "updater/jvm/local_utilites.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantor {
namespace {

using namespace vantor::testing;

class JVMInfoTest : public ::testing::Test {
protected:
    JVMInfoTest() : m_stop(m_log.log()) {}

    static JVMInfo runtime(const std::wstring& home, const wchar_t* bundle = L"jre", const wchar_t* version = L"1.8.0")
    {
        JVMInfo info;
        info.m_javaHomePath = home;
        info.m_javaBundle = bundle;
        info.m_version = version;
        return info;
    }
    std::vector<std::string> messages() const { return m_log.messages(); }

    TestLog m_log;
    WatchedLauncherStop m_stop;
    TempDir m_root;
};

TEST_F(JVMInfoTest, PathsOfBothLayoutsAndTheCachedJrePath)
{
    JVMInfo jre = runtime(L"C:\\PROGRA~1\\APP\\jre");
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre\\bin\\client\\jvm.dll", jre.getJvmDLLPath(L"client"));
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre\\bin\\server\\jvm.dll", jre.getJvmDLLPath(L"server"));
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre\\bin\\javaw.exe", jre.getJavawPath());
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre\\bin\\", jre.m_jrePath);

    JVMInfo sdk = runtime(L"C:\\JDK", L"sdk");
    EXPECT_EQ(L"C:\\JDK\\jre\\bin\\", sdk.getJrePath());
    // Once computed, the path stays, whatever the bundle becomes.
    sdk.m_javaBundle = L"jre";
    EXPECT_EQ(L"C:\\JDK\\jre\\bin\\", sdk.getJrePath());
    sdk.m_javaBundle = L"other";
    EXPECT_EQ(L"C:\\JDK\\jre\\bin\\javaw.exe", sdk.getJavawPath());
    EXPECT_TRUE(messages().empty());
}

TEST_F(JVMInfoTest, UnknownBundleOrTypeStopsWithTheInnermostLine)
{
    JVMInfo info = runtime(L"C:\\APP\\jre", L"jdk");
    EXPECT_THROW(info.getJrePath(), LauncherStopped);
    ASSERT_EQ(1u, m_log.lines().size());
    EXPECT_NE(std::string::npos, m_log.lines()[0].find("INFO : [DEF] : Exception in JVMInfo.getJrePath()"));

    // The path of a JVM fails in getJrePath: only that line is written.
    EXPECT_THROW(info.getJvmDLLPath(L"client"), LauncherStopped);
    EXPECT_EQ(std::vector<std::string>(2, "Exception in JVMInfo.getJrePath()"), messages());

    JVMInfo good = runtime(L"C:\\APP\\jre");
    EXPECT_THROW(good.getJvmDLLPath(L"minimal"), LauncherStopped);
    EXPECT_EQ("Exception in JVMInfo.getJvmDLLPath()", messages().back());
    EXPECT_THROW(good.existsJvmDLL(L""), LauncherStopped);
    EXPECT_EQ("Exception in JVMInfo.getJvmDLLPath()", messages().back());
    EXPECT_EQ(4u, messages().size());
}

TEST_F(JVMInfoTest, ExistsJvmDllNeedsTheDllAndJavaw)
{
    const std::wstring home = m_root / L"jre";
    StandInRuntime files;
    files.serverJvm = true;
    installRuntime(home, files);
    JVMInfo info = runtime(home);
    EXPECT_TRUE(info.existsJvmDLL(L"client"));
    EXPECT_TRUE(info.existsJvmDLL(L"server"));
    DeleteFileW((home + L"\\bin\\javaw.exe").c_str());
    EXPECT_FALSE(info.existsJvmDLL(L"server"));

    // javaw.exe without the DLL.
    JVMInfo other = runtime(m_root / L"other");
    installRuntime(other.m_javaHomePath, StandInRuntime{"exit=0", "exit=0", true, true, false, false});
    EXPECT_FALSE(other.existsJvmDLL(L"client"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(JVMInfoTest, FileExistsFindsFilesFoldersAndWildcards)
{
    createDirectories(m_root / L"bin\\server\\jvm.dll");
    writeFileBytes(m_root / L"bin\\javaw.exe", "");
    EXPECT_TRUE(LocalUtilites::fileExists(m_root / L"bin\\javaw.exe"));
    EXPECT_TRUE(LocalUtilites::fileExists(m_root / L"bin\\server\\jvm.dll"));
    EXPECT_TRUE(LocalUtilites::fileExists(m_root / L"bin\\java?.exe"));
    EXPECT_FALSE(LocalUtilites::fileExists(m_root / L"bin\\*.dll"));
    EXPECT_FALSE(LocalUtilites::fileExists(m_root / L"missing\\javaw.exe"));
    EXPECT_FALSE(LocalUtilites::fileExists(L""));

    // A folder counts for fileExists (so for existsJvmDLL), not for
    // isExistingFile.
    EXPECT_FALSE(LocalUtilites::isExistingFile(m_root / L"bin\\server\\jvm.dll"));
    EXPECT_TRUE(LocalUtilites::isExistingFile(m_root / L"bin\\javaw.exe"));
    EXPECT_TRUE(runtime(m_root.path()).existsJvmDLL(L"server"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(JVMInfoTest, PathThatCannotReachTheSystemUnchangedStopsInExistsJvmDll)
{
    // Up to the NUL the path names a real file; the search must not answer
    // for that one.
    writeFileBytes(m_root / L"javaw.exe", "");
    EXPECT_THROW(LocalUtilites::fileExists(m_root / std::wstring(L"javaw.exe\0tail", 14)), std::invalid_argument);
    EXPECT_EQ(std::vector<std::string>{"Exception in LocalUtilites.fileExists()"}, messages());

    JVMInfo info = runtime(m_root.path() + std::wstring(L"\0x", 2));
    EXPECT_THROW(info.existsJvmDLL(L"client"), LauncherStopped);
    const std::vector<std::string> expected{"Exception in LocalUtilites.fileExists()",
                                            "Exception in LocalUtilites.fileExists()",
                                            "Exception in JVMInfo.existsJvmDLL()"};
    EXPECT_EQ(expected, messages());
}

TEST_F(JVMInfoTest, CloneKeepsOnlyHomeBundleAndVersion)
{
    JVMInfo source = runtime(L"C:\\APP\\jre", L"sdk", L"11.0.2");
    source.m_binJvmDir = L"server";
    source.m_jvmPath = L"C:\\APP\\jre\\jre\\bin\\server\\jvm.dll";
    source.m_comparableVersion = L"D1.B1.011.000.002.000.";
    source.m_jrePath = L"C:\\APP\\jre\\jre\\bin\\";
    source.m_acceptable = false;
    EXPECT_EQ(L"m_jvmPath=,m_javaBundle=sdk,m_binJvmDir=,m_comparableVersion=,m_javaHomePath=C:\\APP\\jre,"
              L"m_version=11.0.2,m_jrePath=,m_acceptable=true",
              source.clone().toString());
}

TEST_F(JVMInfoTest, ToStringInItsOwnKeyOrder)
{
    JVMInfo info = runtime(L"C:\\APP\\jre");
    info.m_binJvmDir = L"client";
    info.m_jvmPath = info.getJvmDLLPath(L"client");
    info.m_comparableVersion = L"D2.B2.001.008.000.000.";
    info.m_acceptable = false;
    EXPECT_EQ(L"m_jvmPath=C:\\APP\\jre\\bin\\client\\jvm.dll,m_javaBundle=jre,m_binJvmDir=client,"
              L"m_comparableVersion=D2.B2.001.008.000.000.,m_javaHomePath=C:\\APP\\jre,m_version=1.8.0,"
              L"m_jrePath=C:\\APP\\jre\\bin\\,m_acceptable=false",
              info.toString());
}

TEST_F(JVMInfoTest, RankingTextAndItsFailures)
{
    JVMInfo info = runtime(L"C:\\JDK", L"sdk", L"11.0.2");
    info.m_binJvmDir = L"server";
    info.m_comparableVersion = JVMInfo::getComparableVersionUsingRegularVersion(info.m_version);
    info.adjustComparableVersionForJavaBundle();
    info.adjustComparableVersionForBinJvmDir();
    EXPECT_EQ(L"D1.B1.011.000.002.000.", info.m_comparableVersion);
    EXPECT_TRUE(messages().empty());

    EXPECT_THROW(JVMInfo::getComparableVersionUsingRegularVersion(std::wstring(100, L'1')), LauncherStopped);
    EXPECT_EQ("Exception in JVMInfo.getComparableVersionUsingRegularVersion()", messages().back());
    JVMInfo unknown = runtime(L"C:\\APP\\jre", L"JRE");
    EXPECT_THROW(unknown.adjustComparableVersionForJavaBundle(), LauncherStopped);
    EXPECT_EQ("Exception in JVMInfo.adjustComparableVersionForJavaBundle()", messages().back());
    EXPECT_THROW(unknown.adjustComparableVersionForBinJvmDir(), LauncherStopped);  // no type yet
    EXPECT_EQ("Exception in JVMInfo.adjustComparableVersionForBinJvmDir()", messages().back());
    EXPECT_EQ(3u, messages().size());
    EXPECT_EQ(L"", unknown.m_comparableVersion);
}

// The version query against a stand-in java.exe.
class JavaVersionProbeTest : public JVMInfoTest {
protected:
    JavaVersion probe(const std::string& javaConfig)
    {
        StandInRuntime files;
        files.javaConfig = javaConfig;
        installRuntime(m_root / L"jre", files);
        return getJavaVersion(m_root / L"jre", m_log.log());
    }
};

TEST_F(JavaVersionProbeTest, ReadsTheVersionFromEitherOutputStream)
{
    const JavaVersion version = probe(StandInRuntime::javaVersionConfig("1.8.0_151"));
    EXPECT_EQ(L"1.8.0", version.text);
    EXPECT_EQ(1, version.major);
    EXPECT_EQ(800, version.minor);
    const std::vector<std::string> calls = standInCalls(m_root / L"jre\\bin\\java.exe");
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("\"" + narrow(m_root / L"jre") + "\\bin\\java.exe\" -version", calls[0]);
    // The output is logged at INFO as it came.
    const std::vector<std::string> lines = m_log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("INFO : [DEF] : java version \"1.8.0_151\"") != std::string::npos;
    }));

    const JavaVersion eleven = probe("stdout=openjdk version \"11.0.2\" 2019-01-15\\n\nexit=0");
    EXPECT_EQ(L"11.0.2", eleven.text);
    EXPECT_EQ(11, eleven.major);
    EXPECT_EQ(2, eleven.minor);
}

TEST_F(JavaVersionProbeTest, NoGroupOfThreeNumbersNoVersion)
{
    EXPECT_THROW(probe(StandInRuntime::javaVersionConfig("17")), VersionParseError);
    EXPECT_THROW(probe("stderr=Error: no JVM\nexit=0"), VersionParseError);
    // A failing runtime's output is not looked at.
    EXPECT_THROW(probe("stderr=java version \"1.8.0_151\"\nexit=1"), VersionParseError);
    EXPECT_TRUE(m_log.messagesStartingWith("java version \"1.8.0_151\"").empty());
    DeleteFileW((m_root / L"jre\\bin\\java.exe").c_str());
    EXPECT_THROW(getJavaVersion(m_root / L"jre", m_log.log()), VersionParseError);
}

TEST_F(JavaVersionProbeTest, OnlyTheFirst255BytesAreSearched)
{
    // 237 bytes and the 20 of `java version "1.8.0"`: the cut after 255
    // leaves `version "1.8.`, which is no version.
    EXPECT_THROW(probe("stdout=" + std::string(237, 'x') + "\nstderr=java version \"1.8.0\"\nexit=0"),
                 VersionParseError);
    const std::vector<std::string> logged = m_log.messagesStartingWith("xxxx");
    ASSERT_EQ(1u, logged.size());
    EXPECT_EQ(std::string(237, 'x') + "java version \"1.8.", logged[0]);

    // Within the first 255 bytes the version is found, however much follows.
    const JavaVersion version = probe("stderr=java version \"1.8.0_151\"\nstdout_bytes=100000\nexit=0");
    EXPECT_EQ(L"1.8.0", version.text);
}

}  // namespace
}  // namespace vantor
