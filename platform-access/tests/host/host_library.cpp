// Loading a JNI library, binding its natives by name and calling them as a
// JVM does, with the checks made when a native method returns.
#include "platform-access/tests/host/host_vm.h"
#include "tests/support/test_support.h"

#include <tlhelp32.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace vantor::jnihost {

using namespace detail;

namespace {

constexpr char kHeaderName[] = "ru_vantor_platform_win32_access_impl_OvWin32AccessInterface.h";
constexpr DWORD kThreadEndWaitMs = 10000;

// The JNI short name of a method: Java_<class>_<method>, with the escapes of
// the JNI naming rules.
std::string jniEscape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '/') {
            out += '_';
        } else if (c == '_') {
            out += "_1";
        } else if (c == ';') {
            out += "_2";
        } else if (c == '[') {
            out += "_3";
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "_0%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
        }
    }
    return out;
}

std::string shortName(const std::string& method)
{
    return "Java_" + jniEscape(kInterfaceClass) + "_" + jniEscape(method);
}

// Where a thread started (its Win32 start address), or null.
const void* threadStart(DWORD threadId)
{
    using QueryInformationThread = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryInformationThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr int kThreadQuerySetWin32StartAddress = 9;
    const win::Handle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
    if (query == nullptr || !thread) {
        return nullptr;
    }
    void* start = nullptr;
    query(thread.get(), kThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr);
    return start;
}

// Whether a thread runs code of the test program itself (Google Test's
// helper threads, threads of the test), rather than of a library it loaded.
bool startsInTestProgram(DWORD threadId)
{
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto* start = static_cast<const unsigned char*>(threadStart(threadId));
    return start >= base && start < base + nt->OptionalHeader.SizeOfImage;
}

std::vector<DWORD> processThreads()
{
    std::vector<DWORD> threads;
    const win::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) {
        return threads;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
            threads.push_back(entry.th32ThreadID);
        }
    }
    return threads;
}

std::string trim(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    return start == std::string::npos ? std::string() : text.substr(start, end - start + 1);
}

// Calls a native with up to 16 integer-class arguments. On x64 Windows every
// such argument travels in a 64-bit register or stack slot and the callee
// reads only the bits of its type, so one pointer type serves every native
// of the class (the JVM's call stubs rely on the same convention).
using RawNative = std::uint64_t (*)(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                    std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                    std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                    std::uint64_t);

std::uint64_t callRaw(void* function, const std::vector<std::uint64_t>& args)
{
    std::uint64_t a[16] = {};
    std::copy(args.begin(), args.end(), a);
    const auto native = reinterpret_cast<RawNative>(function);
    return native(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
}

}  // namespace

std::vector<DeclaredNative> readJniHeader(const std::wstring& path)
{
    std::vector<DeclaredNative> natives;
    const std::string text = testing::readFileBytes(path);
    std::istringstream lines(text);
    std::string line;
    DeclaredNative current;
    bool expectParameters = false;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.rfind("* Method:", 0) == 0) {
            current = DeclaredNative();
            current.method = trim(line.substr(9));
        } else if (line.rfind("* Signature:", 0) == 0) {
            current.signature = trim(line.substr(12));
        } else if (line.rfind("JNIEXPORT", 0) == 0) {
            current.function = line.substr(line.find_last_of(' ') + 1);
            expectParameters = true;
        } else if (expectParameters && !line.empty() && line[0] == '(') {
            expectParameters = false;
            std::string list = line.substr(1, line.rfind(')') - 1);
            std::istringstream parts(list);
            std::string part;
            while (std::getline(parts, part, ',')) {
                current.cTypes.push_back(trim(part));
            }
            natives.push_back(current);
        }
    }
    return natives;
}

std::wstring interfaceHeaderPath()
{
    return testing::binPath(std::wstring(kHeaderName, kHeaderName + sizeof kHeaderName - 1));
}

// --- NativeLibrary ----------------------------------------------------------------

