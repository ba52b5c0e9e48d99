#include "updater/app/update_command_lines.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(UpdateCommandLines, NamesComeFromTheProductName)
{
    EXPECT_EQ(L"Software\\Vantor", productRegistryKey());
    EXPECT_EQ(L"Vantor.exe", mainProgramFileName());
    EXPECT_EQ(L"C:\\P\\VantorUpdater.exe", installedUpdaterPath(L"C:\\P"));
    EXPECT_EQ(L"/runVantor", runMainProgramSwitch());
    EXPECT_EQ(L"C:\\A\\Vantor\\plugins\\vupdater\\vupdater.ext.jar", extUpdaterJarPath(L"C:\\A"));
    EXPECT_EQ(L"C:\\A\\Vantor\\plugins\\vupdater\\plugin.properties", pluginPropertiesPath(L"C:\\A"));
}

TEST(UpdateCommandLines, ExtUpdaterAsUserAndAsAdministrator)
{
    EXPECT_EQ(L"\"C:\\P\\jre\\bin\\javaw.exe\" -classpath \"C:\\A\\x.jar\" ru.vantor.plugins.vupdater.ext.Main update",
              extUpdaterCommandLine(L"C:\\P\\jre", L"C:\\A\\x.jar", false));
    EXPECT_EQ(
        L"\"C:\\P\\jre\\bin\\javaw.exe\" -classpath \"C:\\A\\x.jar\" ru.vantor.plugins.vupdater.ext.Main updateAdmin",
        extUpdaterCommandLine(L"C:\\P\\jre", L"C:\\A\\x.jar", true));
}

TEST(UpdateCommandLines, JavaUpdaterFollowsTheTemplate)
{
    EXPECT_EQ(L"\"C:\\P\\jre\\bin\\javaw.exe\" -classpath "
              L"\"C:\\A\\Vantor\\plugins\\vupdater\\vupdater_3.4.1.jar\";Vantor.jar;swt.jar "
              L"ru.vantor.plugins.vupdater.Updater updateonly \"C:\\P\" \"C:\\A\\Vantor\"",
              javaUpdaterCommandLine(L"C:\\P\\jre", L"C:\\A", L"3.4.1", L"C:\\P"));
    // A missing version key looks up to the key itself.
    EXPECT_NE(std::wstring::npos,
              javaUpdaterCommandLine(L"J", L"A", L"plugin.version", L"P").find(L"vupdater_plugin.version.jar"));
}

}  // namespace
}  // namespace vantor
