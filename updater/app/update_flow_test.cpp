// The update run end to end: the real updater under Wine, with stand-in
// programs for the Java runtime, the Java updaters and the main program, the
// real registry value, the user's data folder and the real elevated copy.
#include "tests/support/jvm_test_support.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_support.h"
#include "updater/app/update_flow.h"
#include "updater/startup/installation.h"
#include "updater/ui/admin_dialog.h"

#include <gtest/gtest.h>

#include <thread>

namespace vantor {
namespace {

using namespace vantor::testing;

std::wstring shortPathOf(const std::wstring& path)
{
    wchar_t buffer[2048];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, 2048);
    return length > 0 && length < 2048 ? std::wstring(buffer, length) : path;
}

class UpdateRunTest : public ::testing::Test {
protected:
    UpdateRunTest() : m_exec(L"Software\\Vantor", L"exec") {}

    void SetUp() override
    {
        m_appData = appDataFolder();
        ASSERT_FALSE(m_appData.empty());
        m_plugin = m_appData + L"\\Vantor\\plugins\\vupdater";
        removeTree(m_plugin);
        createDirectories(m_plugin);
        writeFileBytes(m_plugin + L"\\plugin.properties", "plugin.name=vupdater\r\nplugin.version=3.4.1\r\n");
        writeFileBytes(m_plugin + L"\\vupdater.ext.jar", "");
        writeFileBytes(m_plugin + L"\\vupdater_3.4.1.jar", "");

        // The installation: main program, runtime, installed updater.
        m_program = m_root / L"Program Folder";
        installStandIn(m_program + L"\\Vantor.exe", "exit=0");
        installRuntime(m_program + L"\\jre", {});
        installUpdater(m_program + L"\\VantorUpdater.exe");
        m_exec.set(m_program + L"\\Vantor.exe");
    }

    void TearDown() override { removeTree(m_plugin); }

    std::wstring javaw() const { return m_program + L"\\jre\\bin\\javaw.exe"; }

    // The current updater copied to `path`.
    static void installUpdater(const std::wstring& path)
    {
        const std::size_t separator = path.find_last_of(L'\\');
        createDirectories(path.substr(0, separator));
        ASSERT_TRUE(copyFile(binPath(L"VantorUpdater.exe"), path));
    }

    // An older updater (product version 2.0.9.9) installed in the program folder.
    void installOlderUpdater()
    {
        ASSERT_TRUE(copyFile(binPath(L"version_probe_2099.exe"), m_program + L"\\VantorUpdater.exe"));
    }

    // Runs the updater at `path` with `arguments` from `folder` (its own
    // folder when empty), with this test's temporary folder, reading and
    // closing every message box it shows. Waits for the elevated server's end
    // when one was started.
    ProcessResult runUpdater(const std::wstring& path, const std::wstring& arguments = L"",
                             std::map<std::wstring, std::wstring> environment = {}, std::wstring folder = L"")
    {
        ProcessOptions options;
        options.environment = std::move(environment);
        options.environment[L"TMP"] = m_temp.path();
        options.environment[L"TEMP"] = m_temp.path();
        options.currentDirectory = folder.empty() ? path.substr(0, path.find_last_of(L'\\')) : folder;
        options.timeoutMs = 120000;
        ProcessResult result;
        {
            MessageBoxWatcher watcher;
            result = runProcess(L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments), options);
            m_boxes = watcher.seen();
        }
        if (logged("Start elevated server with arguments:") && !logged("Administrator-rights dialog skipped")) {
            for (int i = 0; i < 400 && !logged("Server is stopped"); ++i) {
                Sleep(50);
            }
        }
        return result;
    }

    std::string logText() const { return readFileBytes(m_temp / L"VantorUpdater.log"); }
    std::size_t count(const std::string& text) const
    {
        const std::string log = logText();
        std::size_t found = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++found;
        }
        return found;
    }
    bool logged(const std::string& text) const { return logText().find(text) != std::string::npos; }
    // Where `text` first stands in the log; npos when it does not.
    std::size_t position(const std::string& text) const { return logText().find(text); }

    std::vector<std::string> javawCalls() const { return standInCalls(javaw()); }

    std::string expectedJavaUpdater(const std::string& pluginVersion = "3.4.1") const
    {
        const std::string folder = narrow(shortPathOf(m_program));
        const std::string appData = narrow(m_appData);
        return "\"" + folder + "\\jre\\bin\\javaw.exe\" -classpath \"" + appData +
               "\\Vantor\\plugins\\vupdater\\vupdater_" + pluginVersion + ".jar\";Vantor.jar;swt.jar "
               "ru.vantor.plugins.vupdater.Updater updateonly \"" +
               folder + "\" \"" + appData + "\\Vantor\"";
    }

    std::string expectedExtUpdater(const char* word) const
    {
        return "\"" + narrow(shortPathOf(m_program)) + "\\jre\\bin\\javaw.exe\" -classpath \"" + narrow(m_appData) +
               "\\Vantor\\plugins\\vupdater\\vupdater.ext.jar\" ru.vantor.plugins.vupdater.ext.Main " + word;
    }

    RegistryValueOverride m_exec;
    RuntimeServer m_descriptor;
    TempDir m_root;
    TempDir m_temp;
    std::wstring m_appData;
    std::wstring m_plugin;
    std::wstring m_program;
    std::vector<SeenMessageBox> m_boxes;
};

