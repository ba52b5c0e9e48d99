// A Java VM stand-in for testing JNI libraries under Wine, where no Windows
// JVM exists.
//
// JniHost implements the JNI function table and the invocation interface for
// what the library uses: classes and method lookup, object creation and calls
// for java.lang.String, Long, Integer, java.util.HashMap, ArrayList,
// java.io.File, object arrays, the Throwable hierarchy, the project classes
// OvWin32AccessInterface (with a recording `callback`) and
// OvWin32AccessExceptionImpl, exceptions, global and local references, local
// frames, attaching and detaching threads. It loads the library with
// LoadLibraryW and binds every native method of OvWin32AccessInterface by its
// JNI name with GetProcAddress, as a JVM does; the native methods are read
// from the header that `javac -h` generated from the Java class.
//
// It is strict like a JVM run with -Xcheck:jni, and stricter. Each of these
// is a violation, which fails the running test:
//   - a JNI call made while an exception is pending, other than the calls the
//     JNI rules allow then (ExceptionCheck, ExceptionOccurred,
//     ExceptionClear, ExceptionDescribe, the Release* calls, DeleteLocalRef,
//     DeleteGlobalRef, DeleteWeakGlobalRef, PopLocalFrame, PushLocalFrame,
//     MonitorExit, DetachCurrentThread);
//   - a deleted, stale or foreign reference, a JNIEnv of another thread, a
//     local reference used on another thread or after its frame ended, a
//     method id used with the wrong kind of call or object;
//   - a local reference still live when a native method returns (other than
//     the one it returns) or when a thread detaches, a local frame left
//     pushed, string characters not released, more live local references in
//     one frame than its capacity (16 unless raised);
//   - a class name in descriptor form ("Ljava/lang/String;") or with dots;
//   - any JNI function the host does not provide.
// Failed lookups behave as in a JVM: FindClass leaves NoClassDefFoundError
// pending, GetMethodID NoSuchMethodError. String characters handed out by
// GetStringChars are a copy that is deliberately not terminated.
//
// Typical use:
//
//   JniHost host;
//   NativeLibrary& library = host.load();               // vreg64.dll beside the test
//   library.call("initialise");
//   CallResult result = library.call("readStringValue", {4, L"Software\\X", L"name"});
//   EXPECT_TRUE(threwAccess(result, L"readStringValue", L"RegOpenKey failed"));
//   EXPECT_TRUE(result.value.isNull());
//
// Arguments are Java-typed: int (and long, unsigned) for I, long long for J,
// bool for Z, wchar_t for C, wide text or nullptr for String, an
// ObjectHandle (or nullptr, or text) for any object parameter. Results are
// deep copies (Value) taken when the call returns: maps keep their insertion
// order, lists and arrays their elements, boxed numbers their value.
//
// More:
//   - callNarrow / callWide / callExport call the C++-linkage A and W forms,
//     found by their undecorated names in the export directory;
//   - newListener makes an object with generalMessage(String) returning
//     long, whose answers the test programs and whose messages it reads back;
//     setCallback programs OvWin32AccessInterface.callback(int, int, long)
//     (answer -1 by default) and callbackCalls lists its calls with the
//     calling thread; an Answer may also throw;
//   - threads that the library starts attach through vm() as in a JVM; the
//     host counts attaches and detaches;
//   - runNative runs test code as a native method with the same checks (and
//     newLocal gives it references to held objects), for tests of the host
//     and for code that needs a JNIEnv;
//   - HostOptions hides the project classes or parts of them;
//   - OutputCapture reads what the library writes to standard output and
//     standard error (in process: the library shares the C runtime);
//     PipeReader reads them from a pipe as they arrive, without flushing;
//   - ViolationMode::Collect keeps violations for takeViolations instead of
//     failing the test.
// When the host goes, it calls `destroy` if the test initialised the library
// without destroying it, waits for the library's threads to end and unloads
// it, so that the next host in the same process loads it afresh.
#pragma once

#include "common/win/unique_handle.h"
#include "tests/support/utf8.h"

#include <windows.h>

#include <jni.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vantor::jnihost {

namespace detail {
class Vm;
}

// JNI class names of the project classes.
inline constexpr char kInterfaceClass[] = "ru/vantor/platform/win32/access/impl/OvWin32AccessInterface";
inline constexpr char kAccessExceptionClass[] = "ru/vantor/platform/win32/access/impl/OvWin32AccessExceptionImpl";
// Name of the class of the objects that newListener makes.
inline constexpr char kListenerClass[] = "ru/vantor/platform/win32/access/test/RecordingListener";

