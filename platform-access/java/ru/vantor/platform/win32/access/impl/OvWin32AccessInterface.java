package ru.vantor.platform.win32.access.impl;

/**
 * The native platform access library ({@code vreg64.dll}) as the Java
 * application sees it: every native method below is implemented by an export
 * of the library named after the JNI short name of the method.
 *
 * <p><b>Loading.</b> The library is a 64-bit Windows DLL. The application
 * loads it before it calls any of these methods, with
 * {@code System.loadLibrary("vreg64")} (the DLL on {@code java.library.path})
 * or {@code System.load} with its full path, from code of the class loader that
 * loads this class: the VM binds the natives of a class only to libraries that
 * the class's own loader loaded. A 32-bit VM cannot load the DLL and throws
 * {@link UnsatisfiedLinkError}. The DLL needs nothing beyond the system's own
 * DLLs. The classes are compiled for Java 8 and later.
 *
 * <p><b>Start and end.</b> {@link #initialise()} is called once, after
 * loading and before any operation that may report a failure; it finds this
 * class and {@link OvWin32AccessExceptionImpl} and starts the hook thread,
 * whose hidden window hands every message to {@link #callback(int, int, long)},
 * which passes it on to the {@link HookMessageHandler} that the application
 * set with {@link #setHookMessageHandler(HookMessageHandler)}.
 * {@link #destroy()} ends the hook thread.
 *
 * <p><b>Failures.</b> A failure is thrown as an
 * {@link OvWin32AccessExceptionImpl} built from (operation, message), two fixed
 * English texts; a Windows error code, where one is reported, is appended to
 * the message as {@code " (error_code=N)"}. Every method documents its pairs.
 * Once the exception is thrown, the method's return value is not seen by the
 * caller. The <em>neutral result</em> (null, 0, -1 or false, given per method)
 * is what a method returns when it cannot throw: before {@code initialise}, or
 * when {@code initialise} could not find the exception class, a failure is
 * only written to standard error as
 * {@code "OvWin32AccessInterface: failed to throw exception <operation>: <message>"}
 * and the method returns its neutral result.
 *
 * <p><b>Strings.</b> A null string argument counts as the empty text unless a
 * method says otherwise. Each string argument is copied into a fixed buffer
 * whose largest accepted length, in UTF-16 units, each method gives; a longer
 * argument throws ("jstringToChars", "jstring truncation occurred") before
 * anything else is done, except where a method says otherwise.
 *
 * <p><b>Threads.</b> Every operation runs to its end on the calling Java
 * thread, takes no locks and keeps no state between calls (except the tray
 * icon's identifier, see {@link #shellNotifyIcon}); operations may be called
 * from several threads at once. The only thread the library starts is the
 * hook thread, which calls {@code callback}.
 *
 * <p><b>Narrow mode.</b> The library decides once, when it is loaded, between
 * the wide (UTF-16) and the narrow (ANSI) functions of Windows. Narrow mode is
 * chosen only on the Windows 9x platform, so on the 64-bit systems the library
 * runs on it is never in effect. In narrow mode each UTF-16 unit of an
 * argument is reduced to its low 8 bits (U+0141 becomes the byte 0x41, U+0100
 * a zero byte that ends the text), and texts come back as their bytes handed
 * to the VM's modified-UTF-8 string constructor as they are. Methods that use
 * the wide functions in both modes say so.
 *
 * <p><b>Windows versions.</b> 64-bit Windows. The version checks
 * {@link #isWin7OrLater()} and {@link #isCorrectOSVersion(String)} see the
 * version that Windows reports to the executable hosting the VM.
 *
 * <p><b>Registry roots.</b> The {@code root} argument of the registry
 * operations is {@link #HKEY_CLASSES_ROOT} (1), {@link #HKEY_CURRENT_CONFIG}
 * (2), {@link #HKEY_LOCAL_MACHINE} (3), {@link #HKEY_CURRENT_USER} (4) or
 * {@link #HKEY_USERS} (5); any other number
 * throws ("readValue", "unsupported type"), whichever operation was called.
 * The library is a 64-bit process's: it sees the 64-bit registry view.
 */
public final class OvWin32AccessInterface {
    private OvWin32AccessInterface() {
    }

    // Registry roots: the root argument of the registry operations.

    /** {@code HKEY_CLASSES_ROOT}. */
    public static final int HKEY_CLASSES_ROOT = 1;
    /** {@code HKEY_CURRENT_CONFIG}. */
    public static final int HKEY_CURRENT_CONFIG = 2;
    /** {@code HKEY_LOCAL_MACHINE}. */
    public static final int HKEY_LOCAL_MACHINE = 3;
    /** {@code HKEY_CURRENT_USER}. */
    public static final int HKEY_CURRENT_USER = 4;
    /** {@code HKEY_USERS}. */
    public static final int HKEY_USERS = 5;

    // File attributes: getFileAttributes and setFileAttributes.