TEST_F(UpdateRunTest, InPluginQuitsAfterTheExtUpdaterWhenNothingIsToDo)
{
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    const ProcessResult result = runUpdater(updater);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());

    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedExtUpdater("update"), javawCalls()[0]);
    EXPECT_TRUE(logged("INFO : [DEF] : ---START---"));
    EXPECT_TRUE(logged("INFO : [DEF] : Launch vupdater.ext as user"));
    EXPECT_TRUE(logged("INFO : [DEF] : inPlugin && !needCopy && !needLaunchExtUpdaterAsAdmin, quit"));
    EXPECT_FALSE(logged("Start elevated server"));
    EXPECT_FALSE(logged("[SRV]"));
    EXPECT_FALSE(logged(".exe found in "));
}

TEST_F(UpdateRunTest, MissingExtJarCountsAsNoRightsNeeded)
{
    DeleteFileW((m_plugin + L"\\vupdater.ext.jar").c_str());
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    EXPECT_EQ(0u, runUpdater(updater).exitCode);
    EXPECT_TRUE(javawCalls().empty());
    EXPECT_TRUE(logged("ERROR : [DEF] : " + narrow(m_plugin) + "\\vupdater.ext.jar not found"));
    EXPECT_TRUE(logged("inPlugin && !needCopy && !needLaunchExtUpdaterAsAdmin, quit"));
}

TEST_F(UpdateRunTest, InPluginWithANewerUpdaterReplacesTheInstalledOne)
{
    installOlderUpdater();
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    const ProcessResult result = runUpdater(updater);
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());

    // The installed updater is now the running one, under its own long name.
    EXPECT_EQ(readFileBytes(updater), readFileBytes(m_program + L"\\VantorUpdater.exe"));
    WIN32_FIND_DATAW entry;
    const win::FindHandle find(FindFirstFileW((m_program + L"\\*").c_str(), &entry));
    ASSERT_TRUE(find);
    do {
        EXPECT_EQ(nullptr, wcschr(entry.cFileName, L'~')) << "a copy under a short name: " << narrow(entry.cFileName);
    } while (FindNextFileW(find.get(), &entry));

    const std::vector<std::string> calls = javawCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(expectedExtUpdater("update"), calls[0]);
    EXPECT_EQ(expectedJavaUpdater(), calls[1]);

    // The outward effects in their fixed order.
    const std::size_t ext = position("Launch vupdater.ext as user");
    const std::size_t start = position("Start elevated server with arguments:");
    const std::size_t remove = position("[SRV] : Delete " + narrow(shortPathOf(m_program)) + "\\VantorUpdater.exe");
    const std::size_t copy = position("[SRV] : Copy '");
    const std::size_t java = position("[SRV] : execute command: ExecuteProcessCommand");
    const std::size_t quit = position("[DEF] : Updater launched not from bin folder, quit...");
    ASSERT_NE(std::string::npos, quit);
    EXPECT_LT(ext, start);
    EXPECT_LT(start, remove);
    EXPECT_LT(remove, copy);
    EXPECT_LT(copy, java);
    EXPECT_LT(java, quit);
    EXPECT_TRUE(logged("[SRV] : ARGS: /secondInstance /asService /logPath ") ||
                logged("[SRV] : ARGS:/secondInstance /asService /logPath "));
    EXPECT_TRUE(logged("Server is stopped"));
}

