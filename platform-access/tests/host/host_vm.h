// Inside the JNI test host: the object model, the classes, references,
// threads and the checks. See jni_host.h for what the host offers.
#pragma once

#include "platform-access/tests/host/jni_host.h"

#include <cstdarg>
#include <map>
#include <mutex>
#include <set>

namespace vantor::jnihost::detail {

struct ClassInfo;
struct MethodInfo;
struct Object;
struct ThreadState;
class Vm;
using ObjectPtr = std::shared_ptr<Object>;

// What an object is, as far as the host models it.
enum class Shape { Plain, Class, String, ObjectArray, ArrayList, HashMap, File, Long, Integer, Throwable, Listener };

struct Object {
    ClassInfo* type = nullptr;
    Shape shape = Shape::Plain;
    std::wstring text;                                     // String contents; File path
    std::int64_t number = 0;                               // Long, Integer; Listener id
    std::vector<ObjectPtr> elements;                       // ObjectArray, ArrayList
    std::vector<std::pair<ObjectPtr, ObjectPtr>> entries;  // HashMap, in insertion order
    ClassInfo* classValue = nullptr;                       // Class: the class it stands for
    ObjectPtr message;                                     // Throwable: its message (a String or null)
    ObjectPtr operation;                                   // OvWin32AccessExceptionImpl: its operation
};

// One argument or result of a Java method.
struct Slot {
    std::int64_t i = 0;
    double d = 0;
    ObjectPtr o;
};

// What a Java method body gives back: a result, or an exception to throw.
struct Outcome {
    Slot value;
    ObjectPtr thrown;
};

using Body = std::function<Outcome(Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args)>;

struct MethodInfo {
    ClassInfo* owner = nullptr;
    std::string name;
    std::string signature;
    bool isStatic = false;
    std::vector<std::string> parameters;  // field descriptors
    std::string result;                   // field descriptor or "V"
    Body body;
    // The body runs test code (a handler): it runs without the host lock, so
    // that the handler may block or call into the host.
    bool userCode = false;
};

struct ClassInfo {
    std::string name;  // JNI form: "java/lang/String", "[Ljava/lang/String;"
    ClassInfo* super = nullptr;
    std::vector<ClassInfo*> interfaces;
    bool isInterface = false;
    bool isAbstract = false;
    Shape shape = Shape::Plain;      // of the instances that NewObject makes
    ClassInfo* component = nullptr;  // arrays
    std::vector<std::unique_ptr<MethodInfo>> methods;
    ObjectPtr mirror;  // the java.lang.Class object
    bool isThrowable = false;
    bool findable = true;  // FindClass sees it
};

enum class RefKind { Local, Global, WeakGlobal };

struct RefSlot {
    std::uint32_t generation = 1;
    bool live = false;
    RefKind kind = RefKind::Local;
    ThreadState* owner = nullptr;  // locals
    std::size_t frame = 0;         // locals: index of the frame that holds it
    bool argument = false;         // made by the host for a native's parameter
    ObjectPtr target;
    std::string origin;  // the JNI function that made it
};

struct Frame {
    // The references made in it: slot index and generation (a slot may have
    // been freed and reused since).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> slots;
    std::size_t live = 0;  // live references that the native made (not arguments)
    std::size_t capacity = 16;
    bool overCapacityReported = false;
};

// Characters handed out by GetStringChars, GetStringUTFChars or
// GetStringCritical and not yet released.
struct Pinned {
    const void* pointer = nullptr;
    ObjectPtr string;
    enum class Kind { Chars, Utf, Critical } kind = Kind::Chars;
    std::unique_ptr<char[]> storage;  // what `pointer` points into
};

struct EnvBlock {
    JNIEnv_ env;
    ThreadState* state;
    std::uint32_t magic;
};

struct VmBlock {
    JavaVM_ vm;
    Vm* owner;
    std::uint32_t magic;
};

inline constexpr std::uint32_t kEnvMagic = 0x4A4E4945;  // "JNIE"
inline constexpr std::uint32_t kVmMagic = 0x4A4E4956;   // "JNIV"

struct ThreadState {
    EnvBlock block{};
    Vm* vm = nullptr;
    DWORD threadId = 0;
    bool javaThread = false;  // made by the host for its calls (not attached)
    bool alive = true;
    int nativeDepth = 0;    // host-made native calls running on it
    std::size_t floor = 0;  // index of the frame of the running native (or of the attach)
    std::vector<Frame> frames;
    ObjectPtr pending;
    int critical = 0;
    std::vector<Pinned> pinned;
};

// Splits a method signature into parameter descriptors and the result
// descriptor ("V" for none); false when it is malformed.
bool parseSignature(const std::string& signature, std::vector<std::string>& parameters, std::string& result);

// Conversions between UTF-16 and the VM's modified UTF-8.
std::string toModifiedUtf8(const std::wstring& text);
std::wstring fromModifiedUtf8(const char* bytes);

class Vm {
public:
    explicit Vm(const HostOptions& options);
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    std::mutex mutex;  // guards everything below

