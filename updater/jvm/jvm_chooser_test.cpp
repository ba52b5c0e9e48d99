// The runtime choice under Wine: a stand-in runtime folder in a program
// folder of the test's own (java.exe and javaw.exe are stand-in programs),
// a loopback runtime download server, and launcher stops watched
// in-process.
#include "tests/support/jvm_test_support.h"
#include "updater/jvm/jvm_chooser.h"
#include "updater/jvm/jvm_properties.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantor {
namespace {

using namespace vantor::testing;

const std::vector<std::string> kStepNames{"getJvmFromCustomJvmPath", "getJvmFromCustomJavaHomePath", "getAllJVMs",
                                          "addJVMToAllList",          "removeCopyBinJvmDirs",         "breakoutBinJvmDirs",
                                          "determineVersions",        "removeUnacceptableJVMs"};

class ChooserTest : public ::testing::Test {
protected:
    ChooserTest() : m_stop(m_log.log()) {}

    std::wstring program() const { return m_root / L"App"; }
    std::wstring home() const { return program() + L"\\jre"; }
    std::wstring jar() const { return program() + L"\\utils.jar"; }

    void install(const StandInRuntime& runtime = {}) { installRuntime(home(), runtime); }

    std::optional<JVMInfo> choose()
    {
        JVMProperties properties;
        properties.loadProperties(program(), jar(), m_log.log());
        return properties.m_bestJvm;
    }

    // The messages that are step names, in order.
    std::vector<std::string> steps() const
    {
        std::vector<std::string> found;
        for (const std::string& message : m_log.messages()) {
            if (std::find(kStepNames.begin(), kStepNames.end(), message) != kStepNames.end()) {
                found.push_back(message);
            }
        }
        return found;
    }
    bool hasLine(const std::string& levelAndMessage) const
    {
        const std::vector<std::string> lines = m_log.lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            const std::size_t at = line.find("] ");
            return at != std::string::npos && line.compare(at + 2, std::string::npos, levelAndMessage) == 0;
        });
    }
    std::size_t indexOf(const std::string& message) const
    {
        const std::vector<std::string> messages = m_log.messages();
        return static_cast<std::size_t>(std::find(messages.begin(), messages.end(), message) - messages.begin());
    }
    std::vector<std::string> javawCalls() const { return standInCalls(home() + L"\\bin\\javaw.exe"); }
    std::vector<std::string> javaCalls() const { return standInCalls(home() + L"\\bin\\java.exe"); }
    std::string archTestCommandLine() const
    {
        return "\"" + narrow(home()) + "\\bin\\javaw.exe\" -classpath \"" + narrow(jar()) +
               "\" ru.kestrel.core.JavaArch";
    }
    std::string removeLine(const std::wstring& version) const
    {
        return "INFO : [DEF] : Remove:m_jvmPath=,m_javaBundle=jre,m_binJvmDir=,m_comparableVersion=,m_javaHomePath=" +
               narrow(home()) + ",m_version=" + narrow(version) + ",m_jrePath=" + narrow(home()) +
               "\\bin\\,m_acceptable=true";
    }

    TestLog m_log;
    WatchedLauncherStop m_stop;
    TempDir m_root;
    RuntimeServer m_server;
};

TEST_F(ChooserTest, WithoutTheClientDllThereIsNoCandidate)
{
    StandInRuntime runtime;
    runtime.clientJvm = false;
    runtime.serverJvm = true;
    install(runtime);
    EXPECT_FALSE(choose().has_value());

    std::vector<std::string> expected = kStepNames;
    expected.push_back("No acceptable JVMs were found.");
    EXPECT_EQ(expected, m_log.messages());
    EXPECT_TRUE(hasLine("ERROR : [DEF] : No acceptable JVMs were found."));
    EXPECT_TRUE(hasLine("INFO : [DEF] : getJvmFromCustomJvmPath"));
    // The runtime is neither asked nor the descriptor fetched.
    EXPECT_TRUE(javaCalls().empty());
    EXPECT_EQ(0u, m_server.descriptorRequests());
}

