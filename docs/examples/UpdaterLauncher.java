import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.charset.Charset;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.CompletionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import ru.vantor.platform.win32.access.impl.OvWin32AccessInterface;

/**
 * Starts VantorUpdater.exe from the application and tells what the run did
 * (docs/INTEGRATION.md, "Lifecycle" and "Outcomes"). The run may wait for an
 * elevation prompt, a dialog and the Java updater without a time limit, so it
 * runs on a thread of its own, never on the UI thread; the caller gets a
 * CompletableFuture and hands its result back to the UI thread itself (with
 * SwingUtilities.invokeLater or Display.asyncExec, say).
 *
 * <pre>
 * UpdaterLauncher launcher = new UpdaterLauncher();
 * File folder = UpdaterLauncher.programFolder();   // needs vreg64 loaded and initialised
 * File appData = new File(System.getenv("APPDATA"));
 * launcher.start(UpdaterLauncher.pluginCopy(appData), folder)
 *         .thenAccept(result -&gt; show(result.outcome));
 * </pre>
 */
public final class UpdaterLauncher {
    /** What a run did, told by its exit code and its log lines. */
    public enum Outcome {
        /** The Java updater ran and ended with exit status 0. */
        UPDATED,
        /** Plug-in mode found nothing to do; no elevation was asked for. */
        NOTHING_TO_DO,
        /** The user refused the elevation prompt; the administrator-rights dialog was shown. */
        ELEVATION_REFUSED,
        /** The elevated copy could not be started for another reason. */
        ELEVATION_FAILED,
        /** The command pipe could not be used; nothing was run elevated. */
        PIPE_FAILED,
        /** The Java updater ran and ended with another exit status (see {@link Result#javaUpdaterStatus}). */
        JAVA_UPDATER_FAILED,
        /** The Java updater's command line was too long; it was not run. */
        JAVA_UPDATER_NOT_RUN,
        /** No usable Java runtime in the program folder ("Java not fond"). */
        NO_RUNTIME,
        /** The runtime choice stopped the run (a runtime or descriptor it could not read). */
        RUNTIME_CHOICE_STOPPED,
        /** The installation is not registered ("Install path not found"). */
        NOT_INSTALLED,
        /** Anything else: read {@link Result#entries}. */
        UNKNOWN
    }

    /** One run's exit code, outcome and log entries. */
    public static final class Result {
        /** The updater's exit code (-1 reads as -1). */
        public final int exitCode;
        /** What the run did. */
        public final Outcome outcome;
        /** The Java updater's exit status as logged, or null when it did not run. */
        public final String javaUpdaterStatus;
        /** The log entries this run appended, each starting with its time stamp. */
        public final List<String> entries;

        Result(int exitCode, Outcome outcome, String javaUpdaterStatus, List<String> entries) {
            this.exitCode = exitCode;
            this.outcome = outcome;
            this.javaUpdaterStatus = javaUpdaterStatus;
            this.entries = entries;
        }
    }

    /** Every entry of the log starts with its time stamp; an entry may span several lines. */
    private static final Pattern ENTRY = Pattern.compile("(?m)^\\[\\d+_\\d+_\\d+ \\d+:\\d+:\\d+:\\d+\\] ");
    private static final Pattern RESULT = Pattern.compile("INFO : \\[DEF\\] : command result: (.*)");

    private final ExecutorService worker = Executors.newSingleThreadExecutor(runnable -> {
        final Thread thread = new Thread(runnable, "VantorUpdater");
        thread.setDaemon(true);
        return thread;
    });

    /**
     * The program folder: the folder of the main program that
     * HKEY_CURRENT_USER\Software\Vantor "exec" names, as the updater reads it.
     *
     * @return the folder
     */
    public static File programFolder() {
        final String exec = OvWin32AccessInterface.readStringValue(OvWin32AccessInterface.HKEY_CURRENT_USER,
                                                                   "Software\\Vantor", "exec");
        return new File(exec).getAbsoluteFile().getParentFile();
    }

    /**
     * The copy that the application starts while it runs: the one the
     * plug-in brings.
     *
     * @param appData the user's roaming application-data folder
     * @return {@code <AppData>\Vantor\plugins\vupdater\VantorUpdater.exe}
     */
    public static File pluginCopy(File appData) {
        return new File(appData, "Vantor\\plugins\\vupdater\\VantorUpdater.exe");
    }

    /**
     * Starts the updater on the launcher's own thread, with the program
     * folder as its working folder, and completes once it has ended.
     *
     * @param updater the copy to start
     * @param programFolder the program folder
     * @param arguments its arguments ("/runVantor" only for the program
     *        folder's copy)
     * @return the run's result; completes exceptionally when the updater
     *         cannot be started
     */
    public CompletableFuture<Result> start(File updater, File programFolder, String... arguments) {
        return CompletableFuture.supplyAsync(() -> {
            try {
                return run(updater, programFolder, arguments);
            } catch (IOException e) {
                throw new CompletionException(e);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                throw new CompletionException(e);
            }
        }, worker);
    }

