package ru.vantor.platform.win32.access.impl;

/**
 * What {@link OvWin32AccessInterface#traceRoute(int, int, int, int, Object)}
 * calls for every answer and every silence of a trace. The library finds the
 * method by its name and signature ({@code generalMessage},
 * {@code (Ljava/lang/String;)J}) on whatever object it is given, so any
 * object with such a method serves; implementing this interface makes the
 * method's shape checked by the compiler.
 *
 * <p>It is called on the thread that called {@code traceRoute}, one report
 * at a time.
 */
public interface TraceListener {
    /**
     * One report of the trace.
     *
     * @param text a hop "ttl, address, elapsed, udp" (the answering address
     *        as a host-order 32-bit number printed as a signed decimal, so
     *        192.168.1.1 is -1062731519; the milliseconds waited; 1 when the
     *        UDP probe was answered, else 0), or a silence "ttl"
     * @return 0 (its low 32 bits) to end the trace, anything else to go on.
     *         An exception thrown here ends the trace and reaches the caller
     *         of {@code traceRoute}.
     */
    long generalMessage(String text);
}