TEST_F(UpdateRunTest, ExtUpdaterAskingForRightsRunsAgainAsAdministrator)
{
    writeFileBytes(javaw() + L".cfg", "exit=1");
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    EXPECT_EQ(0u, runUpdater(updater).exitCode);

    const std::vector<std::string> calls = javawCalls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(expectedExtUpdater("update"), calls[0]);
    EXPECT_EQ(expectedExtUpdater("updateAdmin"), calls[1]);
    EXPECT_EQ(expectedJavaUpdater(), calls[2]);
    EXPECT_TRUE(logged("INFO : [DEF] : Need admin"));
    EXPECT_TRUE(logged("ERROR : [DEF] : Launch vupdater.ext as admin"));
    EXPECT_FALSE(logged("DELETE_COMMAND"));  // the installed updater is current
}

TEST_F(UpdateRunTest, FromTheProgramFolderTheServerIsAlwaysStartedAndTheMainProgramLaunched)
{
    writeFileBytes(javaw() + L".cfg", "record_folder=1\nexit=0");
    const std::wstring updater = m_program + L"\\VantorUpdater.exe";
    EXPECT_EQ(0u, runUpdater(updater, L"/runVantor word").exitCode);
    EXPECT_TRUE(m_boxes.empty());

    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    // The Java updater runs in the folder the client was started from.
    ASSERT_EQ(1u, standInFolders(javaw()).size());
    EXPECT_EQ(narrow(m_program), standInFolders(javaw())[0]);

    ASSERT_TRUE(waitForFile(m_program + L"\\Vantor.exe.calls", 10000));
    const std::vector<std::string> mainCalls = standInCalls(m_program + L"\\Vantor.exe");
    ASSERT_EQ(1u, mainCalls.size());
    EXPECT_NE(std::string::npos, mainCalls[0].find("/noupdate"));

    EXPECT_TRUE(logged("INFO : [DEF] : ARGS:/runVantor word "));
    EXPECT_TRUE(logged("Vantor.exe found in " + narrow(shortPathOf(m_program))));
    EXPECT_FALSE(logged("DELETE_COMMAND"));
    EXPECT_TRUE(logged("Found /runXXX arg, launch..."));
    EXPECT_LT(position("Found /runXXX arg, launch..."), position("INFO : [DEF] : Quit"));
    EXPECT_LT(position("[DEF] : send command : ExecuteProcessCommand"), position("Found /runXXX"));
    EXPECT_TRUE(logged("INFO : [DEF] : command result: 0\r\n"));
    EXPECT_TRUE(logged("INFO : [SRV] : Server is stopped"));
}

// A Java updater that fails ends the run with 0 all the same: only the
// logged result tells.
TEST_F(UpdateRunTest, JavaUpdaterThatFailsIsToldOnlyByItsLoggedResult)
{
    writeFileBytes(javaw() + L".cfg", "exit=3");
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_TRUE(logged("INFO : [DEF] : command result: 3\r\n"));
    EXPECT_TRUE(logged("INFO : [DEF] : Quit"));
}

TEST_F(UpdateRunTest, BesideAMainProgramTheInstalledUpdaterIsReplacedAndTheRegisteredProgramLaunched)
{
    installOlderUpdater();
    // The running updater stands beside a main program, but the registry
    // names the installation elsewhere.
    const std::wstring bin = m_root / L"bin";
    installStandIn(bin + L"\\Vantor.exe", "exit=0");
    installUpdater(bin + L"\\VantorUpdater.exe");
    EXPECT_EQ(0u, runUpdater(bin + L"\\VantorUpdater.exe", L"/runVantor").exitCode);

    EXPECT_EQ(readFileBytes(binPath(L"VantorUpdater.exe")), readFileBytes(m_program + L"\\VantorUpdater.exe"));
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    EXPECT_TRUE(waitForFile(m_program + L"\\Vantor.exe.calls", 10000));
    EXPECT_TRUE(standInCalls(bin + L"\\Vantor.exe").empty());
    EXPECT_TRUE(logged("INFO : [DEF] : send command : DELETE_COMMAND"));
    EXPECT_TRUE(logged("INFO : [DEF] : send command : COPY_COMMAND"));
    EXPECT_TRUE(logged("INFO : [DEF] : Quit"));
}

TEST_F(UpdateRunTest, RunSwitchInAnotherLetterCaseHasNoEffect)
{
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe", L"/runvantor").exitCode);
    EXPECT_EQ(1u, javawCalls().size());
    EXPECT_FALSE(logged("Found /runXXX"));
    EXPECT_TRUE(logged("INFO : [DEF] : Quit"));
    Sleep(500);
    EXPECT_TRUE(standInCalls(m_program + L"\\Vantor.exe").empty());
}

