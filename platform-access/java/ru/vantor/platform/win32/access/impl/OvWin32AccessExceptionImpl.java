package ru.vantor.platform.win32.access.impl;

/**
 * A failure reported by the native platform access library.
 *
 * <p>The library constructs it with the name of the operation that failed
 * (a method of {@link OvWin32AccessInterface} or the Windows function behind
 * it) and a fixed English message, to which a Windows error code may be
 * appended as " (error_code=N)". It is unchecked because the native methods
 * cannot declare what they throw.
 */
public class OvWin32AccessExceptionImpl extends RuntimeException {
    private static final long serialVersionUID = 1L;

    private final String operation;

    /** The constructor the native library calls: (operation, message). */
    public OvWin32AccessExceptionImpl(String operation, String message) {
        super(message);
        this.operation = operation;
    }

    /** The operation that failed, for example "readStringValue". */
    public String getOperation() {
        return operation;
    }

    @Override
    public String toString() {
        return getClass().getName() + ": " + operation + ": " + getMessage();
    }
}
