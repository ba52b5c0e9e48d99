#include "updater/app/update_flow.h"

#include "common/guarded.h"
#include "updater/app/update_command_lines.h"
#include "updater/commands/command_server.h"
#include "updater/jvm/jvm_properties.h"
#include "updater/startup/installation.h"
#include "updater/startup/path_text.h"
#include "updater/startup/process.h"
#include "updater/ui/admin_dialog.h"
#include "updater/ui/text_table.h"
#include "updater/ui/text_table_loader.h"

#include <optional>
#include <string>

namespace vantor {

namespace {

// Replies are read into 256 characters and only logged.
constexpr std::size_t kReplyCapacity = 256;
// Paths of the flow live in buffers of 1,024 characters.
constexpr std::size_t kPathCapacity = 1024;

bool isExistingFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of the registered main program, in short form where the
// system gives one.
std::wstring programFolderOf(const std::wstring& execPath, DiagnosticsLog& log)
{
    wchar_t shortPath[kPathCapacity];
    const DWORD length = GetShortPathNameW(execPath.c_str(), shortPath, kPathCapacity);
    std::wstring path;
    if (length == 0 || length >= kPathCapacity) {
        log.write(L"ERROR", L"Can't convert long path to short");
        log.write(L"ERROR", execPath);
        path = execPath;
    } else {
        path.assign(shortPath, length);
    }
    return directoryOf(path, kPathCapacity);
}

void sendLogged(CommandSender& sender, Command& command)
{
    wchar_t reply[kReplyCapacity] = {};
    sender.send(&command, reply, kReplyCapacity);
}

// The Java home of the runtime chosen for the installation in
// `programFolder`; none when no runtime was chosen. The choice may itself
// end the program (exit status 1, nothing shown) when the runtime cannot
// state its version.
std::optional<std::wstring> chooseRuntime(const std::wstring& programFolder, DiagnosticsLog& log)
{
    JVMProperties jvmProperties;
    jvmProperties.loadProperties(programFolder, programFolder + L"\\utils.jar", log);
    if (!jvmProperties.m_bestJvm) {
        return std::nullopt;
    }
    return jvmProperties.m_bestJvm->m_javaHomePath;
}

// The plug-in's version as its properties file gives it; the key itself
// when the file, the key or an acceptable value is missing.
std::wstring pluginVersionOf(const std::wstring& appData, DiagnosticsLog& log)
{
    TextTable pluginProperties;
    loadTextTableFile(pluginProperties, pluginPropertiesPath(appData));
    const std::wstring version = pluginProperties.lookup(L"plugin.version");
    if (isAcceptablePluginVersion(version)) {
        return version;
    }
    // Taken as if the key were missing: the lookup's own answer.
    log.write(L"ERROR", L"plugin.version is not a version of letters, digits, '.', '_' and '-', ignored");
    return L"plugin.version";
}

// What the elevated copy is asked to do.
struct UpdateRun {
    std::wstring ownPath;
    std::wstring programFolder;
    std::wstring installedUpdater;
    std::wstring javaHome;
    std::wstring appData;
    bool needCopy = false;
    bool needLaunchExtUpdaterAsAdmin = false;
};

// The update commands, one at a time: the installed updater replaced, the
// ext updater as administrator, the Java updater (whose reply comes when it
// has ended).
void sendUpdateCommands(CommandSender& sender, const UpdateRun& run, DiagnosticsLog& log)
{
    if (run.needCopy) {
        DeleteCommand deleteCommand(run.installedUpdater);
        sendLogged(sender, deleteCommand);
        CopyCommand copyCommand(run.ownPath + L"|" + run.programFolder);
        sendLogged(sender, copyCommand);
    }
    const std::wstring pluginVersion = pluginVersionOf(run.appData, log);
    if (run.needLaunchExtUpdaterAsAdmin) {
        launchExtUpdater(run.javaHome, run.appData, &sender, true, log);
    }
    ExecuteProcessCommand javaUpdater(
        javaUpdaterCommandLine(run.javaHome, run.appData, pluginVersion, run.programFolder));
    sendLogged(sender, javaUpdater);
}

// The pipe, then the elevated copy, and the update commands sent to it; the
// administrator-rights dialog when the copy cannot be started. A pipe that
// cannot be made starts no copy: nothing could serve it.
void updateThroughElevatedCopy(const CommandLineArgs& args, const UpdateRun& run, const ClientPlatform& platform,
                               HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log)
{
    ClientPipe pipe = createCommandPipe(log);
    if (pipe.connection == PipeConnection::Created) {
        win::Handle serverProcess;
        if (!platform.startServer(log, serverArgumentText(args.forwardedText()), &serverProcess)) {
            pipe.pipe.reset();
            showAdminRightsDialog(instance, previousInstance, log);
            return;
        }
        waitForServer(pipe, log, serverProcess.get(), serverProcess ? GetProcessId(serverProcess.get()) : 0);
    }
    if (pipe.connection == PipeConnection::WaitFailed || pipe.connection == PipeConnection::NameTaken) {
        MessageBoxW(nullptr, L"Failed to make connection on named pipe.", L"CLN", MB_OK);
    }
    // Without a connection every send fails, and is logged.
    CommandSenderPipe sender(std::move(pipe.pipe), log);
    sendUpdateCommands(sender, run, log);
    sender.close();
}

// With the run switch, the main program of the installation, detached.
void startMainProgram(const CommandLineArgs& args, const std::wstring& programFolder, DiagnosticsLog& log)
{
    if (args.has(runMainProgramSwitch())) {
        log.write(L"INFO", L"Found /runXXX arg, launch...");
        launchDetached(programFolder + L"\\" + mainProgramFileName(), &log);
    }
    log.write(L"INFO", L"Quit");
}

}  // namespace

bool launchExtUpdater(const std::wstring& javaHome, const std::wstring& appData, CommandSender* sender,
                      bool asAdministrator, DiagnosticsLog& log)
{
    return guarded(
        [&] {
            const std::wstring jar = extUpdaterJarPath(appData);
            if (!isExistingFile(jar)) {
                log.write(L"ERROR", jar + L" not found");
                return false;
            }
            const std::wstring commandLine = extUpdaterCommandLine(javaHome, jar, asAdministrator);
            if (asAdministrator) {
                if (sender != nullptr) {
                    log.write(L"ERROR", L"Launch vupdater.ext as admin");
                    ExecuteProcessCommand command(commandLine);
                    sendLogged(*sender, command);
                } else {
                    log.write(L"ERROR", L"Can't launch vupdater.ext as admin, commandSender is null");
                }
                return false;
            }
            log.write(L"INFO", L"Launch vupdater.ext as user");
            ExecuteProcessCommand command(commandLine);
            wchar_t result[kReplyCapacity] = L"0";
            command.execute(result, kReplyCapacity, log);
            if (std::wstring(result) == L"1") {
                log.write(L"INFO", L"Need admin");
                return true;
            }
            return false;
        },
        [&](const char*) {
            log.write(L"ERROR", L"EXCEPTION");
            return false;
        });
}

int runServerMode(const CommandLineArgs& args, DiagnosticsLog& log)
{
    log.setTag(L"SRV");
    log.write(L"INFO", args.argsLine());
    const CommandFactory factory(&log);
    // Taken before anything else: the client is the process that started
    // this one, and it is served only as long as it lives.
    const win::Handle client = openParentProcess(log);
    // The client has made the pipe before it started this process; it is
    // opened after a pause all the same.
    Sleep(1000);
    CommandServer server(log, factory, client.get());
    server.run();
    log.write(L"INFO", L"Server is stopped");
    return 0;
}

int runClientMode(const CommandLineArgs& args, HINSTANCE instance, HINSTANCE previousInstance, DiagnosticsLog& log,
                  const ClientPlatform& platform)
{
    log.write(L"INFO", L"---START---");
    log.write(L"INFO", args.argsLine());

    // Only the client hands "/secondInstance" on, and only together with
    // "/asService". A copy that finds it without that switch was started
    // with arguments that went astray; were it to go on as a client, it
    // would start yet another elevated copy, and so on without end.
    if (args.has(L"/secondInstance")) {
        log.write(L"ERROR", L"/secondInstance without /asService, the elevated copy is not started again");
        return -1;
    }

    UpdateRun run;
    run.ownPath = platform.ownPath.empty() ? ownShortPath(kPathCapacity) : platform.ownPath;
    const std::wstring ownFolder = directoryOf(run.ownPath, kPathCapacity);
    const bool inPlugin = !isExistingFile(ownFolder + L"\\" + mainProgramFileName());
    if (!inPlugin) {
        log.write(L"INFO", mainProgramFileName() + L" found in " + ownFolder);
    }

    const std::wstring execPath = readInstallExecPath(productRegistryKey());
    if (execPath.empty()) {
        MessageBoxW(nullptr, L"Install path not found", nullptr, MB_ICONERROR | MB_OK);
        return -1;
    }
    run.programFolder = programFolderOf(execPath, log);
    run.installedUpdater = installedUpdaterPath(run.programFolder);
    run.needCopy = !isExistingFile(run.installedUpdater) || isNewerThanInstalled(run.installedUpdater);

    currentLog = &log;
    const std::optional<std::wstring> javaHome = chooseRuntime(run.programFolder, log);
    if (!javaHome) {
        MessageBoxW(nullptr, L"Java not fond", nullptr, MB_ICONERROR | MB_OK);
        return 1;
    }
    run.javaHome = *javaHome;
    run.appData = appDataFolder();

    if (inPlugin) {
        run.needLaunchExtUpdaterAsAdmin = launchExtUpdater(run.javaHome, run.appData, nullptr, false, log);
        if (!run.needCopy && !run.needLaunchExtUpdaterAsAdmin) {
            log.write(L"INFO", L"inPlugin && !needCopy && !needLaunchExtUpdaterAsAdmin, quit");
            return 0;
        }
    }

    updateThroughElevatedCopy(args, run, platform, instance, previousInstance, log);

    if (inPlugin) {
        log.write(L"INFO", L"Updater launched not from bin folder, quit...");
    } else {
        startMainProgram(args, run.programFolder, log);
    }
    return 0;
}

int runUpdater(HINSTANCE instance, HINSTANCE previousInstance, const wchar_t* commandLine)
{
    // Never destroyed: a download that the runtime choice stopped waiting for
    // runs on in its own thread and may still write a line while the process
    // ends.
    static DiagnosticsLog& log = *new DiagnosticsLog(L"VantorUpdater.log");
    bool serverMode = false;
    return guarded(
        [&] {
            const CommandLineArgs args = CommandLineArgs::fromCommandLine(commandLine);
            serverMode = args.has(L"/asService");
            return serverMode ? runServerMode(args, log) : runClientMode(args, instance, previousInstance, log);
        },
        [&](const char*) {
            // Nothing in the run is meant to throw; running out of memory is
            // the one way it can.
            log.write(L"ERROR", L"EXCEPTION");
            return serverMode ? 0 : 1;
        });
}

}  // namespace vantor