NativeLibrary::NativeLibrary(JniHost& host, std::wstring path) : m_host(host), m_path(std::move(path))
{
    m_threadsAtLoad = processThreads();
    m_module.reset(LoadLibraryW(m_path.c_str()));
    if (!m_module) {
        const DWORD error = GetLastError();
        ADD_FAILURE() << "LoadLibraryW(" << narrow(m_path) << ") failed with error " << error;
        return;
    }

    // Every exported name, from the export directory of the loaded image.
    const auto* base = reinterpret_cast<const unsigned char*>(m_module.get());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress != 0) {
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
        const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
        const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
            Export entry;
            entry.name = reinterpret_cast<const char*>(base + names[i]);
            entry.address = const_cast<unsigned char*>(base + functions[ordinals[i]]);
            int status = 0;
            char* demangled = abi::__cxa_demangle(entry.name.c_str(), nullptr, nullptr, &status);
            entry.demangled = status == 0 && demangled != nullptr ? demangled : entry.name;
            std::free(demangled);
            m_exports.push_back(std::move(entry));
        }
    }
}

NativeLibrary::~NativeLibrary()
{
    if (!m_module) {
        return;
    }
    // An application ends the hook thread before it lets the library go;
    // the host does the same for a test that did not.
    if (m_initialised && isBound("destroy")) {
        call("destroy");
    }
    // Code of the library may still run on threads it started; unloading it
    // under them would crash the test program later. Threads of the test
    // program itself are the test's business.
    const DWORD deadline = GetTickCount() + kThreadEndWaitMs;
    std::vector<DWORD> stillRunning;
    for (const DWORD thread : processThreads()) {
        if (std::find(m_threadsAtLoad.begin(), m_threadsAtLoad.end(), thread) != m_threadsAtLoad.end() ||
            startsInTestProgram(thread)) {
            continue;
        }
        const win::Handle handle(OpenThread(SYNCHRONIZE, FALSE, thread));
        if (!handle) {
            continue;
        }
        const DWORD now = GetTickCount();
        const DWORD wait = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
        if (WaitForSingleObject(handle.get(), wait) != WAIT_OBJECT_0) {
            stillRunning.push_back(thread);
        }
    }
    if (!stillRunning.empty()) {
        std::fprintf(stderr, "jni host: %s left loaded: %u thread(s) started since it was loaded still run\n",
                     narrow(m_path).c_str(), static_cast<unsigned>(stillRunning.size()));
        static_cast<void>(m_module.release());
    }
}

const DeclaredNative* NativeLibrary::declared(const std::string& method) const
{
    for (const DeclaredNative& native : m_natives) {
        if (native.method == method) {
            return &native;
        }
    }
    return nullptr;
}

bool NativeLibrary::isBound(const std::string& method) const
{
    for (std::size_t i = 0; i < m_natives.size(); ++i) {
        if (m_natives[i].method == method) {
            return m_bound[i] != nullptr;
        }
    }
    return false;
}

void* NativeLibrary::findNative(const DeclaredNative& native)
{
    // As a JVM does: the short name first, then the long name with the
    // escaped parameter descriptors.
    const std::string name = shortName(native.method);
    if (FARPROC found = GetProcAddress(m_module.get(), name.c_str())) {
        return reinterpret_cast<void*>(found);
    }
    const std::string parameters = native.signature.substr(
        1, native.signature.find(')') == std::string::npos ? 0 : native.signature.find(')') - 1);
    const std::string longName = name + "__" + jniEscape(parameters);
    return reinterpret_cast<void*>(GetProcAddress(m_module.get(), longName.c_str()));
}

void* NativeLibrary::findCppExport(const std::string& function) const
{
    const std::string prefix = function + "(";
    void* found = nullptr;
    for (const Export& entry : m_exports) {
        if (entry.demangled.rfind(prefix, 0) == 0) {
            if (found != nullptr) {
                ADD_FAILURE() << "more than one export named " << function;
            }
            found = entry.address;
        }
    }
    return found;
}

CallResult NativeLibrary::call(const std::string& method, const std::vector<Arg>& args)
{
    for (std::size_t i = 0; i < m_natives.size(); ++i) {
        if (m_natives[i].method != method) {
            continue;
        }
        if (m_bound[i] == nullptr) {
            ADD_FAILURE() << "UnsatisfiedLinkError: " << method << " is not bound";
            return {};
        }
        if (method == "initialise") {
            m_initialised = true;
        } else if (method == "destroy") {
            m_initialised = false;
        }
        return m_host.invoke(m_bound[i], m_natives[i], args, nullptr);
    }
    ADD_FAILURE() << "OvWin32AccessInterface declares no native method " << method;
    return {};
}