TEST_F(UpdateRunTest, RunSwitchIsIgnoredInThePlugin)
{
    installOlderUpdater();
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    EXPECT_EQ(0u, runUpdater(updater, L"/runVantor").exitCode);
    EXPECT_TRUE(logged("Updater launched not from bin folder, quit..."));
    EXPECT_FALSE(logged("Found /runXXX"));
    Sleep(500);
    EXPECT_TRUE(standInCalls(m_program + L"\\Vantor.exe").empty());
}

TEST_F(UpdateRunTest, MissingInstallPathShowsAMessageAndEndsWithMinusOne)
{
    m_exec.remove();
    const ProcessResult result = runUpdater(m_program + L"\\VantorUpdater.exe");
    EXPECT_EQ(0xFFFFFFFFu, result.exitCode);
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ("Install path not found", m_boxes[0].text);
    EXPECT_FALSE(m_boxes[0].caption.empty());  // the system's default caption
    EXPECT_TRUE(javawCalls().empty());
}

TEST_F(UpdateRunTest, MissingRuntimeShowsJavaNotFondAndEndsWithOne)
{
    removeTree(m_program + L"\\jre");
    const ProcessResult result = runUpdater(m_program + L"\\VantorUpdater.exe", L"/runVantor");
    EXPECT_EQ(1u, result.exitCode);
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ("Java not fond", m_boxes[0].text);
    EXPECT_FALSE(logged("Start elevated server"));
    EXPECT_TRUE(logged("INFO : [DEF] : removeUnacceptableJVMs"));
    EXPECT_TRUE(logged("ERROR : [DEF] : No acceptable JVMs were found."));
    Sleep(300);
    EXPECT_TRUE(standInCalls(m_program + L"\\Vantor.exe").empty());
}

TEST_F(UpdateRunTest, TheRuntimeIsChosenInEightLoggedStepsBeforeAnythingIsStarted)
{
    createDirectories(m_program + L"\\jre\\bin\\server");
    writeFileBytes(m_program + L"\\jre\\bin\\server\\jvm.dll", "");
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    std::size_t previous = 0;
    for (const char* step : {"getJvmFromCustomJvmPath", "getJvmFromCustomJavaHomePath", "getAllJVMs",
                             "Local Java is found, check version...", "java version \"1.8.0_151\"",
                             "Local Java is good, use it", "addJVMToAllList", "removeCopyBinJvmDirs",
                             "breakoutBinJvmDirs", "Java is old", "determineVersions", "removeUnacceptableJVMs",
                             "Start elevated server with arguments:"}) {
        const std::size_t at = position(std::string("[DEF] : ") + step);
        ASSERT_NE(std::string::npos, at) << step;
        EXPECT_LT(previous, at) << step;
        previous = at;
    }
    EXPECT_TRUE(logged("INFO : [DEF] : " + narrow(shortPathOf(m_program)) + "\\jre\\bin\\client\\jvm.dll"));
    EXPECT_TRUE(logged("ERROR : [DEF] : 1.8.0\r\n"));
    const std::vector<std::string> requests = m_descriptor.server().requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /java2.json -", requests[0]);
    // The client JVM is chosen; its home starts the Java updater.
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
}

TEST_F(UpdateRunTest, Java11PassesTheArchitectureTestBeforeItRunsTheUpdaters)
{
    writeFileBytes(m_program + L"\\jre\\bin\\java.exe.cfg", StandInRuntime::javaVersionConfig("11.0.2"));
    writeFileBytes(m_program + L"\\utils.jar", std::string("PK\x03\x04 ru/kestrel/core/JavaArch.class PK\x01\x02"));
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    const std::string folder = narrow(shortPathOf(m_program));
    const std::vector<std::string> calls = javawCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("\"" + folder + "\\jre\\bin\\javaw.exe\" -classpath \"" + folder + "\\utils.jar\" ru.kestrel.core.JavaArch",
              calls[0]);
    EXPECT_EQ(expectedJavaUpdater(), calls[1]);
    EXPECT_TRUE(logged("INFO : [DEF] : JavaArch.class found"));
    EXPECT_FALSE(logged("Java is old"));
}

// The runtime choice ends the program itself: exit status 1, no message, and
// its failing step's line is the last of the run.
TEST_F(UpdateRunTest, RuntimeAnswering17EndsTheRunWithOneAndNoMessage)
{
    writeFileBytes(m_program + L"\\jre\\bin\\java.exe.cfg", StandInRuntime::javaVersionConfig("17"));
    const ProcessResult result = runUpdater(m_program + L"\\VantorUpdater.exe", L"/runVantor");
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());
    const std::vector<std::string> lines = readLines(m_temp / L"VantorUpdater.log");
    ASSERT_FALSE(lines.empty());
    const std::string end = "INFO : [DEF] : Exception in JVMChooser.getAllJVMs()";
    EXPECT_EQ(end, lines.back().substr(lines.back().size() - std::min(lines.back().size(), end.size())));
    EXPECT_TRUE(javawCalls().empty());
    EXPECT_TRUE(m_descriptor.server().requests().empty());
    Sleep(300);
    EXPECT_TRUE(standInCalls(m_program + L"\\Vantor.exe").empty());
}