TEST_F(ChooserTest, AFolderInPlaceOfTheClientDllIsNoCandidate)
{
    StandInRuntime runtime;
    runtime.clientJvm = false;
    install(runtime);
    createDirectories(home() + L"\\bin\\client\\jvm.dll");
    EXPECT_FALSE(choose().has_value());
    EXPECT_EQ("No acceptable JVMs were found.", m_log.messages().back());
    EXPECT_TRUE(javaCalls().empty());
}

TEST_F(ChooserTest, Java8WithClientAndServerGivesTwoCandidatesAndTheClientIsChosen)
{
    StandInRuntime runtime;
    runtime.serverJvm = true;
    install(runtime);
    const std::optional<JVMInfo> best = choose();
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(L"client", best->m_binJvmDir);
    EXPECT_EQ(home() + L"\\bin\\client\\jvm.dll", best->m_jvmPath);
    EXPECT_EQ(L"D2.B2.001.008.000.000.", best->m_comparableVersion);
    EXPECT_EQ(home(), best->m_javaHomePath);
    EXPECT_EQ(L"1.8.0", best->m_version);
    EXPECT_EQ(L"jre", best->m_javaBundle);

    // The steps in order, the local runtime's lines within "getAllJVMs".
    EXPECT_EQ(kStepNames, steps());
    EXPECT_LT(indexOf("getAllJVMs"), indexOf("Local Java is found, check version..."));
    EXPECT_EQ(indexOf("Local Java is found, check version...") + 1, indexOf(narrow(home()) + "\\bin\\client\\jvm.dll"));
    EXPECT_LT(indexOf("Local Java is found, check version..."), indexOf("java version \"1.8.0_151\""));
    EXPECT_LT(indexOf("java version \"1.8.0_151\""), indexOf("1.8.0"));
    EXPECT_LT(indexOf("1.8.0"), indexOf("Local Java is good, use it"));
    EXPECT_LT(indexOf("Local Java is good, use it"), indexOf("addJVMToAllList"));
    EXPECT_TRUE(hasLine("ERROR : [DEF] : 1.8.0"));
    EXPECT_TRUE(hasLine("ERROR : [DEF] : Java is old"));
    EXPECT_LT(indexOf("breakoutBinJvmDirs"), indexOf("Java is old"));
    EXPECT_EQ(1u, m_server.descriptorRequests());
    // No architecture test below Java 11.
    EXPECT_TRUE(javawCalls().empty());
    EXPECT_TRUE(m_log.messagesStartingWith("Remove").empty());
}

TEST_F(ChooserTest, Java8StepByStepMakesTheServerClone)
{
    StandInRuntime runtime;
    runtime.serverJvm = true;
    install(runtime);
    JVMProperties properties;
    JVMChooser chooser(properties);
    std::vector<JVMInfo> jvms;
    chooser.getAllJVMs(jvms, program(), m_log.log());
    ASSERT_EQ(1u, jvms.size());
    chooser.breakoutBinJvmDirs(jvms, jar(), m_log.log());
    chooser.determineVersions(jvms);
    ASSERT_EQ(2u, jvms.size());
    EXPECT_EQ(L"client", jvms[0].m_binJvmDir);
    EXPECT_EQ(L"D2.B2.001.008.000.000.", jvms[0].m_comparableVersion);
    EXPECT_EQ(L"server", jvms[1].m_binJvmDir);
    EXPECT_EQ(home() + L"\\bin\\server\\jvm.dll", jvms[1].m_jvmPath);
    EXPECT_EQ(L"D1.B2.001.008.000.000.", jvms[1].m_comparableVersion);
}

TEST_F(ChooserTest, Java8WithTheClientJvmOnly)
{
    install();
    const std::optional<JVMInfo> best = choose();
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(L"client", best->m_binJvmDir);
    EXPECT_EQ(L"D2.B2.001.008.000.000.", best->m_comparableVersion);
    EXPECT_TRUE(javawCalls().empty());
}

TEST_F(ChooserTest, WithoutJavawTheRuntimeIsRemoved)
{
    StandInRuntime runtime;
    runtime.javawExe = false;
    install(runtime);
    EXPECT_FALSE(choose().has_value());
    EXPECT_EQ(1u, javaCalls().size());  // found, and its version read
    EXPECT_TRUE(hasLine(removeLine(L"1.8.0")));
    EXPECT_LT(indexOf("breakoutBinJvmDirs"), indexOf(removeLine(L"1.8.0").substr(std::string("INFO : [DEF] : ").size())));
    EXPECT_TRUE(hasLine("ERROR : [DEF] : No acceptable JVMs were found."));
}