CallResult NativeLibrary::callExport(const std::string& exportMethod, const std::string& javaMethod,
                                     const std::vector<Arg>& args)
{
    const DeclaredNative* native = declared(javaMethod);
    if (native == nullptr) {
        ADD_FAILURE() << "OvWin32AccessInterface declares no native method " << javaMethod;
        return {};
    }
    void* function = findCppExport(shortName(exportMethod));
    if (function == nullptr) {
        ADD_FAILURE() << "no C++ export " << shortName(exportMethod);
        return {};
    }
    return m_host.invoke(function, *native, args, nullptr);
}

CallResult NativeLibrary::callNarrow(const std::string& method, const std::vector<Arg>& args)
{
    return callExport(method + "A", method, args);
}

CallResult NativeLibrary::callWide(const std::string& method, const std::vector<Arg>& args)
{
    return callExport(method + "W", method, args);
}

// --- JniHost -----------------------------------------------------------------------

JniHost::JniHost(HostOptions options) : m_vm(std::make_unique<Vm>(options)) {}

JniHost::~JniHost()
{
    m_libraries.clear();
    std::vector<std::string> remaining = takeViolations();
    if (m_mode == ViolationMode::Fail) {
        for (const std::string& text : remaining) {
            ADD_FAILURE() << "JNI violation: " << text;
        }
    }
}

NativeLibrary& JniHost::load(const std::wstring& path, const std::wstring& header)
{
    auto library =
        std::unique_ptr<NativeLibrary>(new NativeLibrary(*this, path.empty() ? testing::binPath(L"vreg64.dll") : path));
    library->m_natives = readJniHeader(header.empty() ? interfaceHeaderPath() : header);
    if (library->m_natives.empty()) {
        ADD_FAILURE() << "no native methods found in the generated header "
                      << narrow(header.empty() ? interfaceHeaderPath() : header);
    }
    library->m_bound.assign(library->m_natives.size(), nullptr);
    if (library->m_module) {
        // JNI_OnLoad, when the library has one, runs first and names the JNI
        // version it needs.
        using OnLoad = jint(JNICALL*)(JavaVM*, void*);
        if (auto onLoad =
                reinterpret_cast<OnLoad>(reinterpret_cast<void*>(GetProcAddress(library->m_module.get(), "JNI_OnLoad")))) {
            const jint version = onLoad(vm(), nullptr);
            if (version > JNI_VERSION_1_8) {
                ADD_FAILURE() << "JNI_OnLoad asks for an unsupported JNI version " << std::hex << version;
            }
        }
        for (std::size_t i = 0; i < library->m_natives.size(); ++i) {
            library->m_bound[i] = library->findNative(library->m_natives[i]);
            if (library->m_bound[i] == nullptr) {
                std::lock_guard<std::mutex> lock(m_vm->mutex);
                m_vm->violation("UnsatisfiedLinkError: no export for " + library->m_natives[i].method +
                                library->m_natives[i].signature + " (" + shortName(library->m_natives[i].method) + ")");
            }
        }
    }
    std::vector<std::string> violations = m_vm->takeViolations();
    report(violations);
    m_libraries.push_back(std::move(library));
    return *m_libraries.back();
}

JavaVM* JniHost::vm()
{
    return m_vm->javaVm();
}

JNIEnv* JniHost::env()
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    return &m_vm->javaThread().block.env;
}

CallResult JniHost::runNative(const std::function<jobject(JNIEnv*, jclass)>& body)
{
    DeclaredNative native;
    native.method = "runNative";
    native.signature = "()Ljava/lang/Object;";
    return invoke(nullptr, native, {}, &body);
}

ObjectHandle JniHost::newListener(std::function<Answer(const std::wstring&)> handler)
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    const int id = m_vm->nextHandle++;
    ObjectPtr listener = m_vm->newObject(m_vm->classNamed(kListenerClass));
    listener->number = id;
    m_vm->listeners[id].handler = std::move(handler);
    m_vm->held[id] = listener;
    return ObjectHandle{id};
}

jobject JniHost::newLocal(ObjectHandle object)
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    const auto held = m_vm->held.find(object.id);
    if (held == m_vm->held.end()) {
        ADD_FAILURE() << "no object #" << object.id;
        return nullptr;
    }
    return m_vm->newRef(m_vm->javaThread(), held->second, RefKind::Local, "test object", true);
}