TEST_F(UpdateRunTest, DescriptorWithoutMinimumVersionEndsTheRunWithOne)
{
    m_descriptor.server().putFile(L"java2.json", "{\"packedJreEbzUrl\": \"http://127.0.0.1/jre2_packed.ebz\"}");
    const ProcessResult result = runUpdater(m_program + L"\\VantorUpdater.exe");
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(1u, m_descriptor.server().requests().size());
    EXPECT_TRUE(logged("INFO : [DEF] : Exception in JVMChooser.getAllJVMs()\r\n"));
    EXPECT_FALSE(logged("Local Java is good, use it"));
    EXPECT_FALSE(logged("addJVMToAllList"));
    EXPECT_TRUE(javawCalls().empty());
}

TEST_F(UpdateRunTest, FailedElevationShowsTheErrorThenTheDialogAndTheRunGoesOn)
{
    // The ext updater asks for rights; while it runs, the updater's own file
    // is renamed away, so that the elevated copy cannot be started for real.
    writeFileBytes(javaw() + L".cfg", "sleep_ms=3000\nexit=1");
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);

    ProcessOptions options;
    options.environment[L"TMP"] = m_temp.path();
    options.environment[L"TEMP"] = m_temp.path();
    options.currentDirectory = m_plugin;
    ProcessResult result;
    std::vector<SeenMessageBox> boxes;
    {
        MessageBoxWatcher watcher;
        ChildProcess child;
        ASSERT_TRUE(child.start(L"\"" + updater + L"\"", options));
        ASSERT_TRUE(waitForFile(javaw() + L".calls", 30000));
        ASSERT_TRUE(MoveFileW(updater.c_str(), (m_plugin + L"\\moved.exe").c_str()));
        result = child.wait(120000);
        boxes = watcher.seen();
    }
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0u, result.exitCode);

    // The shell may first show its own error ("File not found."); then the
    // updater's message names the failure, and the dialog follows.
    ASSERT_GE(boxes.size(), 2u);
    const SeenMessageBox& error = boxes[boxes.size() - 2];
    const SeenMessageBox& dialog = boxes.back();
    EXPECT_EQ("#32770", error.windowClass);
    EXPECT_EQ("Failed to start the elevated server, error 2", error.text);
    EXPECT_EQ("InstallerWindowClass", dialog.windowClass);
    EXPECT_EQ("Vantor", dialog.caption);
    EXPECT_EQ("This updater requires admin privileges", dialog.text);
    EXPECT_EQ("Close", dialog.buttons);

    // Only the ext updater ran; the Java updater needs the elevated copy.
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedExtUpdater("update"), javawCalls()[0]);
    EXPECT_TRUE(logged("INFO : [DEF] : Need admin"));
    EXPECT_TRUE(logged("WARNING : [DEF] : Failed to start the elevated server, error 2"));
    EXPECT_FALSE(logged("send command"));
    EXPECT_FALSE(logged("[SRV]"));
    EXPECT_TRUE(logged("INFO : [DEF] : Updater launched not from bin folder, quit..."));
}

TEST_F(UpdateRunTest, RegisteredPathThatCannotBeShortenedIsUsedAsItIs)
{
    // The registered main program does not exist, so it has no short form.
    const std::wstring other = m_root / L"Other Folder";
    installRuntime(other + L"\\jre", {});
    m_exec.set(other + L"\\Vantor.exe");
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    EXPECT_TRUE(logged("ERROR : [DEF] : Can't convert long path to short"));
    EXPECT_TRUE(logged("ERROR : [DEF] : " + narrow(other) + "\\Vantor.exe"));
    EXPECT_EQ(1u, standInCalls(other + L"\\jre\\bin\\javaw.exe").size());
}

// Wine starts every program that is asked for with the elevation verb, so a
// refused elevation is arranged here through the client's edge, with the flow
// run in this process.
struct DialogRecord {
    int shown = 0;
};
DialogRecord g_dialog;

bool refuseElevation(DiagnosticsLog& log, const std::wstring&, win::Handle*)
{
    log.write(L"WARNING", L"The user refused elevation, error 1223");
    return false;
}

