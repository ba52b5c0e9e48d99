#include "updater/app/update_command_lines.h"

#include "common/text/command_line_text.h"

namespace vantor {

namespace {

std::wstring javaw(std::wstring_view javaHome)
{
    return text::quoteArgument(std::wstring(javaHome) + L"\\bin\\javaw.exe");
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
    return javaw(javaHome) + L" -classpath " + text::quoteArgument(jar) + L" ru.vantor.plugins.vupdater.ext.Main " +
           (asAdministrator ? L"updateAdmin" : L"update");
}

std::wstring javaUpdaterCommandLine(std::wstring_view javaHome, std::wstring_view appData,
                                    std::wstring_view pluginVersion, std::wstring_view programFolder)
{
    // The jar of the plug-in's version is quoted on its own; the main
    // program's jars follow it unquoted, relative to the working folder.
    const std::wstring jar = pluginFolder(appData) + L"\\vupdater_" + std::wstring(pluginVersion) + L".jar";
    return javaw(javaHome) + L" -classpath " + text::quoteArgument(jar) + L";" + kProductName +
           L".jar;swt.jar ru.vantor.plugins.vupdater.Updater updateonly " + text::quoteArgument(programFolder) + L" " +
           text::quoteArgument(userDataFolder(appData));
}

bool isAcceptablePluginVersion(std::wstring_view version)
{
    if (version.empty() || version.size() > kPluginVersionMaxLength) {
        return false;
    }
    for (const wchar_t c : version) {
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        const bool digit = c >= L'0' && c <= L'9';
        if (!letter && !digit && c != L'.' && c != L'_' && c != L'-') {
            return false;
        }
    }
    return true;
}

std::wstring serverArgumentText(std::wstring_view forwardedArguments)
{
    return std::wstring(forwardedArguments) + L" /secondInstance /asService";
}

}  // namespace vantor