TEST_F(ChooserTest, Java11WithoutTheProbeJarIsRejected)
{
    StandInRuntime runtime;
    runtime.javaConfig = StandInRuntime::javaVersionConfig("11.0.2");
    install(runtime);
    EXPECT_FALSE(choose().has_value());
    EXPECT_TRUE(hasLine("INFO : [DEF] : " + narrow(jar()) + " not found"));
    EXPECT_TRUE(hasLine(removeLine(L"11.0.2")));
    EXPECT_TRUE(m_log.messagesStartingWith("Java is old").empty());

    // A folder of that name is no jar either.
    createDirectories(jar());
    EXPECT_FALSE(choose().has_value());
    EXPECT_EQ(2u, m_log.messagesStartingWith(narrow(jar()) + " not found").size());
    EXPECT_TRUE(javawCalls().empty());
}

TEST_F(ChooserTest, Java11WithAJarWithoutTheClassIsRejected)
{
    StandInRuntime runtime;
    runtime.javaConfig = StandInRuntime::javaVersionConfig("11.0.2");
    install(runtime);
    writeProbeJar(jar(), false);
    EXPECT_FALSE(choose().has_value());
    EXPECT_TRUE(hasLine("ERROR : [DEF] : JavaArch.class NOT FOUND"));
    EXPECT_TRUE(hasLine(removeLine(L"11.0.2")));
    EXPECT_TRUE(javawCalls().empty());
}

class ArchitectureTest : public ChooserTest, public ::testing::WithParamInterface<int> {};