class RefusedElevationTest : public UpdateRunTest {
protected:
    void SetUp() override
    {
        UpdateRunTest::SetUp();
        g_dialog = {};
    }
    void TearDown() override
    {
        currentLog = nullptr;
        UpdateRunTest::TearDown();
    }

    int runRefused(const std::wstring& ownPath, const wchar_t* commandLine)
    {
        ClientPlatform platform;
        platform.ownPath = shortPathOf(ownPath);
        platform.startServer = &refuseElevation;
        return runClientMode(CommandLineArgs::fromCommandLine(commandLine), GetModuleHandleW(nullptr), nullptr,
                             m_log.log(), platform);
    }

    TestLog m_log;
};

TEST_F(RefusedElevationTest, FromTheProgramFolderTheDialogIsShownAndTheMainProgramStillLaunched)
{
    EXPECT_EQ(0, runRefused(m_program + L"\\VantorUpdater.exe", L"/runVantor"));
    EXPECT_EQ(1, g_dialog.shown);
    EXPECT_TRUE(javawCalls().empty());
    EXPECT_FALSE(m_log.contains("send command"));
    ASSERT_TRUE(waitForFile(m_program + L"\\Vantor.exe.calls", 10000));
    EXPECT_NE(std::string::npos, standInCalls(m_program + L"\\Vantor.exe")[0].find("/noupdate"));
    EXPECT_TRUE(m_log.contains("INFO : [DEF] : Found /runXXX arg, launch..."));
    EXPECT_TRUE(m_log.contains("INFO : [DEF] : Quit"));
}

// A server that ends without ever opening the pipe: the wait fails.
win::Handle g_quittingServer;

bool startQuittingServer(DiagnosticsLog&, const std::wstring&, win::Handle* serverProcess)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + binPath(L"stand_in.exe") + L"\" --sleep-ms 300 --exit 0";
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    *serverProcess = std::move(win::ProcessInformation::adopt(info).process);
    return true;
}

TEST_F(RefusedElevationTest, ServerThatNeverConnectsGivesTheConnectionMessageAndFailedSends)
{
    ClientPlatform platform;
    platform.ownPath = shortPathOf(m_program + L"\\VantorUpdater.exe");
    platform.startServer = &startQuittingServer;
    std::vector<SeenMessageBox> boxes;
    {
        MessageBoxWatcher watcher(true);
        EXPECT_EQ(0, runClientMode(CommandLineArgs::fromCommandLine(L""), GetModuleHandleW(nullptr), nullptr,
                                   m_log.log(), platform));
        boxes = watcher.seen();
    }
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("CLN", boxes[0].caption);
    EXPECT_EQ("Failed to make connection on named pipe.", boxes[0].text);
    EXPECT_EQ(0, g_dialog.shown);
    EXPECT_TRUE(m_log.contains("ERROR : [DEF] : The server ended before it opened the command pipe"));
    EXPECT_TRUE(m_log.contains("ERROR : [DEF] : Failed to send data, err: 6"));
    EXPECT_TRUE(javawCalls().empty());
    EXPECT_TRUE(m_log.contains("INFO : [DEF] : Quit"));
}

TEST_F(RefusedElevationTest, InThePluginTheDialogIsShownAndNothingIsSent)
{
    installOlderUpdater();
    writeFileBytes(javaw() + L".cfg", "exit=1");  // the ext updater asks for rights
    const std::wstring updater = m_plugin + L"\\VantorUpdater.exe";
    installUpdater(updater);
    EXPECT_EQ(0, runRefused(updater, L""));
    EXPECT_EQ(1, g_dialog.shown);
    ASSERT_EQ(1u, javawCalls().size());  // the ext updater as the user only
    EXPECT_EQ(expectedExtUpdater("update"), javawCalls()[0]);
    EXPECT_FALSE(m_log.contains("send command"));
    EXPECT_TRUE(m_log.contains("Updater launched not from bin folder, quit..."));
    // The installed updater stays as it was.
    EXPECT_EQ(readFileBytes(binPath(L"version_probe_2099.exe")), readFileBytes(m_program + L"\\VantorUpdater.exe"));
}