    /** {@code FILE_ATTRIBUTE_READONLY}. */
    public static final int FILE_ATTRIBUTE_READONLY = 0x1;
    /** {@code FILE_ATTRIBUTE_HIDDEN}. */
    public static final int FILE_ATTRIBUTE_HIDDEN = 0x2;
    /** {@code FILE_ATTRIBUTE_SYSTEM}. */
    public static final int FILE_ATTRIBUTE_SYSTEM = 0x4;
    /** {@code FILE_ATTRIBUTE_DIRECTORY} (read only: it cannot be set). */
    public static final int FILE_ATTRIBUTE_DIRECTORY = 0x10;
    /** {@code FILE_ATTRIBUTE_ARCHIVE}. */
    public static final int FILE_ATTRIBUTE_ARCHIVE = 0x20;
    /** {@code FILE_ATTRIBUTE_NORMAL}: no other attribute (valid only alone). */
    public static final int FILE_ATTRIBUTE_NORMAL = 0x80;
    /** {@code INVALID_FILE_ATTRIBUTES}: what getFileAttributes gives for a missing path. */
    public static final int INVALID_FILE_ATTRIBUTES = -1;

    // Show commands: the showCommand argument of shellExecute.

    /** {@code SW_HIDE}. */
    public static final int SW_HIDE = 0;
    /** {@code SW_SHOWNORMAL}. */
    public static final int SW_SHOWNORMAL = 1;
    /** {@code SW_SHOWMINIMIZED}. */
    public static final int SW_SHOWMINIMIZED = 2;
    /** {@code SW_SHOWMAXIMIZED}. */
    public static final int SW_SHOWMAXIMIZED = 3;
    /** {@code SW_SHOWNOACTIVATE}. */
    public static final int SW_SHOWNOACTIVATE = 4;
    /** {@code SW_SHOW}. */
    public static final int SW_SHOW = 5;

    // Trace modes: the mode argument of traceRoute.

    /** A normal trace: TTL 1 to 33, ending when the destination answers. */
    public static final int TRACE_NORMAL = 0;
    /** The continuous mode: every probe with TTL 32, until the listener stops it. */
    public static final int TRACE_CONTINUOUS = 1;

    // Tray icon: the message, flags, state and infoFlags arguments of shellNotifyIcon.

    /** {@code NIM_ADD}: adds the icon. */
    public static final int NIM_ADD = 0;
    /** {@code NIM_MODIFY}: changes the icon. */
    public static final int NIM_MODIFY = 1;
    /** {@code NIM_DELETE}: removes the icon. */
    public static final int NIM_DELETE = 2;
    /** {@code NIM_SETFOCUS}: gives the icon the keyboard focus. */
    public static final int NIM_SETFOCUS = 3;
    /** {@code NIM_SETVERSION}: the icon's behaviour version (the record's version field is always 0). */
    public static final int NIM_SETVERSION = 4;
    /** {@code NIF_MESSAGE}: callbackMessage counts. */
    public static final int NIF_MESSAGE = 0x1;
    /** {@code NIF_ICON}: icon counts. */
    public static final int NIF_ICON = 0x2;
    /** {@code NIF_TIP}: tip counts. */
    public static final int NIF_TIP = 0x4;
    /** {@code NIF_STATE}: state and stateMask count. */
    public static final int NIF_STATE = 0x8;
    /** {@code NIF_INFO}: info, infoTitle and infoFlags count (a balloon). */
    public static final int NIF_INFO = 0x10;
    /** {@code NIF_GUID}: the icon is identified by the library's tray GUID (Windows 7 and later). */
    public static final int NIF_GUID = 0x20;
    /** {@code NIF_REALTIME}: a balloon that cannot be shown at once is dropped. */
    public static final int NIF_REALTIME = 0x40;
    /** {@code NIF_SHOWTIP}: the standard tool tip is shown (Vista and later). */
    public static final int NIF_SHOWTIP = 0x80;
    /** {@code NIS_HIDDEN}: the icon is hidden. */
    public static final int NIS_HIDDEN = 0x1;
    /** {@code NIS_SHAREDICON}: the icon handle is shared. */
    public static final int NIS_SHAREDICON = 0x2;
    /** {@code NIIF_NONE}: a balloon without an icon. */
    public static final int NIIF_NONE = 0x0;
    /** {@code NIIF_INFO}: the information icon. */
    public static final int NIIF_INFO = 0x1;
    /** {@code NIIF_WARNING}: the warning icon. */
    public static final int NIIF_WARNING = 0x2;
    /** {@code NIIF_ERROR}: the error icon. */
    public static final int NIIF_ERROR = 0x3;
    /** {@code NIIF_NOSOUND}: no sound with the balloon. */
    public static final int NIIF_NOSOUND = 0x10;

    // Execution state: setThreadExecutionState and what the screen-saver methods return.

    /** {@code ES_SYSTEM_REQUIRED}: the system stays awake. */
    public static final int ES_SYSTEM_REQUIRED = 0x1;
    /** {@code ES_DISPLAY_REQUIRED}: the display stays on. */
    public static final int ES_DISPLAY_REQUIRED = 0x2;
    /** {@code ES_AWAYMODE_REQUIRED}: away mode instead of sleep. */
    public static final int ES_AWAYMODE_REQUIRED = 0x40;
    /** {@code ES_CONTINUOUS}: the state lasts until it is set again (a negative int). */
    public static final int ES_CONTINUOUS = 0x80000000;

    // Drive types: the "DriveType" entry of getDriveInfo.

    /** {@code DRIVE_UNKNOWN}. */
    public static final long DRIVE_UNKNOWN = 0;
    /** {@code DRIVE_NO_ROOT_DIR}: no drive of that letter. */
    public static final long DRIVE_NO_ROOT_DIR = 1;
    /** {@code DRIVE_REMOVABLE}. */
    public static final long DRIVE_REMOVABLE = 2;
    /** {@code DRIVE_FIXED}. */
    public static final long DRIVE_FIXED = 3;
    /** {@code DRIVE_REMOTE} (getDriveInfo gives an empty map for it). */
    public static final long DRIVE_REMOTE = 4;
    /** {@code DRIVE_CDROM}. */
    public static final long DRIVE_CDROM = 5;
    /** {@code DRIVE_RAMDISK}. */
    public static final long DRIVE_RAMDISK = 6;