    JavaVM* javaVm() { return &m_vmBlock.vm; }
    const HostOptions& options() const { return m_options; }

    // --- classes ---
    ClassInfo* classNamed(const std::string& name);  // null when the host has no such class
    ClassInfo* arrayOf(ClassInfo* component);
    ClassInfo* define(const std::string& name, ClassInfo* super, Shape shape);
    MethodInfo* addMethod(ClassInfo* type, const std::string& name, const std::string& signature, bool isStatic,
                          Body body, bool userCode = false);
    MethodInfo* findMethod(ClassInfo* type, const std::string& name, const std::string& signature, bool isStatic);
    bool isValidMethod(const MethodInfo* method) const;
    static bool isSubclass(const ClassInfo* type, const ClassInfo* ancestor);
    // Whether `object` may be stored where `descriptor` ("Ljava/lang/Object;",
    // "[Ljava/lang/String;") is expected.
    bool fitsDescriptor(const ObjectPtr& object, const std::string& descriptor);

    // --- objects ---
    ObjectPtr newObject(ClassInfo* type);
    ObjectPtr newString(std::wstring text);
    ObjectPtr newThrowable(const std::string& className, const std::wstring& message);
    Value snapshot(const ObjectPtr& object, int depth = 0) const;
    std::string describe(const ObjectPtr& object) const;
    static bool javaEquals(const ObjectPtr& a, const ObjectPtr& b);

    // --- references ---
    jobject newRef(ThreadState& thread, const ObjectPtr& object, RefKind kind, const std::string& origin,
                   bool argument = false);
    // The slot a reference names, or null (with `problem` set) when it is
    // foreign, deleted or stale.
    RefSlot* slotOf(jobject reference, std::string& problem);
    void freeSlot(std::uint32_t index);
    // Resolves a reference given to `function` on `thread`. Null references
    // give null without a violation; invalid ones record a violation and
    // give null with `valid` false.
    ObjectPtr resolve(ThreadState& thread, jobject reference, const char* function, bool* valid = nullptr);
    std::uint32_t indexOf(jobject reference) const;
    std::size_t liveGlobalCount() const;

    // --- threads ---
    ThreadState* stateOf(JNIEnv* env);  // null for anything not made by this host
    ThreadState* currentThreadState();  // of the calling thread, if it has one
    ThreadState& javaThread();          // the calling thread as a Java thread
    ThreadState& attach(bool& wasAttached);
    // Detaches the calling thread (the checks included); returns a JNI code.
    jint detachCurrent();
    void pushFrame(ThreadState& thread, std::size_t capacity);
    // Frees the references of the top frame.
    void popFrame(ThreadState& thread);
    // The live references of frame `index` that the native made (not the
    // arguments), except `keep`.
    std::vector<std::string> liveLocals(ThreadState& thread, std::size_t index, std::uint32_t keep);
    int attachCount = 0;
    int detachCount = 0;

    // --- violations ---
    void violation(const std::string& text);
    std::vector<std::string> takeViolations();

    // --- test hooks ---
    std::function<Answer(const CallbackCall&)> callbackHandler;
    std::vector<CallbackCall> callbackCalls;
    struct Listener {
        std::function<Answer(const std::wstring&)> handler;
        std::vector<std::wstring> messages;
    };
    std::map<int, Listener> listeners;
    std::map<int, ObjectPtr> held;  // ObjectHandle id -> object
    int nextHandle = 1;

    // Runs a method body (with the lock held on entry and on return; user
    // code runs without it). Checks the arguments against the parameters.
    Outcome run(std::unique_lock<std::mutex>& lock, ThreadState& thread, MethodInfo& method, const ObjectPtr& self,
                const std::vector<Slot>& args);

private:
    void defineClasses();

    HostOptions m_options;
    std::uint16_t m_tag;
    std::map<std::string, std::unique_ptr<ClassInfo>> m_classes;
    std::set<const MethodInfo*> m_methods;
    std::vector<RefSlot> m_refs;
    std::vector<std::uint32_t> m_free;
    std::map<DWORD, std::unique_ptr<ThreadState>> m_threads;
    std::vector<std::unique_ptr<ThreadState>> m_ended;  // kept so that a stale JNIEnv stays readable
    std::vector<std::string> m_violations;
    VmBlock m_vmBlock{};
};

// The JNI function table and the invocation interface of the host.
const JNINativeInterface_* nativeInterface();
const JNIInvokeInterface_* invokeInterface();

// Violations that arrived with a JNIEnv or JavaVM the host does not know:
// there is no host to give them to, so they wait here for the next host call.
void orphanViolation(const std::string& text);
std::vector<std::string> takeOrphanViolations();

}  // namespace vantor::jnihost::detail