// Wine reports Windows XP (5.2) to a program of this name, so the start takes
// the path of systems without an elevation prompt.
TEST_F(UpdateRunTest, BeforeVistaTheServerRunsFromATemporaryCopy)
{
    const std::wstring name = L"VantorUpdaterXp.exe";
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\" + name;
    RegSetKeyValueW(HKEY_CURRENT_USER, appDefaults.c_str(), L"Version", REG_SZ, L"winxp64",
                    static_cast<DWORD>(sizeof L"winxp64"));
    installUpdater(m_program + L"\\" + name);
    const ProcessResult result = runUpdater(m_program + L"\\" + name);
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());

    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());  // Wine's user is an administrator: no warning
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    EXPECT_TRUE(logged("[SRV] : Server is stopped"));

    // The copy that ran: a fresh folder in the temporary folder.
    WIN32_FIND_DATAW entry;
    ASSERT_TRUE(win::FindHandle(FindFirstFileW((m_temp / L"vup*").c_str(), &entry)));
    const std::wstring folder = m_temp / entry.cFileName;
    EXPECT_TRUE(directoryExists(folder));
    EXPECT_EQ(readFileBytes(binPath(L"VantorUpdater.exe")), readFileBytes(folder + L"\\" + name));
}

TEST_F(UpdateRunTest, PipeNameTakenStartsNoElevatedCopyAndSaysSoOnce)
{
    ChildProcess squatter;
    const std::wstring reply = m_root / L"reply.txt";
    ASSERT_TRUE(squatter.start(L"\"" + binPath(L"pipe_squatter.exe") + L"\" \"" + reply + L"\" CRT_FLD_CMD \"" +
                               (m_root / L"squatted") + L"\""));
    ASSERT_TRUE(waitForPipe(kCommandPipeName, 20000));

    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    // Said as a failed connection is, and the run goes on as it does then,
    // without asking for a copy that nothing could serve.
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ("CLN", m_boxes[0].caption);
    EXPECT_EQ("Failed to make connection on named pipe.", m_boxes[0].text);
    EXPECT_TRUE(logged("ERROR : [DEF] : Command pipe name is taken by another process"));
    EXPECT_FALSE(logged("Start elevated server"));
    EXPECT_FALSE(logged("[SRV]"));
    EXPECT_TRUE(logged("ERROR : [DEF] : Failed to send data, err: 6"));
    EXPECT_TRUE(logged("INFO : [DEF] : Quit"));
    EXPECT_TRUE(javawCalls().empty());
    // No one opened the squatter's pipe: it is still waiting.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(squatter.handle(), 0));
}