    // Requirement names of isCorrectOSVersion.

    /** Windows XP SP1 (5.1 SP1) or later. */
    public static final String IS_WINDOWS_XP_SP1_OR_GREATER = "IsWindowsXPSP1OrGreater";
    /** Windows XP SP2 (5.1 SP2) or later. */
    public static final String IS_WINDOWS_XP_SP2_OR_GREATER = "IsWindowsXPSP2OrGreater";
    /** Windows XP SP3 (5.1 SP3) or later. */
    public static final String IS_WINDOWS_XP_SP3_OR_GREATER = "IsWindowsXPSP3OrGreater";
    /** Windows Vista SP1 (6.0 SP1) or later. */
    public static final String IS_WINDOWS_VISTA_SP1_OR_GREATER = "IsWindowsVistaSP1OrGreater";
    /** Windows Vista SP2 (6.0 SP2) or later. */
    public static final String IS_WINDOWS_VISTA_SP2_OR_GREATER = "IsWindowsVistaSP2OrGreater";
    /** Windows 7 SP1 (6.1 SP1) or later. */
    public static final String IS_WINDOWS_7_SP1_OR_GREATER = "IsWindows7SP1OrGreater";
    /** Windows 8 (6.2) or later. */
    public static final String IS_WINDOWS_8_OR_GREATER = "IsWindows8OrGreater";
    /** Windows 8.1 (6.3) or later; false under a VM host whose manifest does not declare it. */
    public static final String IS_WINDOWS_8_POINT_1_OR_GREATER = "IsWindows8Point1OrGreater";
    /** Windows 10 (10.0) or later; false under a VM host whose manifest does not declare it. */
    public static final String IS_WINDOWS_10_OR_GREATER = "IsWindows10OrGreater";

    // Messages of the hook window that applications commonly handle.

    /** {@code WM_NCCREATE}: the first message of the window's creation; do not answer 0. */
    public static final int WM_NCCREATE = 0x0081;
    /** {@code WM_CLOSE}: answering 0 keeps the window. */
    public static final int WM_CLOSE = 0x0010;
    /** {@code WM_QUERYENDSESSION}: the session is about to end. */
    public static final int WM_QUERYENDSESSION = 0x0011;
    /** {@code WM_ENDSESSION}: the session ends (wParam not 0) or goes on. */
    public static final int WM_ENDSESSION = 0x0016;
    /** {@code WM_SETTINGCHANGE}: a system setting changed. */
    public static final int WM_SETTINGCHANGE = 0x001A;
    /** {@code WM_TIMECHANGE}: the system time changed. */
    public static final int WM_TIMECHANGE = 0x001E;
    /** {@code WM_DISPLAYCHANGE}: the display resolution changed. */
    public static final int WM_DISPLAYCHANGE = 0x007E;
    /** {@code WM_POWERBROADCAST}: a power event; wParam holds its kind. */
    public static final int WM_POWERBROADCAST = 0x0218;
    /** {@code WM_DEVICECHANGE}: a device arrived or went. */
    public static final int WM_DEVICECHANGE = 0x0219;
    /** {@code WM_USER}: the first message number free for the application's own use (a tray callback message, say). */
    public static final int WM_USER = 0x0400;
    /** {@code PBT_APMSUSPEND}: the wParam of {@code WM_POWERBROADCAST} before the system sleeps. */
    public static final int PBT_APMSUSPEND = 0x4;
    /** {@code PBT_APMRESUMEAUTOMATIC}: the wParam of {@code WM_POWERBROADCAST} after the system woke. */
    public static final int PBT_APMRESUMEAUTOMATIC = 0x12;

    /** The handler of the hook window's messages; read once per message, never under a lock. */
    private static volatile HookMessageHandler hookMessageHandler;

    /**
     * Sets what receives the hook window's messages from now on: every
     * message that {@link #callback(int, int, long)} gets after this method
     * returns, on whatever thread, goes to {@code handler}. A message whose
     * handling has already begun finishes with the handler it started with.
     * Safe to call on any thread, also from inside the handler.
     *
     * @param handler the new handler, or null to leave every message to the
     *        default processing of Windows again
     */
    public static void setHookMessageHandler(HookMessageHandler handler) {
        hookMessageHandler = handler;
    }