// A Java value as a test sees it: a deep copy made when a call returned.
class Value {
public:
    enum class Kind {
        Void,  // the method returns nothing
        Null,
        Boolean,
        Char,
        Int,
        Long,
        String,
        ObjectArray,    // elements()
        ArrayList,      // elements()
        HashMap,        // entries(), get()
        File,           // string() is the path
        LongObject,     // java.lang.Long: longValue()
        IntegerObject,  // java.lang.Integer: intValue()
        Throwable,      // string() is the message
        Object,         // anything else; className() tells what
    };

    Value() = default;
    static Value ofKind(Kind kind, std::string className = {});
    static Value ofBoolean(bool value);
    static Value ofChar(wchar_t value);
    static Value ofInt(std::int32_t value);
    static Value ofLong(std::int64_t value);
    static Value ofString(std::wstring text);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    // JNI name of the object's class ("java/lang/String", "[Ljava/lang/Object;").
    const std::string& className() const { return m_className; }

    // Each accessor fails the test and returns a neutral value when the
    // value is not of a fitting kind.
    bool boolean() const;
    wchar_t character() const;
    std::int32_t intValue() const;                                // Int, IntegerObject
    std::int64_t longValue() const;                               // Long, LongObject, Int, IntegerObject
    const std::wstring& string() const;                           // String, File path, Throwable message
    const std::vector<Value>& elements() const;                   // ObjectArray, ArrayList
    const std::vector<std::pair<Value, Value>>& entries() const;  // HashMap, in insertion order
    // The entry of a HashMap whose key is the String `key`, or null.
    const Value* get(const std::wstring& key) const;

    // Java-like text for messages: null, "text", [a, b], {k=v}, File(c:\), 5L.
    std::string describe() const;

    // Building (used by the host).
    std::vector<Value>& mutableElements() { return m_elements; }
    std::vector<std::pair<Value, Value>>& mutableEntries() { return m_entries; }
    void setText(std::wstring text) { m_text = std::move(text); }
    void setNumber(std::int64_t number) { m_number = number; }

    friend bool operator==(const Value& a, const Value& b);

private:
    Kind m_kind = Kind::Void;
    std::string m_className;
    std::int64_t m_number = 0;
    std::wstring m_text;
    std::vector<Value> m_elements;
    std::vector<std::pair<Value, Value>> m_entries;
};

bool operator==(const Value& a, const Value& b);
inline bool operator!=(const Value& a, const Value& b)
{
    return !(a == b);
}
void PrintTo(const Value& value, std::ostream* out);

// The exception a native call left pending.
struct Thrown {
    std::string className;   // JNI name
    std::wstring operation;  // OvWin32AccessExceptionImpl's first field (empty for other classes)
    std::wstring message;
    std::string describe() const;
};

struct CallResult {
    Value value;                          // what the native returned (also when it threw)
    std::optional<Thrown> exception;      // pending when it returned; cleared by the host
    std::vector<std::string> violations;  // JNI misuse seen during the call
};

// Test assertions: the call threw OvWin32AccessExceptionImpl(operation,
// message); the call left no exception pending.
::testing::AssertionResult threwAccess(const CallResult& result, const std::wstring& operation,
                                       const std::wstring& message);
::testing::AssertionResult threwNothing(const CallResult& result);

// A Java object that the test holds and passes as an argument.
struct ObjectHandle {
    int id = 0;
};

// One Java-typed argument of a native method.
class Arg {
public:
    Arg(std::nullptr_t) : m_kind(Kind::Null) {}
    Arg(bool value) : m_kind(Kind::Boolean), m_number(value ? 1 : 0) {}
    Arg(wchar_t value) : m_kind(Kind::Char), m_number(value) {}
    Arg(int value) : m_kind(Kind::Int), m_number(value) {}
    Arg(long value) : m_kind(Kind::Int), m_number(value) {}
    Arg(unsigned value) : m_kind(Kind::Int), m_number(static_cast<std::int32_t>(value)) {}
    Arg(long long value) : m_kind(Kind::Long), m_number(value) {}
    Arg(const wchar_t* text) : m_kind(text ? Kind::String : Kind::Null), m_text(text ? text : L"") {}
    Arg(std::wstring text) : m_kind(Kind::String), m_text(std::move(text)) {}
    Arg(ObjectHandle object) : m_kind(Kind::Object), m_number(object.id) {}