    private static Result run(File updater, File programFolder, String... arguments)
            throws IOException, InterruptedException {
        // %TEMP%\VantorUpdater.log: java.io.tmpdir is the folder GetTempPath gives.
        final File log = new File(System.getProperty("java.io.tmpdir"), "VantorUpdater.log");
        final long before = log.length();

        final List<String> command = new ArrayList<>();
        command.add(updater.getAbsolutePath());
        command.addAll(Arrays.asList(arguments));
        final Process process = new ProcessBuilder(command)
                .directory(programFolder)            // Vantor.jar and swt.jar are found there
                .redirectOutput(ProcessBuilder.Redirect.INHERIT)
                .redirectError(ProcessBuilder.Redirect.INHERIT)
                .start();
        final int exitCode = process.waitFor();

        final List<String> entries = entriesSince(log, before);
        String status = null;
        for (String entry : entries) {
            final Matcher result = RESULT.matcher(entry);
            if (result.find()) {
                status = result.group(1).trim();   // the last one is the Java updater's
            }
        }
        return new Result(exitCode, outcomeOf(exitCode, entries, status), status, entries);
    }

    private static Outcome outcomeOf(int exitCode, List<String> entries, String status) {
        if (exitCode == -1) {
            return has(entries, "/secondInstance without /asService") ? Outcome.UNKNOWN : Outcome.NOT_INSTALLED;
        }
        if (exitCode == 1) {
            if (has(entries, "No acceptable JVMs were found.")) {
                return Outcome.NO_RUNTIME;
            }
            return has(entries, "Exception in JVMChooser.") ? Outcome.RUNTIME_CHOICE_STOPPED : Outcome.UNKNOWN;
        }
        if (exitCode != 0) {
            return Outcome.UNKNOWN;
        }
        if (has(entries, "inPlugin && !needCopy && !needLaunchExtUpdaterAsAdmin, quit")) {
            return Outcome.NOTHING_TO_DO;
        }
        if (has(entries, "The user refused elevation, error 1223")) {
            return Outcome.ELEVATION_REFUSED;
        }
        if (has(entries, "Failed to start the elevated server, error ")) {
            return Outcome.ELEVATION_FAILED;
        }
        if (has(entries, "Failed to send data, err: ") || has(entries, "Command pipe opened by an unknown process")) {
            return Outcome.PIPE_FAILED;
        }
        if (has(entries, "Command does not fit the send buffer: ExecuteProcessCommand")) {
            return Outcome.JAVA_UPDATER_NOT_RUN;
        }
        if (status != null) {
            return "0".equals(status) ? Outcome.UPDATED : Outcome.JAVA_UPDATER_FAILED;
        }
        return Outcome.UNKNOWN;
    }

    private static boolean has(List<String> entries, String text) {
        for (String entry : entries) {
            if (entry.contains(text)) {
                return true;
            }
        }
        return false;
    }

    /**
     * The entries appended since the log had {@code before} bytes. The log
     * starts afresh once it reaches 205,824 bytes; a shorter file than before
     * is read from its start. It is written in the system's ANSI code page.
     */
    private static List<String> entriesSince(File log, long before) throws IOException {
        final List<String> entries = new ArrayList<>();
        if (!log.isFile()) {
            return entries;
        }
        final byte[] bytes;
        // Java opens files sharing reading and writing, so the updater can
        // still write while the log is read.
        try (RandomAccessFile file = new RandomAccessFile(log, "r")) {
            final long from = file.length() >= before ? before : 0;
            file.seek(from);
            bytes = readAll(file, file.length() - from);
        }
        final String text = new String(bytes, ansiCodePage());
        final Matcher start = ENTRY.matcher(text);
        int previous = -1;
        while (start.find()) {
            if (previous >= 0) {
                entries.add(text.substring(previous, start.start()));
            }
            previous = start.start();
        }
        if (previous >= 0) {
            entries.add(text.substring(previous));
        }
        return entries;
    }

    private static byte[] readAll(RandomAccessFile file, long length) throws IOException {
        final ByteArrayOutputStream out = new ByteArrayOutputStream((int) Math.min(length, 1 << 20));
        final byte[] chunk = new byte[8192];
        for (int n; (n = file.read(chunk)) > 0;) {
            out.write(chunk, 0, n);
        }
        return out.toByteArray();
    }

    /**
     * The system's ANSI code page: "native.encoding" from Java 17 on (Java 18
     * made UTF-8 the default charset), "sun.jnu.encoding" before, which on
     * Windows is the ANSI code page as well.
     */
    static Charset ansiCodePage() {
        for (String property : new String[] {"native.encoding", "sun.jnu.encoding"}) {
            final String name = System.getProperty(property);
            if (name != null && Charset.isSupported(name)) {
                return Charset.forName(name);
            }
        }
        return Charset.defaultCharset();
    }

    /**
     * Runs the plug-in's copy once and prints the outcome: {@code java -cp
     * vreg64-VERSION.jar;. -Djava.library.path=... UpdaterLauncher}.
     *
     * @param arguments none
     * @throws Exception when the run fails
     */
    public static void main(String[] arguments) throws Exception {
        System.loadLibrary("vreg64");
        OvWin32AccessInterface.initialise();
        try {
            final Result result = new UpdaterLauncher()
                    .start(pluginCopy(new File(System.getenv("APPDATA"))), programFolder()).get();
            System.out.println("exit code " + result.exitCode + ": " + result.outcome
                               + (result.javaUpdaterStatus == null ? "" : ", Java updater " + result.javaUpdaterStatus));
        } finally {
            OvWin32AccessInterface.destroy();
        }
    }
}