    /**
     * Called by the hook thread for every message of the library's hidden
     * window of the class "Vantor Window Hook", from the messages of its
     * creation ({@code WM_NCCREATE}, {@code WM_CREATE} and others) to those of
     * its destruction after {@link #destroy()}. Besides those the window gets
     * what Windows sends to every top-level window (for example
     * {@code WM_POWERBROADCAST}, {@code WM_QUERYENDSESSION},
     * {@code WM_ENDSESSION}, {@code WM_DEVICECHANGE}, {@code WM_SETTINGCHANGE},
     * {@code WM_DISPLAYCHANGE} and the registered "TaskbarCreated"), what
     * other programs send or post to it, and the callback message of a tray
     * icon whose window is this one. Messages posted to the thread rather
     * than to the window, {@code WM_QUIT} among them, do not arrive here.
     *
     * <p>Each message goes to the {@link HookMessageHandler} that is set when
     * it arrives (see {@link #setHookMessageHandler(HookMessageHandler)}).
     * Without a handler the answer is -1. A handler that throws gets its
     * throwable printed to standard error, once for that message, and the
     * answer is -1: nothing thrown here reaches the library.
     *
     * <p>The hook thread is not one of the application's threads: it is
     * attached to the VM for each message and detached after it (a message
     * sent to the window while this method runs is handled in the same
     * attachment). Messages that other threads send to the window wait until
     * this method returns, so the handler should return quickly. If the
     * method cannot be found, "failed to resolve callback method" is written
     * to standard error for every message, and if the thread cannot attach,
     * "failed to attach current thread to JVM".
     *
     * @param message the message number
     * @param wParam the low 32 bits of the message's first parameter
     * @param lParam the message's second parameter, all 64 bits
     * @return the handler's answer; -1 to leave the message to the default
     *         processing of Windows; any other value, of which the low 32
     *         bits are kept as a signed number, becomes the window
     *         procedure's result. Answering 0 is not neutral: 0 to
     *         {@code WM_NCCREATE} makes the window's creation fail ("Failed
     *         to create window" on standard output, and no callbacks follow),
     *         0 to {@code WM_CLOSE} keeps the window.
     */
    public static long callback(int message, int wParam, long lParam) {
        final HookMessageHandler handler = hookMessageHandler;
        if (handler == null) {
            return -1;
        }
        try {
            return handler.onMessage(message, wParam, lParam);
        } catch (Throwable thrown) {
            try {
                thrown.printStackTrace();
            } catch (Throwable ignored) {
                // Standard error itself failed; the message still gets its answer.
            }
            return -1;
        }
    }

    // Library frame.

    /**
     * Prepares the library: keeps the VM, finds this class (for
     * {@code callback}) and {@link OvWin32AccessExceptionImpl} (for every
     * failure), and starts the hook thread, returning once the thread's
     * message queue exists. The hook window is created on that thread, so
     * {@code callback} may already run for its creation messages while this
     * method returns.
     *
     * <p>A class that cannot be found is reported on standard error ("failed
     * to find OvWin32AccessInterface class", "failed to find
     * OvWin32AccessExceptionImpl class") and the VM's NoClassDefFoundError is
     * cleared: the library then works without callbacks, or without
     * exceptions (failures go to standard error, methods return their
     * neutral results).
     *
     * <p>Meant to be called once. A second call starts a second hook thread
     * and window; {@link #destroy()} then reaches only the latest.
     *
     * @throws OvWin32AccessExceptionImpl ("_beginthreadex", "initialisation
     *         failed") when the hook thread cannot be started
     */
    public static native void initialise();

    /**
     * Posts the quit message to the hook thread, which destroys its window
     * ({@code callback} still hears of it) and ends. Does not wait for the
     * thread. The VM and the class references stay, so the operations and
     * their exceptions work on. Before {@link #initialise()} it does nothing.
     * Throws nothing.
     */
    public static native void destroy();

    /**
     * The version of the native interface. Throws nothing.
     *
     * @return "3.0", always
     */
    public static native String getVersion();

    /**
     * The full path of the library's own DLL file.
     *
     * @return the path; in narrow mode its bytes
     * @throws OvWin32AccessExceptionImpl ("getModuleName", "GetModuleFileName
     *         fails") when the path cannot be read or does not fit 2,047
     *         characters; neutral result null
     */
    public static native String getModuleName();

    /**
     * Whether a file can be mapped as a module image (a DLL or an
     * executable). The file is mapped as data only: none of its code runs
     * and none of its dependencies is loaded, so any file can be probed. A
     * name without a folder is searched for as {@code LoadLibraryEx} searches.
     *
     * @param path the file, at most 2,046 characters
     * @return true when it could be mapped; false otherwise, also when the
     *         path is too long
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only
     */
    public static native boolean testNativeAvailability(String path);

    // Registry access.

    /**
     * Reads a registry value as text. By the value's type:
     * {@code REG_SZ} gives its text and {@code REG_MULTI_SZ} its first text
     * (each up to the first terminator); {@code REG_EXPAND_SZ} gives the text
     * with its environment references expanded (at most 2,047 characters);
     * {@code REG_BINARY} gives the raw data taken as UTF-16 units, an odd last
     * byte dropped (wide mode only; narrow mode throws "type mismach"). The
     * key is opened with the default access.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param valueName the value's name, at most 1,023 characters; null or
     *        empty names the key's default value
     * @return the text; in narrow mode its bytes
     * @throws OvWin32AccessExceptionImpl neutral result null, with the pairs
     *         ("readValue", "unsupported type"), ("readStringValue",
     *         "RegOpenKey failed") when the key cannot be opened,
     *         ("readStringValue", "RegQueryValueEx failed") when the value is
     *         missing, unreadable or larger than 1,024 bytes,
     *         ("readStringValue", "ExpandEnvironmentStrings failed") when the
     *         expansion does not fit, ("readValue", "type mismach") for any
     *         other type, and ("jstringToChars", "jstring truncation
     *         occurred")
     */
    public static native String readStringValue(int root, String subKey, String valueName);

