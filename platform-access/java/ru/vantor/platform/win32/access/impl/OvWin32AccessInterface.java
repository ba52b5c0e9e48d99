package ru.vantor.platform.win32.access.impl;

/**
 * The native platform access library (vreg64.dll) as the Java application
 * sees it: every method below is implemented by an export of the library
 * named after the JNI short name of the method.
 *
 * <p>The application loads the library itself (for example with
 * {@code System.load}) before it calls any of these methods, and calls
 * {@link #initialise()} once before any operation that may report a failure.
 * Failures are thrown as {@link OvWin32AccessExceptionImpl}; root numbers of
 * the registry operations are 1 HKEY_CLASSES_ROOT, 2 HKEY_CURRENT_CONFIG,
 * 3 HKEY_LOCAL_MACHINE, 4 HKEY_CURRENT_USER and 5 HKEY_USERS.
 */
public final class OvWin32AccessInterface {
    private OvWin32AccessInterface() {
    }

    /**
     * Called by the library's hook thread for every message of its hidden
     * window. The answer -1 leaves the message to the default processing of
     * Windows; any other answer becomes the window procedure's result.
     */
    public static long callback(int message, int wParam, long lParam) {
        return -1;
    }

    // Library frame.
    public static native void initialise();
    public static native void destroy();
    public static native String getVersion();
    public static native String getModuleName();
    public static native boolean testNativeAvailability(String path);

    // Registry access.
    public static native String readStringValue(int root, String subKey, String valueName);
    public static native int readWordValue(int root, String subKey, String valueName);
    public static native void writeStringValue(int root, String subKey, String valueName, String value);
    public static native void writeWordValue(int root, String subKey, String valueName, int value);
    public static native void deleteKey(int root, String subKey, boolean withSubKeys);
    public static native void deleteValue(int root, String subKey, String valueName);
    public static native String[] getRegSubKeys(int root, String subKey);
    public static native Object[] getRegKeyValues(int root, String subKey);

    // Files, shell and processes.
    public static native int getFileAttributes(String path);
    public static native boolean setFileAttributes(String path, int attributes);
    public static native java.util.HashMap getFileInfo(String path);
    public static native String getLongPathName(String path);
    public static native String getShortPathName(String path);
    public static native void moveToRecycleBin(String path);
    public static native void copyPermission(String fromPath, String toPath);
    public static native void createProcess(String commandLine, boolean inheritHandles);
    public static native int shellExecute(String verb, String file, String parameters, String directory,
                                          int showCommand);
    public static native int shellExecuteAndWait(String file, String parameters);
    public static native int getProcessId(int processHandle);
    public static native long createMutex(String name);
    public static native String getUserAppData();
    public static native String getComputerName();

    // Drives and devices.
    public static native java.util.ArrayList getAvailableDrives();
    public static native java.util.HashMap getDriveInfo(char driveLetter);

    // Network probes.
    public static native void traceRoute(int probeId, int sourceAddress, int destinationAddress, int mode,
                                         Object listener);
    public static native long startBroadcast(int processId, String text);

    // Window hook, tray icon, power and OS version.
    public static native boolean shellNotifyIcon(int message, int window, int flags, int callbackMessage, int icon,
                                                 String tip, int state, int stateMask, String info,
                                                 String infoTitle, int infoFlags, int guidFirstField);
    public static native int setThreadExecutionState(int flags);
    public static native int enableScreenSaver();
    public static native int disableScreenSaver();
    public static native long disableScreenSaver2();
    public static native void SHChangeNotify();
    public static native boolean isWin7OrLater();
    public static native boolean isCorrectOSVersion(String name);
}