ObjectHandle JniHost::newPlainObject()
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    const int id = m_vm->nextHandle++;
    m_vm->held[id] = m_vm->newObject(m_vm->classNamed("java/lang/Object"));
    return ObjectHandle{id};
}

std::vector<std::wstring> JniHost::listenerMessages(ObjectHandle listener) const
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    const auto found = m_vm->listeners.find(listener.id);
    return found == m_vm->listeners.end() ? std::vector<std::wstring>() : found->second.messages;
}

void JniHost::setCallback(std::function<Answer(const CallbackCall&)> handler)
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    m_vm->callbackHandler = std::move(handler);
}

std::vector<CallbackCall> JniHost::callbackCalls() const
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    return m_vm->callbackCalls;
}

void JniHost::setViolationMode(ViolationMode mode)
{
    m_mode = mode;
}

std::vector<std::string> JniHost::takeViolations()
{
    std::vector<std::string> all;
    {
        std::lock_guard<std::mutex> lock(m_vm->mutex);
        all = m_vm->takeViolations();
    }
    for (std::string& text : takeOrphanViolations()) {
        all.push_back(std::move(text));
    }
    for (std::string& text : m_collected) {
        all.push_back(std::move(text));
    }
    m_collected.clear();
    return all;
}

std::size_t JniHost::globalReferenceCount() const
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    return m_vm->liveGlobalCount();
}

int JniHost::attachCount() const
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    return m_vm->attachCount;
}

int JniHost::detachCount() const
{
    std::lock_guard<std::mutex> lock(m_vm->mutex);
    return m_vm->detachCount;
}

void JniHost::report(std::vector<std::string>& violations)
{
    for (std::string& text : takeOrphanViolations()) {
        violations.push_back(std::move(text));
    }
    if (m_mode == ViolationMode::Fail) {
        for (const std::string& text : violations) {
            ADD_FAILURE() << "JNI violation: " << text;
        }
    } else {
        m_collected.insert(m_collected.end(), violations.begin(), violations.end());
    }
}