TEST_F(UpdateRunTest, AProcessThatConnectsFirstIsSentNothingAndTheRunServesItsOwnCopy)
{
    // This process opens the pipe as soon as the client has made it, a
    // second before the elevated copy does, and reads what comes to it.
    bool opened = false;
    bool readFailed = false;
    DWORD received = 0;
    std::thread early([&] {
        win::Handle end;
        opened = waitUntil(
            [&] {
                end.reset(CreateFileW(kCommandPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
                return end.valid();
            },
            60000);
        char buffer[512];
        readFailed = opened && !ReadFile(end.get(), buffer, sizeof buffer, &received, nullptr);
    });
    const ProcessResult result = runUpdater(m_program + L"\\VantorUpdater.exe");
    early.join();

    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readFailed);
    EXPECT_EQ(0u, received);
    EXPECT_TRUE(logged("ERROR : [DEF] : Command pipe opened by an unknown process " +
                       std::to_string(GetCurrentProcessId()) + ", nothing is sent"));
    // The Java updater ran once, through the client's own elevated copy.
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    EXPECT_TRUE(logged("INFO : [SRV] : execute command: ExecuteProcessCommand"));
}

TEST_F(UpdateRunTest, ArgumentsThatGoAstrayStartOneElevatedCopyInServerMode)
{
    // A stray quote, and a quoted value that ends in a backslash, would take
    // the appended switches into their own argument if forwarded as typed.
    const std::wstring updater = m_program + L"\\VantorUpdater.exe";
    for (const std::wstring arguments : {L"/runVantor \"x", L"/runVantor \"C:\\dir\\\""}) {
        DeleteFileW((m_temp / L"VantorUpdater.log").c_str());
        DeleteFileW((javaw() + L".calls").c_str());
        EXPECT_EQ(0u, runUpdater(updater, arguments).exitCode) << narrow(arguments);
        EXPECT_EQ(1u, count("---START---")) << narrow(arguments);
        EXPECT_EQ(1u, count("[SRV] : ARGS:/runVantor ")) << narrow(arguments);
        EXPECT_TRUE(logged("[SRV] : Server is stopped"));
        ASSERT_EQ(1u, javawCalls().size());
        EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    }
    EXPECT_TRUE(logged("[SRV] : ARGS:/runVantor C:\\dir\" /secondInstance /asService /logPath "));

    // A client that finds "/secondInstance" without "/asService" starts no
    // elevated copy of its own.
    DeleteFileW((m_temp / L"VantorUpdater.log").c_str());
    EXPECT_EQ(0xFFFFFFFFu, runUpdater(updater, L"/secondInstance /runVantor").exitCode);
    EXPECT_TRUE(logged("ERROR : [DEF] : /secondInstance without /asService"));
    EXPECT_FALSE(logged("Start elevated server"));
}

TEST_F(UpdateRunTest, PluginVersionThatIsNoVersionIsTakenAsMissing)
{
    writeFileBytes(m_plugin + L"\\plugin.properties",
                   "plugin.version=3.4.1.jar\" -javaagent:agent.jar -cp \"x\r\n");
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    ASSERT_EQ(1u, javawCalls().size());
    EXPECT_EQ(expectedJavaUpdater("plugin.version"), javawCalls()[0]);
    EXPECT_TRUE(logged("ERROR : [DEF] : plugin.version is not a version"));
}

TEST_F(UpdateRunTest, LogNameLinkedToAnotherFileLeavesThatFileAloneAndTheRunCompletes)
{
    const std::wstring other = m_root / L"other.txt";
    writeFileBytes(other, "someone else's file\r\n");
    ASSERT_TRUE(CreateHardLinkW((m_temp / L"VantorUpdater.log").c_str(), other.c_str(), nullptr));
    EXPECT_EQ(0u, runUpdater(m_program + L"\\VantorUpdater.exe").exitCode);
    ASSERT_EQ(1u, javawCalls().size());  // the Java updater, run by the elevated copy
    EXPECT_EQ(expectedJavaUpdater(), javawCalls()[0]);
    EXPECT_EQ("someone else's file\r\n", readFileBytes(other));
}

// Wine loads a DLL from the program's folder in place of its own only when
// told to prefer native DLLs, as Windows does for DLLs that are not known.
// (Wine's own user32 imports version.dll, and Wine resolves that import
// through the program's folder before the program runs, so the planted DLL
// is mapped into every program that imports user32, and Wine's message boxes
// call it. Windows resolves the imports of its known DLLs from the system
// folder. What the updater decides is whose functions it calls.)
TEST_F(UpdateRunTest, DllPlantedBesideTheUpdaterIsNeverUsed)
{
    installOlderUpdater();
    const std::wstring planted = m_root / L"planted";
    const std::wstring updater = L"VantorUpdaterPlanted.exe";
    installUpdater(planted + L"\\" + updater);
    ASSERT_TRUE(copyFile(binPath(L"planted_version.dll"), planted + L"\\version.dll"));
    ASSERT_TRUE(copyFile(binPath(L"dll_probe.exe"), planted + L"\\dll_probe.exe"));
    const std::map<std::wstring, std::wstring> preferNative{{L"WINEDLLOVERRIDES", L"version=n,b"}};
    // Children (the elevated copy) take the overrides from Wine's
    // per-program settings.
    for (const std::wstring& program : {updater, std::wstring(L"dll_probe.exe")}) {
        const std::wstring key = L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides";
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"version", REG_SZ, L"native,builtin",
                        static_cast<DWORD>(sizeof L"native,builtin"));
    }

    // An unguarded program in that folder uses it...
    ProcessOptions options;
    options.environment = preferNative;
    EXPECT_EQ(0u, runProcess(L"\"" + planted + L"\\dll_probe.exe\"", options).exitCode);
    EXPECT_TRUE(fileExists(planted + L"\\version.dll.called"));
    DeleteFileW((planted + L"\\version.dll.called").c_str());

    // ...the updater reads the versions through the system's DLL: its own
    // 2.1.0.0 is newer than the installed 2.0.9.9, so the installed updater
    // is replaced (the planted DLL would have read both as 0.0.0.0, equal).
    const ProcessResult result = runUpdater(planted + L"\\" + updater, L"", preferNative);
    for (const std::wstring& program : {updater, std::wstring(L"dll_probe.exe")}) {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + program).c_str());
    }
    EXPECT_EQ(0u, result.exitCode);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(logged("[SRV] : execute command: DELETE_COMMAND"));
    EXPECT_FALSE(fileExists(planted + L"\\version.dll.called"));
}

}  // namespace
// The test's own dialog: it only counts that it was shown.
void showAdminRightsDialog(HINSTANCE, HINSTANCE, DiagnosticsLog& log)
{
    ++g_dialog.shown;
    log.write(L"INFO", L"Dialog shown");
}

}  // namespace vantor