    /**
     * Reads a {@code REG_DWORD} value. Data shorter than 4 bytes reads with
     * the missing high bytes as zero.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param valueName the value's name, at most 1,023 characters
     * @return the stored 32-bit number
     * @throws OvWin32AccessExceptionImpl neutral result 0, with the pairs
     *         ("readValue", "unsupported type"), ("readWordValue",
     *         "RegOpenKey failed"), ("readWordValue", "RegQueryValueEx
     *         failed") when the value is missing, unreadable or larger than
     *         1,024 bytes, ("readValue", "type mismach") for a value of
     *         another type, and ("jstringToChars", "jstring truncation
     *         occurred")
     */
    public static native int readWordValue(int root, String subKey, String valueName);

    /**
     * Stores a text as a {@code REG_SZ} value (with its terminator), creating
     * the key and its missing parents first (non-volatile, all access).
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param valueName the value's name, at most 1,023 characters
     * @param value the text, at most 1,023 characters; null stores the empty
     *        text
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type"),
     *         ("writeStringValue", "RegCreateKeyEx failed"),
     *         ("writeStringValue", "RegSetValueEx failed"), ("jstringToChars",
     *         "jstring truncation occurred")
     */
    public static native void writeStringValue(int root, String subKey, String valueName, String value);

    /**
     * Stores a 32-bit number as a {@code REG_DWORD} value (4 bytes,
     * little-endian), creating the key and its missing parents first. Negative
     * numbers read back unchanged through {@link #readWordValue}.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param valueName the value's name, at most 1,023 characters
     * @param value the number
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type"),
     *         ("writeWordValue", "RegCreateKeyEx failed"), ("writeWordValue",
     *         "RegSetValueEx failed"), ("jstringToChars", "jstring truncation
     *         occurred")
     */
    public static native void writeWordValue(int root, String subKey, String valueName, int value);

    /**
     * Deletes a key. A key that cannot be opened (a missing one) is left
     * alone without an exception. An empty (or null) {@code subKey}, which
     * would name the root itself, is refused with the failure of the chosen
     * kind before anything is touched.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param withSubKeys true: the key with everything below it; false: the
     *        key only, which fails when it has sub-keys
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type"),
     *         ("deleteKey", "SHDeleteKey failed") when the deletion with
     *         sub-keys fails, ("deleteKey", "RegDeleteKey failed") when the
     *         plain deletion fails, ("jstringToChars", "jstring truncation
     *         occurred")
     */
    public static native void deleteKey(int root, String subKey, boolean withSubKeys);

    /**
     * Deletes a value. A key that cannot be opened is left alone without an
     * exception; a missing value in an existing key is a failure.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @param valueName the value's name, at most 1,023 characters
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type"),
     *         ("deleteValue", "SHDeleteValue failed"), ("jstringToChars",
     *         "jstring truncation occurred")
     */
    public static native void deleteValue(int root, String subKey, String valueName);

    /**
     * The names of a key's sub-keys, in the registry's enumeration order.
     * Wide functions in both modes. A key that cannot be opened gives the
     * empty array without an exception. An element whose enumeration fails
     * (a sub-key removed while the list is made, or a name over 1,023
     * characters) stays null.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @return the names; null only when the VM cannot make the array (its own
     *         error is then pending)
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type")
     *         and ("jstringToChars", "jstring truncation occurred"), both with
     *         the empty array as neutral result
     */
    public static native String[] getRegSubKeys(int root, String subKey);

    /**
     * The values of a key: for n values an array of 2n elements, the name of
     * value i at 2i and its data at 2i+1. The data is the text (up to its
     * terminator) of a {@code REG_SZ} value, the lower-case hexadecimal of a
     * {@code REG_BINARY} value (two digits per byte in byte order, so the
     * bytes 0x0A 0xFF give "0aff"), and null for every other type
     * ({@code REG_EXPAND_SZ}, {@code REG_MULTI_SZ} and {@code REG_DWORD}
     * among them) and for data over 1,024 bytes. A value removed while the
     * list is made leaves both its elements null. Wide functions in both
     * modes; a key that cannot be opened gives the empty array without an
     * exception.
     *
     * @param root the root number (see the class description)
     * @param subKey the key's path under the root, at most 1,023 characters
     * @return names and data as above; null only when the VM cannot make the
     *         array (its own error is then pending)
     * @throws OvWin32AccessExceptionImpl ("readValue", "unsupported type")
     *         and ("jstringToChars", "jstring truncation occurred"), both with
     *         the empty array as neutral result
     */
    public static native Object[] getRegKeyValues(int root, String subKey);

    // Files, shell and processes.

    /**
     * The file-system attribute bits of a file or folder
     * ({@code GetFileAttributes}).
     *
     * @param path the file or folder, at most 5,191 characters
     * @return the attribute bits, or -1 ({@code INVALID_FILE_ATTRIBUTES}) when
     *         the path does not exist or cannot be reached
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result -1
     */
    public static native int getFileAttributes(String path);

    /**
     * Sets the file-system attribute bits of a file or folder
     * ({@code SetFileAttributes}).
     *
     * @param path the file or folder, at most 5,191 characters
     * @param attributes the new attribute bits
     * @return true when they were set, false when Windows refused
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result false
     */
    public static native boolean setFileAttributes(String path, int attributes);

    /**
     * The product version of a file's version resource as four
     * {@link Integer} entries, put in this order: "VersionMajor" and
     * "VersionMinor" (the high and low 16 bits of the most significant
     * product-version word), "Release" and "Build" (those of the least
     * significant word), each from 0 to 65535. Wide functions in both modes.
     *
     * @param path the file, at most 5,191 characters
     * @return the map; empty when the file has no version resource, cannot be
     *         read or does not exist (no exception for these); null only when
     *         the VM cannot make the map
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result the empty map
     */
    public static native java.util.HashMap getFileInfo(String path);

