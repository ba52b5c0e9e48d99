package ru.vantor.platform.win32.access.impl;

/**
 * A failure reported by the native platform access library.
 *
 * <p>The library constructs it with the name of the operation that failed (a
 * method of {@link OvWin32AccessInterface}, or the Windows or JNI function
 * behind it) and a fixed English message. Where Windows reports an error code,
 * the code is appended to the message as {@code " (error_code=N)"}, N a signed
 * decimal, the whole message at most 4,095 characters. It is unchecked: the
 * native methods do not declare it (they could, as any method can), so the
 * compiler does not make a caller catch it; each method's documentation
 * names the pairs it throws.
 *
 * <p>The library throws it only after {@link OvWin32AccessInterface#initialise()}
 * has found this class; before that a failure is written to standard error and
 * the method returns its neutral result. The exception is thrown on the thread
 * that called the method; the library makes no further call into the VM for
 * that method once it is pending.
 *
 * <table>
 * <caption>The (operation, message) pairs and the methods that throw them</caption>
 * <tr><th>Operation</th><th>Message</th><th>Thrown by</th></tr>
 * <tr><td>"jstringToChars"</td><td>"jstring truncation occurred"</td>
 *     <td>every method with a string argument, when it is longer than the method accepts</td></tr>
 * <tr><td>"_beginthreadex"</td><td>"initialisation failed"</td><td>initialise</td></tr>
 * <tr><td>"getModuleName"</td><td>"GetModuleFileName fails"</td><td>getModuleName</td></tr>
 * <tr><td>"readValue"</td><td>"unsupported type"</td>
 *     <td>every registry method, for a root number outside 1 to 5</td></tr>
 * <tr><td>"readValue"</td><td>"type mismach"</td><td>readStringValue, readWordValue</td></tr>
 * <tr><td>"readStringValue"</td><td>"RegOpenKey failed", "RegQueryValueEx failed",
 *     "ExpandEnvironmentStrings failed"</td><td>readStringValue</td></tr>
 * <tr><td>"readWordValue"</td><td>"RegOpenKey failed", "RegQueryValueEx failed"</td>
 *     <td>readWordValue</td></tr>
 * <tr><td>"writeStringValue", "writeWordValue"</td><td>"RegCreateKeyEx failed",
 *     "RegSetValueEx failed"</td><td>writeStringValue, writeWordValue</td></tr>
 * <tr><td>"deleteKey"</td><td>"SHDeleteKey failed", "RegDeleteKey failed"</td><td>deleteKey</td></tr>
 * <tr><td>"deleteValue"</td><td>"SHDeleteValue failed"</td><td>deleteValue</td></tr>
 * <tr><td>"moveToRecycleBin"</td><td>"file not found", "SHFileOperation failed"</td>
 *     <td>moveToRecycleBin</td></tr>
 * <tr><td>"copyPermission"</td><td>"from file not found", "to file not found",
 *     "GetFileSecurity ok", "no memory", and with an error code "GetFileSecurity unexpected
 *     response", "GetFileSecurity", "SetFileSecurity unexpected response"</td>
 *     <td>copyPermission</td></tr>
 * <tr><td>"createProcess"</td><td>"CreateProcess failed"</td><td>createProcess</td></tr>
 * <tr><td>"shellExec"</td><td>with a code: "ShellExecW failed" (narrow mode "ShellExecA failed"),
 *     "GetExitCodeProcess failed"</td><td>shellExecuteAndWait</td></tr>
 * <tr><td>"socket"</td><td>"failed to create receive socket", "failed to bind send socket",
 *     "failed to create send socket"</td><td>traceRoute</td></tr>
 * <tr><td>"setsockopt"</td><td>"failed to set receive timeout socket options", "failed to set
 *     receive reuse address socket options", "failed to set receive socket options"</td>
 *     <td>traceRoute</td></tr>
 * <tr><td>"sendto"</td><td>"no protocol selected", "UDP incomplete packet sent", and with a
 *     code "UDP operation failed"</td><td>traceRoute</td></tr>
 * <tr><td>"recvfrom"</td><td>with a code: "operation failed"</td><td>traceRoute</td></tr>
 * <tr><td>"NewStringUTF"</td><td>"alloc failed"</td><td>traceRoute</td></tr>
 * <tr><td>"GetObjectClass"</td><td>"failed"</td><td>traceRoute</td></tr>
 * <tr><td>"GetMethodID"</td><td>"method not found"</td><td>traceRoute</td></tr>
 * </table>
 */
public class OvWin32AccessExceptionImpl extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The operation that failed, as the library named it. */
    private final String operation;

    /**
     * The constructor the native library calls.
     *
     * @param operation the operation that failed, for example "readStringValue"
     * @param message the fixed message, for example "RegOpenKey failed", with
     *        " (error_code=N)" appended where Windows gave a code
     */
    public OvWin32AccessExceptionImpl(String operation, String message) {
        super(message);
        this.operation = operation;
    }

    /**
     * The operation that failed.
     *
     * @return the operation, for example "readStringValue"
     */
    public String getOperation() {
        return operation;
    }

    @Override
    public String toString() {
        return getClass().getName() + ": " + operation + ": " + getMessage();
    }
}
