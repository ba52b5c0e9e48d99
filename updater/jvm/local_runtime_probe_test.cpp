#include "updater/jvm/local_runtime_probe.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(LocalRuntimePaths, HomeAndClientDllWithinTheirBuffers)
{
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre", localJavaHome(L"C:\\PROGRA~1\\APP"));
    EXPECT_EQ(L"C:\\PROGRA~1\\APP\\jre\\bin\\client\\jvm.dll", clientJvmTestPath(L"C:\\PROGRA~1\\APP\\jre"));

    // The client path adds 19 characters to a home that adds 4 to the
    // folder: folders of up to 236 characters fit both 259-character limits.
    const std::wstring folder(236, L'f');
    EXPECT_EQ(259u, clientJvmTestPath(localJavaHome(folder)).size());
    EXPECT_THROW(clientJvmTestPath(localJavaHome(folder + L"f")), RuntimeProbeError);
    EXPECT_EQ(259u, localJavaHome(std::wstring(255, L'f')).size());
    EXPECT_THROW(localJavaHome(std::wstring(256, L'f')), RuntimeProbeError);
}

TEST(LocalRuntimeCommandLines, VersionQueryAndArchitectureTest)
{
    EXPECT_EQ(L"\"C:\\APP\\jre\\bin\\java.exe\" -version", javaVersionCommandLine(L"C:\\APP\\jre"));
    EXPECT_EQ(L"\"C:\\APP\\jre\\bin\\javaw.exe\" -classpath \"C:\\APP\\utils.jar\" ru.kestrel.core.JavaArch",
              javaArchCommandLine(L"C:\\APP\\jre", L"C:\\APP\\utils.jar"));
    // 5,119 characters fit the command line's buffer, 5,120 do not.
    const std::size_t fixed = javaArchCommandLine(L"", L"").size();
    EXPECT_EQ(5119u, javaArchCommandLine(L"", std::wstring(5119 - fixed, L'j')).size());
    EXPECT_THROW(javaArchCommandLine(L"", std::wstring(5120 - fixed, L'j')), RuntimeProbeError);
}

TEST(VersionTextOfOutput, FirstMatchAfterTheWordVersion)
{
    EXPECT_EQ(L"1.8.0", versionTextOfOutput(L"java version \"1.8.0_151\"\nJava(TM) SE Runtime Environment"));
    EXPECT_EQ(L"11.0.2", versionTextOfOutput(L"openjdk version \"11.0.2\" 2019-01-15\r\n"));
    EXPECT_EQ(L"17", versionTextOfOutput(L"openjdk version \"17\" 2021-09-14"));
    EXPECT_EQ(L"1.8.", versionTextOfOutput(L"java version \"1.8."));
    EXPECT_EQ(L"1.7.0", versionTextOfOutput(L"version \"1.7.0\" then version \"1.8.0\""));
    EXPECT_EQ(L"", versionTextOfOutput(L""));
    EXPECT_EQ(L"", versionTextOfOutput(L"Error: could not find java.dll"));
    EXPECT_EQ(L"", versionTextOfOutput(L"java version 1.8.0"));
    EXPECT_EQ(L"", versionTextOfOutput(L"java Version \"1.8.0\""));
    EXPECT_EQ(L"", versionTextOfOutput(L"java version \"v1.8.0\""));
    EXPECT_EQ(L"9", versionTextOfOutput(L"version \"beta\" version \"9\""));
}

TEST(VersionTextOfOutput, VeryLongRunOfDigitsIsTakenWhole)
{
    // A runtime may print anything; a million digits once overflowed the stack.
    const std::wstring digits(1000000, L'7');
    EXPECT_EQ(digits, versionTextOfOutput(L"java version \"" + digits + L"\""));
}

TEST(MajorVersionOf, LikeAStandardTextToIntegerConversion)
{
    EXPECT_EQ(1, majorVersionOf(L"1.8.0"));
    EXPECT_EQ(11, majorVersionOf(L"11.0.2"));
    EXPECT_EQ(17, majorVersionOf(L"17"));
    EXPECT_EQ(11, majorVersionOf(L"  \t+11.0"));
    EXPECT_EQ(-3, majorVersionOf(L"-3.1"));
    EXPECT_EQ(12, majorVersionOf(L"12ab.0"));
    EXPECT_EQ(2147483647, majorVersionOf(L"2147483647.0"));
    EXPECT_EQ(-2147483647 - 1, majorVersionOf(L"-2147483648"));
    for (const wchar_t* bad : {L"", L".8.0", L"x11", L"+", L" ", L"- 1", L"2147483648", L"-2147483649",
                               L"99999999999999999999999"}) {
        EXPECT_THROW(majorVersionOf(bad), RuntimeProbeError) << ::testing::PrintToString(std::wstring(bad));
    }
}

TEST(JavaArchEntry, SearchedAsPlainBytes)
{
    using namespace std::string_literals;
    EXPECT_TRUE(containsJavaArchEntry("PK\x03\x04\0\0ru/kestrel/core/JavaArch.class\0PK"s));
    EXPECT_TRUE(containsJavaArchEntry("ru/kestrel/core/JavaArch.class"));
    EXPECT_FALSE(containsJavaArchEntry(""));
    EXPECT_FALSE(containsJavaArchEntry("ru/kestrel/core/JavaArch.clas"));
    EXPECT_FALSE(containsJavaArchEntry("ru.kestrel.core.JavaArch.class"));
    EXPECT_FALSE(containsJavaArchEntry("RU/KESTREL/CORE/JAVAARCH.CLASS"));
}

}  // namespace
}  // namespace vantor