    /**
     * The long form of a path ({@code GetLongPathName}).
     *
     * @param path an existing path, at most 259 characters
     * @return the long path, or "Error:" immediately followed by the Windows
     *         error code in decimal when the conversion fails (for example
     *         "Error:2" for a missing file); no exception is thrown for a
     *         failed conversion. In narrow mode the bytes of either text.
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result null
     */
    public static native String getLongPathName(String path);

    /**
     * The short (8.3) form of a path ({@code GetShortPathName}). Where the
     * volume keeps no short names, the path comes back in its long form.
     *
     * @param path an existing path, at most 259 characters
     * @return the short path, or "Error:" immediately followed by the Windows
     *         error code in decimal when the conversion fails (for example
     *         "Error:2" for a missing file); no exception is thrown for a
     *         failed conversion. In narrow mode the bytes of either text.
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result null
     */
    public static native String getShortPathName(String path);

    /**
     * Moves one file to the recycle bin, without confirmation and without
     * progress display. Only an existing file that can be opened for reading
     * with shared reading is moved: a folder, a file another program holds
     * exclusively, or a name with wildcards is refused as "file not found".
     * On a drive without a recycle bin the shell deletes the file outright.
     *
     * @param path the file, at most 15,998 characters
     * @throws OvWin32AccessExceptionImpl ("moveToRecycleBin", "file not
     *         found"), ("moveToRecycleBin", "SHFileOperation failed") when the
     *         shell reports a failure or an aborted operation,
     *         ("jstringToChars", "jstring truncation occurred")
     */
    public static native void moveToRecycleBin(String path);

    /**
     * Copies the discretionary access-control list (and nothing else of the
     * security descriptor) of one file or folder to another.
     *
     * @param fromPath the file or folder whose list is read, at most 2,046
     *        characters
     * @param toPath the file or folder that receives it, at most 2,046
     *        characters
     * @throws OvWin32AccessExceptionImpl ("copyPermission", "from file not
     *         found"), ("copyPermission", "GetFileSecurity unexpected response
     *         (error_code=N)"), ("copyPermission", "GetFileSecurity ok") when
     *         the size query unexpectedly succeeds, ("copyPermission", "no
     *         memory"), ("copyPermission", "GetFileSecurity (error_code=N)")
     *         when reading the descriptor fails, ("copyPermission", "to file
     *         not found"), ("copyPermission", "SetFileSecurity unexpected
     *         response (error_code=N)"), ("jstringToChars", "jstring
     *         truncation occurred"); N is the Windows error code
     */
    public static native void copyPermission(String fromPath, String toPath);

    /**
     * Starts a command line ({@code CreateProcess}, the program taken from
     * the command line, creation flag {@code DETACHED_PROCESS}, so no console)
     * with the Java process's environment and working folder, and does not
     * wait for it. The process's handles are closed at once.
     *
     * @param commandLine the command line, at most 15,999 characters
     * @param inheritHandles whether the new process inherits the inheritable
     *        handles of the Java process
     * @throws OvWin32AccessExceptionImpl ("createProcess", "CreateProcess
     *         failed"), ("jstringToChars", "jstring truncation occurred")
     */
    public static native void createProcess(String commandLine, boolean inheritHandles);

    /**
     * Runs {@code ShellExecute} without an owner window and does not wait.
     * Each null argument is passed on as a missing argument (so a null verb
     * runs the file's default action), not as the empty text. The shell may
     * show its own error message for a start that fails.
     *
     * @param verb the verb ("open", "runas", ...), at most 19 characters, or
     *        null
     * @param file the file or URL, at most 5,191 characters
     * @param parameters the parameters, at most 15,999 characters, or null
     * @param directory the working folder, at most 5,191 characters, or null
     * @param showCommand the show command, {@link #SW_SHOWNORMAL} (1) for a
     *        normal window, {@link #SW_HIDE} (0) for none
     * @return the shell's result: greater than 32 on success, otherwise the
     *         shell's error code
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result -1
     */
    public static native int shellExecute(String verb, String file, String parameters, String directory,
                                          int showCommand);

    /**
     * Starts a program elevated (the shell verb "runas", so Windows asks for
     * administrator rights) and blocks the calling thread until it ends,
     * without a time limit.
     *
     * @param file the program, at most 2,047 characters
     * @param parameters its parameters, at most 2,047 characters
     * @return the program's exit code
     * @throws OvWin32AccessExceptionImpl neutral result 0, with the pairs
     *         ("shellExec", "ShellExecW failed (error_code=N)"), N being the
     *         shell's start result (32 or less), also when the user refuses
     *         the elevation (narrow mode: "ShellExecA failed (error_code=N)");
     *         ("shellExec", "GetExitCodeProcess failed (error_code=N)"), N
     *         being the Windows error code; and ("jstringToChars", "jstring
     *         truncation occurred")
     */
    public static native int shellExecuteAndWait(String file, String parameters);

    /**
     * The identifier of a process given by a handle held as an int. The
     * number is sign-extended back to the handle's width, so -1 (the
     * pseudo-handle of the calling process) gives the Java process's own
     * identifier. Throws nothing.
     *
     * @param processHandle the process handle
     * @return the process identifier, or 0 when the handle is not a valid
     *         process handle
     */
    public static native int getProcessId(int processHandle);