TEST_P(ArchitectureTest, ExitStatus32RejectsAndAnyOtherKeeps)
{
    StandInRuntime runtime;
    runtime.javaConfig = StandInRuntime::javaVersionConfig("11.0.2");
    runtime.javawConfig = "exit=" + std::to_string(GetParam());
    runtime.serverJvm = true;
    install(runtime);
    writeProbeJar(jar(), true);
    const std::optional<JVMInfo> best = choose();

    EXPECT_TRUE(hasLine("INFO : [DEF] : JavaArch.class found"));
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(archTestCommandLine(), javawCalls()[0]);
    if (GetParam() == 32) {
        EXPECT_FALSE(best.has_value());
        EXPECT_TRUE(hasLine(removeLine(L"11.0.2")));
    } else {
        ASSERT_TRUE(best.has_value());
        EXPECT_EQ(L"client", best->m_binJvmDir);
        EXPECT_EQ(L"D2.B2.011.000.002.000.", best->m_comparableVersion);
        EXPECT_TRUE(m_log.messagesStartingWith("Remove").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, ArchitectureTest, ::testing::Values(32, 0, 64, 1, -5));

TEST_F(ChooserTest, RuntimeThatCannotStateItsVersionStopsTheProgramInGetAllJvms)
{
    // Version 17, a failing runtime, a version beyond the first 255 bytes of
    // output, and no java.exe at all.
    for (const std::string& config :
         {StandInRuntime::javaVersionConfig("17"), std::string("stderr=java version \"1.8.0_151\"\nexit=1"),
          "stdout=" + std::string(255, ' ') + "\nstderr=java version \"1.8.0_151\"\nexit=0", std::string()}) {
        SCOPED_TRACE(config);
        StandInRuntime runtime;
        runtime.javaConfig = config;
        runtime.javaExe = !config.empty();
        removeTree(home());
        install(runtime);
        const std::size_t before = m_log.messages().size();
        EXPECT_THROW(choose(), LauncherStopped);
        EXPECT_EQ("Exception in JVMChooser.getAllJVMs()", m_log.messages().back());
        const std::vector<std::string> all = m_log.messages();
        EXPECT_EQ(1, std::count(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(), "getAllJVMs"));
        EXPECT_EQ(0, std::count(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(), "addJVMToAllList"));
    }
    EXPECT_TRUE(hasLine("INFO : [DEF] : Exception in JVMChooser.getAllJVMs()"));
    EXPECT_EQ(0u, m_server.descriptorRequests());
}

TEST_F(ChooserTest, DescriptorWithoutMinimumVersionStopsTheProgramInGetAllJvms)
{
    m_server.server().putFile(L"java2.json", "{\"packedJreEbzUrl\": \"http://127.0.0.1/jre2_packed.ebz\"}");
    install();
    EXPECT_THROW(choose(), LauncherStopped);
    EXPECT_EQ(1u, m_server.descriptorRequests());
    EXPECT_EQ("Exception in JVMChooser.getAllJVMs()", m_log.messages().back());
    EXPECT_TRUE(m_log.messagesStartingWith("Local Java is good").empty());
}

TEST_F(ChooserTest, UnreachableDescriptorDoesNotMatter)
{
    // A descriptor that cannot be had leaves the choice alone.
    m_server.server().putFile(L"java2.json", "<html>502</html>");
    install();
    const std::optional<JVMInfo> best = choose();
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(L"client", best->m_binJvmDir);
}

TEST_F(ChooserTest, ProgramFolderBeyondTheBuffersStopsTheProgram)
{
    JVMProperties properties;
    JVMChooser chooser(properties);
    std::vector<JVMInfo> jvms;
    EXPECT_THROW(chooser.getAllJVMs(jvms, L"C:\\" + std::wstring(234, L'f'), m_log.log()), LauncherStopped);
    EXPECT_EQ("Exception in JVMChooser.getAllJVMs()", m_log.messages().back());
    EXPECT_TRUE(jvms.empty());
}

// The steps on lists made by the test.
class ChooserStepsTest : public ChooserTest {
protected:
    static JVMInfo candidate(const std::wstring& home, const wchar_t* version = L"1.8.0", bool acceptable = true)
    {
        JVMInfo info;
        info.m_javaBundle = L"jre";
        info.m_javaHomePath = home;
        info.m_version = version;
        info.m_acceptable = acceptable;
        return info;
    }
    JVMProperties m_properties;
    JVMChooser m_chooser{m_properties};
};

TEST_F(ChooserStepsTest, CopiesOfAJavaHomeLeaveTheLastOne)
{
    std::vector<JVMInfo> jvms{candidate(L"C:\\A", L"1.0.0"), candidate(L"C:\\B"), candidate(L"C:\\A", L"2.0.0"),
                              candidate(L"c:\\a"), candidate(L"C:\\A", L"3.0.0")};
    m_chooser.removeCopyBinJvmDirs(jvms);
    ASSERT_EQ(3u, jvms.size());
    EXPECT_EQ(L"C:\\B", jvms[0].m_javaHomePath);
    EXPECT_EQ(L"c:\\a", jvms[1].m_javaHomePath);  // case counts
    EXPECT_EQ(L"3.0.0", jvms[2].m_version);
    // Walked from the last: the copy of 2.0.0 goes first.
    const std::vector<std::string> removed = m_log.messagesStartingWith("RemoveCopy:");
    ASSERT_EQ(2u, removed.size());
    EXPECT_EQ("RemoveCopy:" + narrow(candidate(L"C:\\A", L"2.0.0").toString()), removed[0]);
    EXPECT_EQ("RemoveCopy:" + narrow(candidate(L"C:\\A", L"1.0.0").toString()), removed[1]);
}

TEST_F(ChooserStepsTest, UnacceptableCandidatesAreDropped)
{
    std::vector<JVMInfo> jvms{candidate(L"C:\\A", L"1.0.0", false), candidate(L"C:\\B"),
                              candidate(L"C:\\C", L"3.0.0", false)};
    m_chooser.removeUnacceptableJVMs(jvms);
    ASSERT_EQ(1u, jvms.size());
    EXPECT_EQ(L"C:\\B", jvms[0].m_javaHomePath);
    const std::vector<std::string> removed = m_log.messagesStartingWith("Remove2:");
    ASSERT_EQ(2u, removed.size());
    EXPECT_NE(std::string::npos, removed[0].find("m_version=3.0.0"));
    EXPECT_NE(std::string::npos, removed[0].find("m_acceptable=false"));
    EXPECT_NE(std::string::npos, removed[1].find("m_version=1.0.0"));

    // After determineVersions every candidate is acceptable: nothing changes.
    std::vector<JVMInfo> ranked{candidate(L"C:\\D")};
    ranked[0].m_binJvmDir = L"client";
    m_chooser.determineVersions(ranked);
    m_chooser.removeUnacceptableJVMs(ranked);
    EXPECT_EQ(1u, ranked.size());
}

TEST_F(ChooserStepsTest, ServerClonesFollowInTheOrderTheyWereMade)
{
    StandInRuntime both;
    both.serverJvm = true;
    StandInRuntime serverOnly;
    serverOnly.clientJvm = false;
    serverOnly.serverJvm = true;
    installRuntime(m_root / L"one", both);
    installRuntime(m_root / L"two", both);
    installRuntime(m_root / L"three", serverOnly);
    std::vector<JVMInfo> jvms{candidate(m_root / L"one"), candidate(m_root / L"two"), candidate(m_root / L"three")};
    m_chooser.breakoutBinJvmDirs(jvms, jar(), m_log.log());
    ASSERT_EQ(5u, jvms.size());
    EXPECT_EQ(m_root / L"one", jvms[0].m_javaHomePath);
    EXPECT_EQ(L"client", jvms[0].m_binJvmDir);
    EXPECT_EQ(m_root / L"two", jvms[1].m_javaHomePath);
    EXPECT_EQ(L"client", jvms[1].m_binJvmDir);
    EXPECT_EQ(m_root / L"three", jvms[2].m_javaHomePath);
    EXPECT_EQ(L"server", jvms[2].m_binJvmDir);
    EXPECT_EQ(m_root / L"three\\bin\\server\\jvm.dll", jvms[2].m_jvmPath);
    // The walk goes from the last candidate to the first.
    EXPECT_EQ(m_root / L"two", jvms[3].m_javaHomePath);
    EXPECT_EQ(L"server", jvms[3].m_binJvmDir);
    EXPECT_EQ(m_root / L"one", jvms[4].m_javaHomePath);
    EXPECT_EQ(L"server", jvms[4].m_binJvmDir);
    EXPECT_EQ(3u, m_log.messagesStartingWith("Java is old").size());
}

TEST_F(ChooserStepsTest, MajorVersionThatCannotBeReadStopsTheProgramInTheBreakout)
{
    std::vector<JVMInfo> jvms{candidate(m_root / L"one", L"x.8.0")};
    EXPECT_THROW(m_chooser.breakoutBinJvmDirs(jvms, jar(), m_log.log()), LauncherStopped);
    EXPECT_EQ(std::vector<std::string>{"Exception in JVMChooser.breakoutBinJvmDirs()"}, m_log.messages());

    // Leading blanks and a sign are read like a standard conversion.
    StandInRuntime both;
    installRuntime(m_root / L"two", both);
    std::vector<JVMInfo> signedVersion{candidate(m_root / L"two", L" +1.8")};
    m_chooser.breakoutBinJvmDirs(signedVersion, jar(), m_log.log());
    EXPECT_EQ(1u, signedVersion.size());
    EXPECT_EQ(1u, m_log.messagesStartingWith("Java is old").size());
}

TEST_F(ChooserStepsTest, FailuresInsideARecordStopWithTheRecordsLineOnly)
{
    std::vector<JVMInfo> jvms{candidate(L"C:\\A")};
    jvms[0].m_javaBundle = L"jdk";
    jvms[0].m_binJvmDir = L"client";
    EXPECT_THROW(m_chooser.determineVersions(jvms), LauncherStopped);
    EXPECT_EQ(std::vector<std::string>{"Exception in JVMInfo.adjustComparableVersionForJavaBundle()"},
              m_log.messages());

    std::vector<JVMInfo> unknownBundle{candidate(L"C:\\A")};
    unknownBundle[0].m_javaBundle = L"jdk";
    EXPECT_THROW(m_chooser.breakoutBinJvmDirs(unknownBundle, jar(), m_log.log()), LauncherStopped);
    EXPECT_EQ("Exception in JVMInfo.getJrePath()", m_log.messages().back());
    EXPECT_TRUE(m_log.messagesStartingWith("Exception in JVMChooser").empty());
}

}  // namespace
}  // namespace vantor