    enum class Kind { Null, Boolean, Char, Int, Long, String, Object };
    Kind kind() const { return m_kind; }
    std::int64_t number() const { return m_number; }
    const std::wstring& text() const { return m_text; }
    std::string describe() const;

private:
    Kind m_kind;
    std::int64_t m_number = 0;
    std::wstring m_text;
};

// The answer that test code gives to a Java call it handles (`callback`,
// a listener's generalMessage): a long result, or an exception to throw.
struct Answer {
    Answer(std::int64_t result = 0) : value(result) {}
    static Answer throwing(std::wstring message)
    {
        Answer answer;
        answer.throwMessage = std::move(message);
        return answer;
    }
    std::int64_t value = 0;
    std::optional<std::wstring> throwMessage;  // throws java.lang.RuntimeException(message)
};

// One call of OvWin32AccessInterface.callback(int, int, long).
struct CallbackCall {
    std::int32_t message = 0;
    std::int32_t wParam = 0;
    std::int64_t lParam = 0;
    DWORD threadId = 0;
};

// A native method as `javac -h` declares it.
struct DeclaredNative {
    std::string method;               // Java method name
    std::string signature;            // JNI signature, e.g. "(ILjava/lang/String;)Ljava/lang/String;"
    std::string function;             // exported function name
    std::vector<std::string> cTypes;  // C parameter types: "JNIEnv *", "jclass", "jint", ...
};
// Reads the native methods declared in a header generated by `javac -h`.
std::vector<DeclaredNative> readJniHeader(const std::wstring& path);

// The generated header of OvWin32AccessInterface beside the test program.
std::wstring interfaceHeaderPath();

// What the host does with violations.
enum class ViolationMode {
    Fail,     // report each one as a test failure (the default)
    Collect,  // keep them for takeViolations(), for tests of the host itself
};

struct HostOptions {
    // The project classes can be left out or made incomplete, to test how a
    // library copes without them.
    bool interfaceClass = true;
    bool callbackMethod = true;  // static long callback(int, int, long)
    bool exceptionClass = true;
    bool exceptionConstructor = true;  // OvWin32AccessExceptionImpl(String, String)
    // Whether AttachCurrentThread succeeds; a VM that is shutting down, or
    // short of memory, refuses it with JNI_ERR.
    bool threadsAttach = true;
};

class JniHost;

// A library loaded by the host, with the natives of OvWin32AccessInterface
// bound to its exports.
class NativeLibrary {
public:
    ~NativeLibrary();
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;

    HMODULE module() const { return m_module.get(); }
    const std::wstring& path() const { return m_path; }

    // Calls the native method bound to the Java method `method` (on the
    // calling thread, which acts as a Java thread).
    CallResult call(const std::string& method, const std::vector<Arg>& args = {});
    // Calls an export of C++ linkage, found by its undecorated function name
    // (e.g. "readStringValueA" for Java_..._readStringValueA), with the
    // parameters of the Java method `javaMethod`.
    CallResult callExport(const std::string& exportMethod, const std::string& javaMethod,
                          const std::vector<Arg>& args = {});
    // callExport(method + "A" / "W", method, args).
    CallResult callNarrow(const std::string& method, const std::vector<Arg>& args = {});
    CallResult callWide(const std::string& method, const std::vector<Arg>& args = {});

    // The natives of the Java class, and whether each was bound.
    const std::vector<DeclaredNative>& natives() const { return m_natives; }
    bool isBound(const std::string& method) const;

    // Every export name of the library, and the demangled form of each
    // (equal to the name for C-linkage exports).
    struct Export {
        std::string name;
        std::string demangled;
        void* address = nullptr;
    };
    const std::vector<Export>& exports() const { return m_exports; }

private:
    friend class JniHost;
    NativeLibrary(JniHost& host, std::wstring path);
    void* findNative(const DeclaredNative& native);
    void* findCppExport(const std::string& function) const;
    const DeclaredNative* declared(const std::string& method) const;

    JniHost& m_host;
    std::wstring m_path;
    win::Module m_module;
    std::vector<DeclaredNative> m_natives;
    std::vector<void*> m_bound;  // parallel to m_natives
    std::vector<Export> m_exports;
    std::vector<DWORD> m_threadsAtLoad;
    bool m_initialised = false;
};