    /**
     * Creates a named mutex without taking ownership, for a single-instance
     * check. Wide functions in both modes. The library never closes the
     * handles it opens here: they live until the process ends.
     *
     * @param name the mutex's name, at most 255 characters
     * @return the new mutex's handle as a number; 0 when a mutex of that name
     *         already existed (its handle is then kept open, so the mutex
     *         lives on while this process runs) or when it could not be
     *         created
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result 0
     */
    public static native long createMutex(String name);

    /**
     * The path of the user's roaming application-data folder
     * ({@code CSIDL_APPDATA}). Throws nothing.
     *
     * @return the path (in narrow mode its bytes), or null when Windows cannot
     *         give it
     */
    public static native String getUserAppData();

    /**
     * The computer's NetBIOS name (at most 15 characters). Wide functions in
     * both modes. Throws nothing.
     *
     * @return the name, or null when it cannot be read
     */
    public static native String getComputerName();

    // Drives and devices.

    /**
     * The local drives, as {@link java.io.File} objects of their roots in
     * lower case ({@code c:\}), in the order of their letters. Network drives
     * are left out, and so are drives whose device cannot be opened; a drive
     * without a medium (an empty card reader) is listed, because nothing is
     * read from it. Throws nothing of its own.
     *
     * @return the list; null only when the VM cannot make it
     */
    public static native java.util.ArrayList getAvailableDrives();

    /**
     * What Windows tells about a drive and the hardware behind it. The map's
     * keys, each present only when its source could be read: {@link Long}
     * values "DriveType" (the Windows drive type: 0 unknown, 1 no root
     * folder, 2 removable, 3 fixed, 5 CD-ROM, 6 RAM disk), "MediaType",
     * "DiskSize" (bytes, from the disk geometry), "BusType", "DeviceType",
     * "Removable" (0 or 1) and "DeviceNumber" (the N of physical drive N);
     * {@link String} values "VendorID", "ProductID", "ProductRevision" and
     * "SerialNumber" (from the storage device descriptor), "OSDeviceID" (the
     * device identifier of the drive's entry in
     * {@code HKEY_LOCAL_MACHINE\SYSTEM\MountedDevices}), "DevInst_DevID" and
     * "DevInstParent_DevID" (the device-tree identifiers of that device and
     * of its parent, or grandparent for removable media), and "VID" and "PID"
     * (the four characters after "VID_" and "PID_" in those identifiers, the
     * parent's replacing the device's). Throws nothing of its own.
     *
     * @param driveLetter the drive's letter, upper or lower case
     * @return the map; empty for a network drive; only "DriveType" when the
     *         drive's device cannot be opened, and "DriveType" 1 for a letter
     *         without a drive or a character that is no letter; null only
     *         when the VM cannot make the map
     */
    public static native java.util.HashMap getDriveInfo(char driveLetter);

    // Network probes.

    /**
     * Traces the route to an IPv4 address with raw UDP and ICMP probes and
     * reports every answer and every silence to a listener, on the calling
     * thread, which it blocks for the whole trace (a normal trace makes at
     * most 33 steps of 3 attempts of up to 5 seconds each). Raw sockets need
     * administrator rights; without them the receive socket cannot be made.
     *
     * <p>The listener is a {@link TraceListener}, or any object with a method
     * {@code long generalMessage(String text)}; an answer whose low 32 bits
     * are 0 ends the trace. Its texts: a hop "ttl, address, elapsed, udp"
     * (the answering address as a host-order 32-bit number printed as a
     * signed decimal, so 192.168.1.1 is -1062731519; the milliseconds
     * waited; 1 when the UDP probe was answered, else 0), and a silence
     * "ttl". An exception thrown by the listener ends the trace and reaches
     * the caller.
     *
     * @param probeId the identification of this trace's packets (low 16 bits)
     * @param sourceAddress the local address to bind to, host order
     * @param destinationAddress the destination, host order
     * @param mode {@link #TRACE_CONTINUOUS} (1) for the continuous mode (every
     *        probe with TTL 32, until the listener stops it); any other value,
     *        {@link #TRACE_NORMAL} say, for a normal trace (TTL 1 to 33, ending
     *        when the destination answers)
     * @param listener the listener, normally a {@link TraceListener}
     * @throws OvWin32AccessExceptionImpl ("socket", "failed to create receive
     *         socket"), ("setsockopt", "failed to set receive timeout socket
     *         options"), ("setsockopt", "failed to set receive reuse address
     *         socket options"), ("socket", "failed to bind send socket"),
     *         ("socket", "failed to create send socket"), ("setsockopt",
     *         "failed to set receive socket options"), ("sendto", "no protocol
     *         selected"), ("sendto", "UDP operation failed (error_code=N)"),
     *         ("sendto", "UDP incomplete packet sent"), ("recvfrom",
     *         "operation failed (error_code=N)"), N being the socket error
     *         code; and, when a report cannot be delivered, ("NewStringUTF",
     *         "alloc failed"), ("GetObjectClass", "failed") (a null listener)
     *         and ("GetMethodID", "method not found")
     */
    public static native void traceRoute(int probeId, int sourceAddress, int destinationAddress, int mode,
                                         Object listener);

    /**
     * Starts a broadcast in the outside video player running as the given
     * process: finds its top-level dialog of the class "#32770" titled
     * exactly "SopCast - Broadcast the channel", types the text into its
     * input field (control 1001 inside control 1005) and presses its start
     * button (control 1035) twice.
     *
     * @param processId the player's process identifier
     * @param text the text to type, at most 2,047 characters
     * @return the answer to the second press, which is 0 for a standard
     *         button; 0 as well when no such dialog exists (nothing is then
     *         sent), so the result does not tell the two apart
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result 0
     */
    public static native long startBroadcast(int processId, String text);

