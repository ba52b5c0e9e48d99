package ru.vantor.platform.win32.access.impl;

/**
 * Receives the messages of the library's hidden hook window. Set one with
 * {@link OvWin32AccessInterface#setHookMessageHandler(HookMessageHandler)};
 * {@link OvWin32AccessInterface#callback(int, int, long)} hands it every
 * message of the window as the message arrives.
 *
 * <p>It runs on the library's hook thread, which is none of the
 * application's threads and is attached to the VM only for the message.
 * Messages that other threads send to the window wait until it returns (a
 * system broadcast among them), so it should return quickly and hand longer
 * work to a thread of the application. It may be called while other threads
 * call the library.
 *
 * <p>Whatever it throws is written to standard error and the message gets
 * the default processing of Windows, as if it had answered -1.
 */
public interface HookMessageHandler {
    /**
     * Handles one message of the hook window.
     *
     * @param message the message number, for example
     *        {@link OvWin32AccessInterface#WM_POWERBROADCAST}
     * @param wParam the low 32 bits of the message's first parameter
     * @param lParam the message's second parameter, all 64 bits
     * @return -1 to leave the message to the default processing of Windows;
     *         any other value, of which the low 32 bits are kept as a signed
     *         number, becomes the window's answer. 0 is not neutral: 0 to
     *         {@code WM_NCCREATE} makes the window's creation fail, 0 to
     *         {@code WM_CLOSE} keeps the window.
     */
    long onMessage(int message, int wParam, long lParam);
}
