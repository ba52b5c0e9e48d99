// The names that the update run derives from the product name, and the
// command lines of the Java programs it starts. Pure: no Windows calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantor {

// The one product name from which the names below are formed.
constexpr const wchar_t* kProductName = L"Vantor";

// "Software\Vantor": the installation's registry key under HKEY_CURRENT_USER.
std::wstring productRegistryKey();
// "Vantor.exe": the main program's file name.
std::wstring mainProgramFileName();
// "<program folder>\VantorUpdater.exe": the installed updater.
std::wstring installedUpdaterPath(std::wstring_view programFolder);
// "/runVantor": the switch that starts the main program after the update.
std::wstring runMainProgramSwitch();
// "<AppData>\Vantor": the per-user data folder.
std::wstring userDataFolder(std::wstring_view appData);
// "<AppData>\Vantor\plugins\vupdater\vupdater.ext.jar".
std::wstring extUpdaterJarPath(std::wstring_view appData);
// "<AppData>\Vantor\plugins\vupdater\plugin.properties".
std::wstring pluginPropertiesPath(std::wstring_view appData);

// "<Java home>\bin\javaw.exe" -classpath "<jar>" ru.vantor.plugins.vupdater.ext.Main update
// (or updateAdmin when asked to run as administrator).
std::wstring extUpdaterCommandLine(std::wstring_view javaHome, std::wstring_view jar, bool asAdministrator);

// Every path in these command lines is quoted so that the program reads it
// back as one argument, also when it ends in a backslash.

// "<Java home>\bin\javaw.exe" -classpath
// "<AppData>\Vantor\plugins\vupdater\vupdater_<plugin version>.jar";Vantor.jar;swt.jar
// ru.vantor.plugins.vupdater.Updater updateonly "<program folder>" "<AppData>\Vantor"
std::wstring javaUpdaterCommandLine(std::wstring_view javaHome, std::wstring_view appData,
                                    std::wstring_view pluginVersion, std::wstring_view programFolder);

// The longest plugin.version taken into the Java updater's class path.
constexpr std::size_t kPluginVersionMaxLength = 64;

// True when `version` may stand in the Java updater's command line: 1 to 64
// characters of ASCII letters, digits, '.', '_' and '-'. The properties file
// lies in the user's profile, and the elevated copy runs that command line.
bool isAcceptablePluginVersion(std::wstring_view version);

// The elevated copy's arguments: the client's own arguments, already written
// back as a command-line text, followed by " /secondInstance /asService".
std::wstring serverArgumentText(std::wstring_view forwardedArguments);

}  // namespace vantor