    // Window hook, tray icon, power and OS version.

    /**
     * Adds, changes or removes the process's tray icon
     * ({@code Shell_NotifyIconW}, wide functions in both modes). The icon's
     * identifier is always 0 and its GUID is fixed by the first call of the
     * process: {@code {F-10E0-4041-B862-B19541963669}} with F the first
     * call's {@code guidFirstField}; the shell uses the GUID only when
     * {@code flags} holds {@code NIF_GUID} (Windows 7 and later). No
     * operation returns the hook window's handle; the application passes the
     * window whose procedure is to receive the callback message.
     *
     * <p>A text over its limit leaves its field empty; the call is made all
     * the same, and then the truncation exception is thrown, so the icon has
     * changed although the caller sees the exception.
     *
     * @param message {@link #NIM_ADD} 0, {@link #NIM_MODIFY} 1,
     *        {@link #NIM_DELETE} 2, {@link #NIM_SETFOCUS} 3,
     *        {@link #NIM_SETVERSION} 4
     * @param window the window handle (sign-extended to the handle's width)
     * @param flags the {@code NIF_*} flags of the fields that count
     *        ({@link #NIF_MESSAGE}, {@link #NIF_ICON}, {@link #NIF_TIP}, ...)
     * @param callbackMessage the message sent to the window for mouse and
     *        keyboard events on the icon
     * @param icon the icon handle (sign-extended to the handle's width)
     * @param tip the tool tip, at most 127 characters
     * @param state the icon state bits
     * @param stateMask which state bits count
     * @param info the balloon text, at most 255 characters
     * @param infoTitle the balloon title, at most 63 characters
     * @param infoFlags the balloon flags ({@code NIIF_*})
     * @param guidFirstField the first field of the icon's GUID; only the first
     *        call's value is used
     * @return the shell's success
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only, after the call
     */
    public static native boolean shellNotifyIcon(int message, int window, int flags, int callbackMessage, int icon,
                                                 String tip, int state, int stateMask, String info,
                                                 String infoTitle, int infoFlags, int guidFirstField);

    /**
     * Sets the calling thread's execution state
     * ({@code SetThreadExecutionState}). A state set with
     * {@code ES_CONTINUOUS} belongs to the calling Java thread: it lasts until
     * that thread sets another or ends. Throws nothing.
     *
     * @param flags the {@code ES_*} flags ({@link #ES_CONTINUOUS},
     *        {@link #ES_SYSTEM_REQUIRED}, {@link #ES_DISPLAY_REQUIRED})
     * @return the previous state, or 0 when the call fails
     */
    public static native int setThreadExecutionState(int flags);

    /**
     * Withdraws the calling thread's display and system requirements
     * ({@code ES_CONTINUOUS} alone), so the screen saver and sleep may come
     * again. Throws nothing.
     *
     * @return the previous state (0x80000003, a negative int, after
     *         {@link #disableScreenSaver()} on the same thread), or 0 when the
     *         call fails
     */
    public static native int enableScreenSaver();

    /**
     * Keeps the display on and the system awake, and so the screen saver off
     * ({@code ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED}),
     * until the calling thread changes its state again or ends. Throws
     * nothing.
     *
     * @return the previous state, or 0 when the call fails
     */
    public static native int disableScreenSaver();

    /**
     * As {@link #disableScreenSaver()}, with the previous state as an
     * unsigned number, so {@code ES_CONTINUOUS} stays positive. Throws
     * nothing.
     *
     * @return the previous state from 0 to 0xFFFFFFFF, or 0 when the call
     *         fails
     */
    public static native long disableScreenSaver2();

    /**
     * Tells the shell that file-type associations changed
     * ({@code SHCNE_ASSOCCHANGED}), so that icons and open-with lists are
     * refreshed. Throws nothing.
     */
    public static native void SHChangeNotify();

    /**
     * Whether Windows is version 6.1 (Windows 7) or later, as reported to the
     * executable hosting the VM. Throws nothing.
     *
     * @return true on Windows 7 and later
     */
    public static native boolean isWin7OrLater();

    /**
     * Compares the system with one of nine named requirements (major
     * version, minor version and service-pack major number, compared through
     * {@code VerifyVersionInfoW}): "IsWindowsXPSP1OrGreater" (5.1 SP1),
     * "IsWindowsXPSP2OrGreater" (5.1 SP2), "IsWindowsXPSP3OrGreater" (5.1
     * SP3), "IsWindowsVistaSP1OrGreater" (6.0 SP1),
     * "IsWindowsVistaSP2OrGreater" (6.0 SP2), "IsWindows7SP1OrGreater" (6.1
     * SP1), "IsWindows8OrGreater" (6.2), "IsWindows8Point1OrGreater" (6.3)
     * and "IsWindows10OrGreater" (10.0). Names are compared exactly, letter
     * case included. Windows reports 8.1 and later only to executables whose
     * manifest declares them, so the last two are false under a VM host
     * without such a manifest. Wide functions in both modes.
     *
     * @param name the requirement's name, at most 127 characters
     * @return whether the system meets it; false for an unknown name
     * @throws OvWin32AccessExceptionImpl ("jstringToChars", "jstring
     *         truncation occurred") only; neutral result false
     */
    public static native boolean isCorrectOSVersion(String name);
}