CallResult JniHost::invoke(void* function, const DeclaredNative& native, const std::vector<Arg>& args,
                           const std::function<jobject(JNIEnv*, jclass)>* body)
{
    CallResult result;
    std::vector<std::string> parameters;
    std::string returns;
    if (!parseSignature(native.signature, parameters, returns)) {
        ADD_FAILURE() << "malformed signature " << native.signature << " of " << native.method;
        return result;
    }
    if (parameters.size() != args.size() || parameters.size() > 14) {
        ADD_FAILURE() << native.method << native.signature << " takes " << parameters.size() << " arguments, not "
                      << args.size();
        return result;
    }

    Vm& vm = *m_vm;
    std::unique_lock<std::mutex> lock(vm.mutex);
    ThreadState& thread = vm.javaThread();
    const std::size_t savedFloor = thread.floor;
    vm.pushFrame(thread, 16);
    thread.floor = thread.frames.size() - 1;
    ++thread.nativeDepth;
    const std::size_t base = thread.floor;

    // The class argument and the Java arguments, as local references of the
    // native's frame (which the native may use, and even delete).
    ClassInfo* iface = vm.classNamed(kInterfaceClass);
    const jobject clazz = vm.newRef(thread, iface->mirror, RefKind::Local, "class argument", true);
    std::vector<std::uint64_t> raw = {reinterpret_cast<std::uint64_t>(&thread.block.env),
                                      reinterpret_cast<std::uint64_t>(clazz)};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Arg& arg = args[i];
        const char kind = parameters[i][0];
        bool fits = false;
        std::uint64_t value = 0;
        switch (kind) {
        case 'I':
            fits = arg.kind() == Arg::Kind::Int;
            value = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(arg.number())));
            break;
        case 'J':
            fits = arg.kind() == Arg::Kind::Long || arg.kind() == Arg::Kind::Int;
            value = static_cast<std::uint64_t>(arg.number());
            break;
        case 'Z':
            fits = arg.kind() == Arg::Kind::Boolean;
            value = static_cast<std::uint64_t>(arg.number());
            break;
        case 'C':
            fits = arg.kind() == Arg::Kind::Char;
            value = static_cast<std::uint64_t>(arg.number()) & 0xFFFF;
            break;
        case 'L':
        case '[': {
            ObjectPtr object;
            if (arg.kind() == Arg::Kind::Null) {
                fits = true;
            } else if (arg.kind() == Arg::Kind::String) {
                object = vm.newString(arg.text());
            } else if (arg.kind() == Arg::Kind::Object) {
                const auto held = vm.held.find(static_cast<int>(arg.number()));
                object = held == vm.held.end() ? nullptr : held->second;
            }
            if (object != nullptr) {
                fits = vm.fitsDescriptor(object, parameters[i]);
                value = reinterpret_cast<std::uint64_t>(
                    vm.newRef(thread, object, RefKind::Local, "argument " + std::to_string(i + 1), true));
            }
            break;
        }
        default: break;
        }
        if (!fits) {
            ADD_FAILURE() << native.method << ": argument " << (i + 1) << " (" << arg.describe()
                          << ") does not fit the parameter type " << parameters[i];
        }
        raw.push_back(value);
    }

    lock.unlock();
    std::uint64_t returned = 0;
    if (body != nullptr) {
        returned = reinterpret_cast<std::uint64_t>((*body)(&thread.block.env, static_cast<jclass>(clazz)));
    } else {
        returned = callRaw(function, raw);
    }
    lock.lock();

    // The result, as the JVM takes it.
    std::uint32_t keep = 0xFFFFFFFF;
    switch (returns[0]) {
    case 'V': result.value = Value(); break;
    case 'Z': result.value = Value::ofBoolean((returned & 0xFF) != 0); break;
    case 'C': result.value = Value::ofChar(static_cast<wchar_t>(returned & 0xFFFF)); break;
    case 'I': result.value = Value::ofInt(static_cast<std::int32_t>(returned)); break;
    case 'J': result.value = Value::ofLong(static_cast<std::int64_t>(returned)); break;
    default: {
        const auto reference = reinterpret_cast<jobject>(returned);
        if (reference == nullptr) {
            result.value = Value::ofKind(Value::Kind::Null);
            break;
        }
        std::string problem;
        RefSlot* slot = vm.slotOf(reference, problem);
        if (slot == nullptr) {
            vm.violation(native.method + " returned a " + problem);
            result.value = Value::ofKind(Value::Kind::Null);
            break;
        }
        if (slot->kind == RefKind::Local) {
            if (slot->owner != &thread) {
                vm.violation(native.method + " returned a local reference of another thread");
            }
            keep = vm.indexOf(reference);
        }
        if (!vm.fitsDescriptor(slot->target, returns)) {
            vm.violation(native.method + " returned " + vm.describe(slot->target) + " where " + returns +
                         " is declared");
        }
        result.value = vm.snapshot(slot->target);
        break;
    }
    }

    if (thread.pending) {
        Thrown thrown;
        thrown.className = thread.pending->type->name;
        if (thread.pending->operation) {
            thrown.operation = thread.pending->operation->text;
        }
        if (thread.pending->message) {
            thrown.message = thread.pending->message->text;
        }
        result.exception = std::move(thrown);
        thread.pending.reset();
    }

    // What the native must have cleaned up.
    if (thread.frames.size() - 1 > base) {
        vm.violation(native.method + ": " + std::to_string(thread.frames.size() - 1 - base) +
                     " local frame(s) pushed and not popped");
        while (thread.frames.size() - 1 > base) {
            vm.popFrame(thread);
        }
    }
    for (const std::string& live : vm.liveLocals(thread, base, keep)) {
        vm.violation(native.method + ": local reference still live when it returned: " + live);
    }
    for (const Pinned& pinned : thread.pinned) {
        vm.violation(native.method + ": string characters not released: " + vm.describe(pinned.string));
    }
    thread.pinned.clear();
    if (thread.critical != 0) {
        vm.violation(native.method + ": returned inside a critical region");
        thread.critical = 0;
    }
    vm.popFrame(thread);
    thread.floor = savedFloor;
    --thread.nativeDepth;
    result.violations = vm.takeViolations();
    lock.unlock();

    std::vector<std::string> reported = result.violations;
    report(reported);
    return result;
}

}  // namespace vantor::jnihost