class JniHost {
public:
    explicit JniHost(HostOptions options = {});
    ~JniHost();
    JniHost(const JniHost&) = delete;
    JniHost& operator=(const JniHost&) = delete;

    // Loads a library as System.load does and binds the native methods that
    // the generated header declares. A native that cannot be bound fails the
    // test (UnsatisfiedLinkError). The library stays loaded until the host
    // goes; it is then unloaded once the threads that appeared since it was
    // loaded have ended (the host calls `destroy` first when the test called
    // `initialise` and not `destroy`).
    NativeLibrary& load(const std::wstring& path = {}, const std::wstring& header = {});

    JavaVM* vm();
    // The JNIEnv of the calling thread, made a Java thread if it is not one.
    // Outside runNative it has no local frame, so only functions that make
    // no local references may be called with it there.
    JNIEnv* env();

    // Runs `body` as if it were a static native method of
    // OvWin32AccessInterface called on this thread, with the same checks;
    // what it returns is the method's result (an object parameter-less
    // native: its jobject result, or null).
    CallResult runNative(const std::function<jobject(JNIEnv*, jclass)>& body);

    // A local reference to a held object, for code run by runNative (it
    // counts as an argument of the running native, not as a leak).
    jobject newLocal(ObjectHandle object);

    // Objects for arguments.
    ObjectHandle newListener(std::function<Answer(const std::wstring& message)> handler = {});
    ObjectHandle newPlainObject();
    // The texts a listener's generalMessage received, in order.
    std::vector<std::wstring> listenerMessages(ObjectHandle listener) const;

    // What callback(int, int, long) answers (by default -1, unhandled), and
    // the calls it received.
    void setCallback(std::function<Answer(const CallbackCall&)> handler);
    std::vector<CallbackCall> callbackCalls() const;

    void setViolationMode(ViolationMode mode);
    // The violations not yet reported or taken.
    std::vector<std::string> takeViolations();

    // Number of live global references the natives hold.
    std::size_t globalReferenceCount() const;
    // Threads that attached through the invocation interface and detached.
    int attachCount() const;
    int detachCount() const;

    detail::Vm& vmCore() { return *m_vm; }

private:
    friend class NativeLibrary;
    CallResult invoke(void* function, const DeclaredNative& native, const std::vector<Arg>& args,
                      const std::function<jobject(JNIEnv*, jclass)>* body);
    void report(std::vector<std::string>& violations);

    std::unique_ptr<detail::Vm> m_vm;
    std::vector<std::unique_ptr<NativeLibrary>> m_libraries;
    ViolationMode m_mode = ViolationMode::Fail;
    std::vector<std::string> m_collected;
};

// Captures what the process writes to standard output and standard error
// (the C runtime's streams and the Win32 standard handles) while it lives.
// The library under test shares the C runtime (msvcrt) with the test, so its
// diagnostics are captured too. Google Test's own output written meanwhile
// is captured as well; keep captures short.
class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    std::string standardOutput();
    std::string standardError();

private:
    struct Stream;
    std::unique_ptr<Stream> m_out;
    std::unique_ptr<Stream> m_error;
};

// Standard output or standard error of the process, redirected to a pipe
// that a thread of its own reads, as the parent of a Java application reads
// the pipe it gave the JVM: a write that reaches the pipe is seen at once,
// while bytes that the C runtime still buffers are not seen at all. Nothing
// here flushes the C runtime's stream while the pipe is in place, so a test
// sees exactly what the library itself has delivered. When it goes, the
// stream is flushed into the pipe and put back.
class PipeReader {
public:
    enum class Stream { Output, Error };
    explicit PipeReader(Stream stream);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Waits until what was read contains `text` at least `count` times;
    // false if it does not within `timeoutMs`.
    bool waitFor(const std::string& text, DWORD timeoutMs, std::size_t count = 1);
    // What was read so far.
    std::string text() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The class of the library's hidden hook window.
inline constexpr wchar_t kHookWindowClass[] = L"Vantor Window Hook";

// The hook windows of this process (other test programs may have their own).
std::vector<HWND> hookWindows();
// The hook window of this process once the hook thread has made it (waits up
// to 5 s), or null.
HWND waitForHookWindow();
// Whether the thread has ended or ends within 10 s.
bool threadEnds(DWORD threadId);

// UTF-8 form of a wide text, for messages.
using testing::narrow;

}  // namespace vantor::jnihost
