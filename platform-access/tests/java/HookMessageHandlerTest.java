import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.util.concurrent.atomic.AtomicReference;

import ru.vantor.platform.win32.access.impl.HookMessageHandler;
import ru.vantor.platform.win32.access.impl.OvWin32AccessInterface;

/**
 * OvWin32AccessInterface.callback as the library's hook thread calls it,
 * run on a plain VM without vreg64.dll: callback and setHookMessageHandler
 * are plain Java, and loading the class loads no library.
 */
public final class HookMessageHandlerTest {
    private static int failures;

    private static void check(boolean condition, String what) {
        if (!condition) {
            failures++;
            System.out.println("FAILED: " + what);
        }
    }

    /** The handler gets the three values unchanged and its answer comes back unchanged. */
    private static void handlerSeesTheMessageAndItsAnswerIsReturned() {
        final long[] seen = new long[3];
        OvWin32AccessInterface.setHookMessageHandler(new HookMessageHandler() {
            @Override
            public long onMessage(int message, int wParam, long lParam) {
                seen[0] = message;
                seen[1] = wParam;
                seen[2] = lParam;
                return lParam ^ 0x5A5A5A5A5AL;
            }
        });
        final int[] messages = {0, OvWin32AccessInterface.WM_POWERBROADCAST, Integer.MIN_VALUE, -1};
        final int[] wParams = {0, OvWin32AccessInterface.PBT_APMSUSPEND, Integer.MAX_VALUE, -1};
        final long[] lParams = {0L, Long.MIN_VALUE, Long.MAX_VALUE, -1L, 0xFFFFFFFFL};
        for (int message : messages) {
            for (int wParam : wParams) {
                for (long lParam : lParams) {
                    final long answer = OvWin32AccessInterface.callback(message, wParam, lParam);
                    check(seen[0] == message && seen[1] == wParam && seen[2] == lParam,
                          "handler saw " + seen[0] + ", " + seen[1] + ", " + seen[2] + " for " + message + ", "
                          + wParam + ", " + lParam);
                    check(answer == (lParam ^ 0x5A5A5A5A5AL), "answer " + answer + " for lParam " + lParam);
                }
            }
        }
        OvWin32AccessInterface.setHookMessageHandler(new HookMessageHandler() {
            @Override
            public long onMessage(int message, int wParam, long lParam) {
                return 0;
            }
        });
        check(OvWin32AccessInterface.callback(OvWin32AccessInterface.WM_CLOSE, 0, 0) == 0, "an answer of 0 stays 0");
    }

    /** No handler, a removed one and one that throws: -1, and the throwable on standard error once per message. */
    private static void withoutAHandlerOrWhenItThrowsTheAnswerIsMinusOne() {
        OvWin32AccessInterface.setHookMessageHandler(null);
        check(OvWin32AccessInterface.callback(OvWin32AccessInterface.WM_NCCREATE, 1, 2) == -1, "no handler gives -1");

        final PrintStream standardError = System.err;
        final ByteArrayOutputStream captured = new ByteArrayOutputStream();
        System.setErr(new PrintStream(captured, true));
        try {
            final Throwable[] thrown = {new IllegalStateException("handler failed"), new AssertionError("handler broke"),
                                        new OutOfMemoryError("handler ran out")};
            for (final Throwable throwable : thrown) {
                OvWin32AccessInterface.setHookMessageHandler(new HookMessageHandler() {
                    @Override
                    public long onMessage(int message, int wParam, long lParam) {
                        if (throwable instanceof RuntimeException) {
                            throw (RuntimeException) throwable;
                        }
                        throw (Error) throwable;
                    }
                });
                check(OvWin32AccessInterface.callback(1, 2, 3) == -1, throwable + " gives -1");
                check(OvWin32AccessInterface.callback(4, 5, 6) == -1, throwable + " gives -1 again");
            }
        } catch (Throwable escaped) {
            check(false, "callback let " + escaped + " through");
        } finally {
            System.setErr(standardError);
        }
        final String text = captured.toString();
        for (String message : new String[] {"handler failed", "handler broke", "handler ran out"}) {
            int count = 0;
            for (int at = text.indexOf(message); at >= 0; at = text.indexOf(message, at + 1)) {
                count++;
            }
            check(count == 2, "\"" + message + "\" on standard error " + count + " times, not once per message");
        }

        OvWin32AccessInterface.setHookMessageHandler(null);
        check(OvWin32AccessInterface.callback(1, 2, 3) == -1, "a removed handler gives -1");
    }

    /**
     * A message that arrives after setHookMessageHandler has returned goes to
     * the new handler, whichever thread it arrives on: a thread that keeps
     * calling callback (as the hook thread does) sees each new handler, and
     * so do a thread started afterwards and the setting thread itself.
     */
    private static void aMessageAfterTheSetGoesToTheNewHandlerOnAnyThread() throws InterruptedException {
        final int rounds = 300;
        final AtomicReference<String> trouble = new AtomicReference<>();
        OvWin32AccessInterface.setHookMessageHandler(answering(0));
        final Thread hook = new Thread(new Runnable() {
            @Override
            public void run() {
                final long deadline = System.nanoTime() + 60_000_000_000L;
                long expected = 1;
                while (expected <= rounds) {
                    final long answer = OvWin32AccessInterface.callback(0, 0, 0);
                    if (answer == expected) {
                        hookRound = expected++;
                    } else if (answer != expected - 1 || System.nanoTime() > deadline) {
                        trouble.set("the hook thread got " + answer + " while waiting for round " + expected);
                        return;
                    }
                }
            }
        });
        hook.start();
        for (int round = 1; round <= rounds && trouble.get() == null; round++) {
            OvWin32AccessInterface.setHookMessageHandler(answering(round));
            check(OvWin32AccessInterface.callback(0, 0, 0) == round, "the setting thread, round " + round);
            if (round % 50 == 0) {
                final long[] answer = {-2};
                final Thread other = new Thread(new Runnable() {
                    @Override
                    public void run() {
                        answer[0] = OvWin32AccessInterface.callback(0, 0, 0);
                    }
                });
                other.start();
                other.join();
                check(answer[0] == round, "a thread started after the set got " + answer[0] + " in round " + round);
            }
            // The next handler is set once the hook thread has seen this one.
            while (hookRound < round && hook.isAlive()) {
                Thread.yield();
            }
        }
        hook.join(70_000);
        check(!hook.isAlive() && hookRound == rounds, "the hook thread stopped at round " + hookRound);
        check(trouble.get() == null, String.valueOf(trouble.get()));
        OvWin32AccessInterface.setHookMessageHandler(null);
    }

    private static volatile long hookRound;

    private static HookMessageHandler answering(final long answer) {
        return new HookMessageHandler() {
            @Override
            public long onMessage(int message, int wParam, long lParam) {
                return answer;
            }
        };
    }

    public static void main(String[] arguments) throws InterruptedException {
        handlerSeesTheMessageAndItsAnswerIsReturned();
        withoutAHandlerOrWhenItThrowsTheAnswerIsMinusOne();
        aMessageAfterTheSetGoesToTheNewHandlerOnAnyThread();
        if (failures > 0) {
            System.out.println(failures + " check(s) failed");
            System.exit(1);
        }
        System.out.println("HookMessageHandlerTest: all checks passed");
    }
}
