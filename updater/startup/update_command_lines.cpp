#include "update_command_lines.h"

namespace vantor {

namespace {

std::wstring javaw(std::wstring_view javaHome)
{
    return L"\"" + std::wstring(javaHome) + L"\\bin\\javaw.exe\"";
}

std::wstring pluginFolder(std::wstring_view appData)
{
    return userDataFolder(appData) + L"\\plugins\\vupdater";
}

}  // namespace

std::wstring productRegistryKey()
{
    return std::wstring(L"Software\\") + kProductName;
}

std::wstring mainProgramFileName()
{
    return std::wstring(kProductName) + L".exe";
}

std::wstring installedUpdaterPath(std::wstring_view programFolder)
{
    return std::wstring(programFolder) + L"\\" + kProductName + L"Updater.exe";
}

std::wstring runMainProgramSwitch()
{
    return std::wstring(L"/run") + kProductName;
}

std::wstring userDataFolder(std::wstring_view appData)
{
    return std::wstring(appData) + L"\\" + kProductName;
}

std::wstring extUpdaterJarPath(std::wstring_view appData)
{
    return pluginFolder(appData) + L"\\vupdater.ext.jar";
}

std::wstring pluginPropertiesPath(std::wstring_view appData)
{
    return pluginFolder(appData) + L"\\plugin.properties";
}

std::wstring extUpdaterCommandLine(std::wstring_view javaHome, std::wstring_view jar, bool asAdministrator)
{
    return javaw(javaHome) + L" -classpath \"" + std::wstring(jar) + L"\" ru.vantor.plugins.vupdater.ext.Main " +
           (asAdministrator ? L"updateAdmin" : L"update");
}

std::wstring javaUpdaterCommandLine(std::wstring_view javaHome, std::wstring_view appData,
                                    std::wstring_view pluginVersion, std::wstring_view programFolder)
{
    return javaw(javaHome) + L" -classpath \"" + pluginFolder(appData) + L"\\vupdater_" + std::wstring(pluginVersion) +
           L".jar\";" + kProductName + L".jar;swt.jar ru.vantor.plugins.vupdater.Updater updateonly \"" +
           std::wstring(programFolder) + L"\" \"" + userDataFolder(appData) + L"\"";
}

}  // namespace vantor
