// The JNI function table and the invocation interface of the test host.
//
// Every function starts with an Entry, which finds the host behind the
// JNIEnv, takes its lock and checks the calling context (right thread, no
// exception pending unless the function is allowed then, not inside a
// critical region). Invalid arguments are violations; the function then
// returns its neutral value, where a JVM would crash or misbehave.
#include "platform-access/tests/host/host_vm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vantor::jnihost::detail {
namespace {

const char* const kFunctionNames[] = {
#include "platform-access/tests/host/jni_function_names.inc"
};

enum Allow : unsigned {
    kNormal = 0,
    kWhilePending = 1,  // allowed with an exception pending
    kInCritical = 2,    // allowed inside a critical region
};

class Entry {
public:
    Entry(JNIEnv* env, const char* function, unsigned allow = kNormal) : m_function(function)
    {
        auto* block = reinterpret_cast<EnvBlock*>(env);
        if (env == nullptr || block->magic != kEnvMagic || block->state == nullptr) {
            orphanViolation(std::string(function) + ": called with a JNIEnv that no test host made");
            return;
        }
        ThreadState* state = block->state;
        vm = state->vm;
        lock = std::unique_lock<std::mutex>(vm->mutex);
        if (!state->alive) {
            vm->violation(std::string(function) + ": called with the JNIEnv of a thread that has detached");
            return;
        }
        if (state->threadId != GetCurrentThreadId()) {
            vm->violation(std::string(function) + ": JNIEnv of thread " + std::to_string(state->threadId) +
                          " used on thread " + std::to_string(GetCurrentThreadId()));
            return;
        }
        if (state->pending && (allow & kWhilePending) == 0) {
            vm->violation(std::string(function) + ": called with an exception pending (" +
                          vm->describe(state->pending) + ")");
        }
        if (state->critical > 0 && (allow & kInCritical) == 0) {
            vm->violation(std::string(function) + ": called inside a critical region");
        }
        thread = state;
    }

    explicit operator bool() const { return thread != nullptr; }

    void violation(const std::string& text) { vm->violation(std::string(m_function) + ": " + text); }

    ObjectPtr resolve(jobject reference, bool* valid = nullptr)
    {
        return vm->resolve(*thread, reference, m_function, valid);
    }

    jobject local(const ObjectPtr& object, const std::string& origin = {})
    {
        return vm->newRef(*thread, object, RefKind::Local, origin.empty() ? m_function : origin);
    }

    void raise(const std::string& className, const std::wstring& message)
    {
        thread->pending = vm->newThrowable(className, message);
    }

    // A jclass argument: a valid, non-null reference to a Class object.
    ClassInfo* classArg(jclass clazz)
    {
        if (clazz == nullptr) {
            violation("null class");
            return nullptr;
        }
        bool valid = true;
        const ObjectPtr object = resolve(clazz, &valid);
        if (!valid) {
            return nullptr;
        }
        if (object->shape != Shape::Class) {
            violation("not a class: " + vm->describe(object));
            return nullptr;
        }
        return object->classValue;
    }

    // A non-null object argument.
    ObjectPtr objectArg(jobject reference, const char* what)
    {
        if (reference == nullptr) {
            violation(std::string("null ") + what);
            return nullptr;
        }
        return resolve(reference);
    }

    ObjectPtr stringArg(jstring string)
    {
        ObjectPtr object = objectArg(string, "string");
        if (object != nullptr && object->shape != Shape::String) {
            violation("not a string: " + vm->describe(object));
            return nullptr;
        }
        return object;
    }

    ObjectPtr arrayArg(jarray array)
    {
        ObjectPtr object = objectArg(array, "array");
        if (object != nullptr && object->shape != Shape::ObjectArray) {
            violation("not an object array: " + vm->describe(object));
            return nullptr;
        }
        return object;
    }

    MethodInfo* methodArg(jmethodID id)
    {
        auto* method = reinterpret_cast<MethodInfo*>(id);
        if (id == nullptr || !vm->isValidMethod(method)) {
            violation("not a method id of this VM");
            return nullptr;
        }
        return method;
    }

    const char* function() const { return m_function; }

    Vm* vm = nullptr;
    ThreadState* thread = nullptr;
    std::unique_lock<std::mutex> lock;

private:
    const char* m_function;
};

// --- version, classes ---------------------------------------------------------

jint JNICALL getVersion(JNIEnv* env)
{
    Entry e(env, "GetVersion");
    return e ? JNI_VERSION_1_8 : 0;
}

jclass JNICALL findClass(JNIEnv* env, const char* name)
{
    Entry e(env, "FindClass");
    if (!e) {
        return nullptr;
    }
    if (name == nullptr) {
        e.violation("null class name");
        return nullptr;
    }
    std::string className = name;
    if (className.find('.') != std::string::npos) {
        e.violation("class name with dots \"" + className + "\"; JNI wants slashes");
    }
    if (className.size() > 2 && className[0] == 'L' && className.back() == ';') {
        // HotSpot strips the envelope and warns under -Xcheck:jni that
        // future releases will refuse such names.
        e.violation("class descriptor \"" + className + "\" given instead of the class name");
        className = className.substr(1, className.size() - 2);
    }
    ClassInfo* type = e.vm->classNamed(className);
    if (type == nullptr || !type->findable) {
        e.raise("java/lang/NoClassDefFoundError", std::wstring(className.begin(), className.end()));
        return nullptr;
    }
    return static_cast<jclass>(e.local(type->mirror, "FindClass(\"" + className + "\")"));
}

jclass JNICALL getSuperclass(JNIEnv* env, jclass sub)
{
    Entry e(env, "GetSuperclass");
    ClassInfo* type = e ? e.classArg(sub) : nullptr;
    if (type == nullptr || type->isInterface || type->super == nullptr) {
        return nullptr;
    }
    return static_cast<jclass>(e.local(type->super->mirror));
}

jboolean JNICALL isAssignableFrom(JNIEnv* env, jclass sub, jclass sup)
{
    Entry e(env, "IsAssignableFrom");
    if (!e) {
        return JNI_FALSE;
    }
    ClassInfo* from = e.classArg(sub);
    ClassInfo* to = e.classArg(sup);
    return from && to && Vm::isSubclass(from, to) ? JNI_TRUE : JNI_FALSE;
}

// --- exceptions ---------------------------------------------------------------

jint JNICALL throwObject(JNIEnv* env, jthrowable obj)
{
    Entry e(env, "Throw");
    if (!e) {
        return JNI_ERR;
    }
    const ObjectPtr thrown = e.objectArg(obj, "throwable");
    if (thrown == nullptr) {
        return JNI_ERR;
    }
    if (!thrown->type->isThrowable) {
        e.violation("not a Throwable: " + e.vm->describe(thrown));
        return JNI_ERR;
    }
    e.thread->pending = thrown;
    return JNI_OK;
}

jint JNICALL throwNew(JNIEnv* env, jclass clazz, const char* message)
{
    Entry e(env, "ThrowNew");
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    if (type == nullptr) {
        return JNI_ERR;
    }
    if (!type->isThrowable) {
        e.violation("not a Throwable class: " + type->name);
        return JNI_ERR;
    }
    MethodInfo* constructor = nullptr;
    for (const auto& method : type->methods) {
        if (method->name == "<init>" && method->signature == "(Ljava/lang/String;)V") {
            constructor = method.get();
        }
    }
    if (constructor == nullptr) {
        e.raise("java/lang/NoSuchMethodError", L"<init>(Ljava/lang/String;)V");
        return JNI_ERR;
    }
    ObjectPtr thrown = e.vm->newObject(type);
    thrown->message = message ? e.vm->newString(fromModifiedUtf8(message)) : nullptr;
    e.thread->pending = thrown;
    return JNI_OK;
}

jthrowable JNICALL exceptionOccurred(JNIEnv* env)
{
    Entry e(env, "ExceptionOccurred", kWhilePending);
    return e ? static_cast<jthrowable>(e.local(e.thread->pending)) : nullptr;
}

void JNICALL exceptionDescribe(JNIEnv* env)
{
    Entry e(env, "ExceptionDescribe", kWhilePending);
    if (e && e.thread->pending) {
        std::fprintf(stderr, "Exception in thread %lu: %s\n", e.thread->threadId,
                     e.vm->describe(e.thread->pending).c_str());
        e.thread->pending.reset();
    }
}

void JNICALL exceptionClear(JNIEnv* env)
{
    Entry e(env, "ExceptionClear", kWhilePending);
    if (e) {
        e.thread->pending.reset();
    }
}

jboolean JNICALL exceptionCheck(JNIEnv* env)
{
    Entry e(env, "ExceptionCheck", kWhilePending);
    return e && e.thread->pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL fatalError(JNIEnv* env, const char* message)
{
    {
        Entry e(env, "FatalError", kWhilePending);
    }
    std::fprintf(stderr, "FatalError called by the native code: %s\n", message ? message : "(null)");
    std::fflush(stderr);
    std::abort();
}

// --- references and frames -------------------------------------------------------

jint JNICALL pushLocalFrame(JNIEnv* env, jint capacity)
{
    Entry e(env, "PushLocalFrame", kWhilePending);
    if (!e) {
        return JNI_ERR;
    }
    if (capacity < 0) {
        e.violation("negative capacity");
        return JNI_ERR;
    }
    e.vm->pushFrame(*e.thread, static_cast<std::size_t>(capacity < 16 ? 16 : capacity));
    return JNI_OK;
}

jobject JNICALL popLocalFrame(JNIEnv* env, jobject result)
{
    Entry e(env, "PopLocalFrame", kWhilePending);
    if (!e) {
        return nullptr;
    }
    if (e.thread->frames.empty() || e.thread->frames.size() - 1 <= e.thread->floor) {
        e.violation("no frame pushed with PushLocalFrame");
        return nullptr;
    }
    const ObjectPtr kept = e.resolve(result);
    e.vm->popFrame(*e.thread);
    return e.local(kept);
}

jobject JNICALL newGlobalRef(JNIEnv* env, jobject reference)
{
    Entry e(env, "NewGlobalRef");
    if (!e) {
        return nullptr;
    }
    const ObjectPtr object = e.resolve(reference);
    return e.vm->newRef(*e.thread, object, RefKind::Global, "NewGlobalRef");
}

void deleteReference(JNIEnv* env, jobject reference, RefKind kind, const char* function)
{
    Entry e(env, function, kWhilePending);
    if (!e || reference == nullptr) {
        return;
    }
    std::string problem;
    RefSlot* slot = e.vm->slotOf(reference, problem);
    if (slot == nullptr) {
        e.violation(problem);
        return;
    }
    if (slot->kind != kind) {
        e.violation("given a reference of another kind (made by " + slot->origin + ")");
        return;
    }
    if (kind == RefKind::Local && slot->owner != e.thread) {
        e.violation("local reference of another thread");
        return;
    }
    e.vm->freeSlot(e.vm->indexOf(reference));
}

void JNICALL deleteGlobalRef(JNIEnv* env, jobject reference)
{
    deleteReference(env, reference, RefKind::Global, "DeleteGlobalRef");
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject reference)
{
    deleteReference(env, reference, RefKind::Local, "DeleteLocalRef");
}

void JNICALL deleteWeakGlobalRef(JNIEnv* env, jweak reference)
{
    deleteReference(env, reference, RefKind::WeakGlobal, "DeleteWeakGlobalRef");
}

jweak JNICALL newWeakGlobalRef(JNIEnv* env, jobject reference)
{
    Entry e(env, "NewWeakGlobalRef");
    if (!e) {
        return nullptr;
    }
    return e.vm->newRef(*e.thread, e.resolve(reference), RefKind::WeakGlobal, "NewWeakGlobalRef");
}

jboolean JNICALL isSameObject(JNIEnv* env, jobject a, jobject b)
{
    Entry e(env, "IsSameObject");
    if (!e) {
        return JNI_FALSE;
    }
    return e.resolve(a) == e.resolve(b) ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL newLocalRef(JNIEnv* env, jobject reference)
{
    Entry e(env, "NewLocalRef");
    return e ? e.local(e.resolve(reference)) : nullptr;
}

jint JNICALL ensureLocalCapacity(JNIEnv* env, jint capacity)
{
    Entry e(env, "EnsureLocalCapacity");
    if (!e) {
        return JNI_ERR;
    }
    if (capacity < 0 || e.thread->frames.empty()) {
        e.violation("negative capacity, or no native frame");
        return JNI_ERR;
    }
    Frame& frame = e.thread->frames.back();
    frame.capacity = std::max(frame.capacity, frame.live + static_cast<std::size_t>(capacity));
    return JNI_OK;
}

jobjectRefType JNICALL getObjectRefType(JNIEnv* env, jobject reference)
{
    Entry e(env, "GetObjectRefType");
    if (!e || reference == nullptr) {
        return JNIInvalidRefType;
    }
    std::string problem;
    const RefSlot* slot = e.vm->slotOf(reference, problem);
    if (slot == nullptr) {
        return JNIInvalidRefType;
    }
    switch (slot->kind) {
    case RefKind::Local: return JNILocalRefType;
    case RefKind::Global: return JNIGlobalRefType;
    case RefKind::WeakGlobal: return JNIWeakGlobalRefType;
    }
    return JNIInvalidRefType;
}

// --- objects and calls ------------------------------------------------------------

// Where the Java arguments of a call come from.
struct ArgSource {
    va_list* list = nullptr;
    const jvalue* array = nullptr;
};

bool readArgs(Entry& e, const MethodInfo& method, ArgSource source, std::vector<Slot>& out)
{
    for (std::size_t i = 0; i < method.parameters.size(); ++i) {
        const char kind = method.parameters[i][0];
        jvalue value{};
        if (source.list != nullptr) {
            switch (kind) {
            case 'Z': value.z = static_cast<jboolean>(va_arg(*source.list, int)); break;
            case 'B': value.b = static_cast<jbyte>(va_arg(*source.list, int)); break;
            case 'C': value.c = static_cast<jchar>(va_arg(*source.list, int)); break;
            case 'S': value.s = static_cast<jshort>(va_arg(*source.list, int)); break;
            case 'I': value.i = static_cast<jint>(va_arg(*source.list, int)); break;
            case 'J': value.j = va_arg(*source.list, jlong); break;
            case 'F': value.f = static_cast<jfloat>(va_arg(*source.list, double)); break;
            case 'D': value.d = va_arg(*source.list, double); break;
            default: value.l = va_arg(*source.list, jobject); break;
            }
        } else if (source.array != nullptr) {
            value = source.array[i];
        } else if (!method.parameters.empty()) {
            e.violation("null argument array");
            return false;
        }
        Slot slot;
        switch (kind) {
        case 'Z': slot.i = value.z; break;
        case 'B': slot.i = value.b; break;
        case 'C': slot.i = value.c; break;
        case 'S': slot.i = value.s; break;
        case 'I': slot.i = value.i; break;
        case 'J': slot.i = value.j; break;
        case 'F': slot.d = value.f; break;
        case 'D': slot.d = value.d; break;
        default: {
            bool valid = true;
            slot.o = e.resolve(value.l, &valid);
            if (!valid) {
                return false;
            }
        }
        }
        out.push_back(std::move(slot));
    }
    return true;
}

jobject newObjectCore(JNIEnv* env, const char* function, jclass clazz, jmethodID id, ArgSource source)
{
    Entry e(env, function);
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    MethodInfo* constructor = type ? e.methodArg(id) : nullptr;
    if (constructor == nullptr) {
        return nullptr;
    }
    if (constructor->name != "<init>" || constructor->owner != type) {
        e.violation("method id " + constructor->name + constructor->signature + " is not a constructor of " +
                    type->name);
        return nullptr;
    }
    if (type->isAbstract || type->isInterface || type->shape == Shape::Class) {
        e.violation("cannot instantiate " + type->name);
        return nullptr;
    }
    std::vector<Slot> args;
    if (!readArgs(e, *constructor, source, args)) {
        return nullptr;
    }
    ObjectPtr object = e.vm->newObject(type);
    const Outcome outcome = e.vm->run(e.lock, *e.thread, *constructor, object, args);
    if (outcome.thrown) {
        e.thread->pending = outcome.thrown;
        return nullptr;
    }
    return e.local(object, std::string(function) + "(" + type->name + ")");
}

jobject JNICALL newObject(JNIEnv* env, jclass clazz, jmethodID id, ...)
{
    va_list list;
    va_start(list, id);
    jobject result = newObjectCore(env, "NewObject", clazz, id, ArgSource{&list, nullptr});
    va_end(list);
    return result;
}

jobject JNICALL newObjectV(JNIEnv* env, jclass clazz, jmethodID id, va_list args)
{
    va_list list;
    va_copy(list, args);
    jobject result = newObjectCore(env, "NewObjectV", clazz, id, ArgSource{&list, nullptr});
    va_end(list);
    return result;
}

jobject JNICALL newObjectA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)
{
    return newObjectCore(env, "NewObjectA", clazz, id, ArgSource{nullptr, args});
}

jobject JNICALL allocObject(JNIEnv* env, jclass clazz)
{
    Entry e(env, "AllocObject");
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    if (type == nullptr) {
        return nullptr;
    }
    if (type->isAbstract || type->isInterface || type->component != nullptr) {
        e.violation("cannot instantiate " + type->name);
        return nullptr;
    }
    return e.local(e.vm->newObject(type));
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject object)
{
    Entry e(env, "GetObjectClass");
    const ObjectPtr target = e ? e.objectArg(object, "object") : nullptr;
    if (target == nullptr) {
        return nullptr;
    }
    ClassInfo* type = target->shape == Shape::Class ? e.vm->classNamed("java/lang/Class") : target->type;
    return static_cast<jclass>(e.local(type->mirror, "GetObjectClass(" + type->name + ")"));
}

jboolean JNICALL isInstanceOf(JNIEnv* env, jobject object, jclass clazz)
{
    Entry e(env, "IsInstanceOf");
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    if (type == nullptr) {
        return JNI_FALSE;
    }
    const ObjectPtr target = e.resolve(object);
    return target == nullptr || Vm::isSubclass(target->type, type) ? JNI_TRUE : JNI_FALSE;
}

jmethodID methodIdCore(JNIEnv* env, const char* function, jclass clazz, const char* name, const char* signature,
                       bool isStatic)
{
    Entry e(env, function);
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    if (type == nullptr) {
        return nullptr;
    }
    if (name == nullptr || signature == nullptr) {
        e.violation("null name or signature");
        return nullptr;
    }
    std::vector<std::string> parameters;
    std::string result;
    if (!parseSignature(signature, parameters, result)) {
        e.violation(std::string("malformed signature \"") + signature + "\"");
    }
    MethodInfo* method = e.vm->findMethod(type, name, signature, isStatic);
    if (method == nullptr) {
        const std::string missing = type->name + "." + name + signature;
        e.raise("java/lang/NoSuchMethodError", std::wstring(missing.begin(), missing.end()));
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(method);
}

jmethodID JNICALL getMethodID(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    return methodIdCore(env, "GetMethodID", clazz, name, signature, false);
}

jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass clazz, const char* name, const char* signature)
{
    return methodIdCore(env, "GetStaticMethodID", clazz, name, signature, true);
}

jfieldID fieldIdCore(JNIEnv* env, const char* function, jclass clazz, const char* name)
{
    Entry e(env, function);
    ClassInfo* type = e ? e.classArg(clazz) : nullptr;
    if (type != nullptr) {
        // The host models no fields.
        const std::string missing = type->name + "." + (name ? name : "?");
        e.raise("java/lang/NoSuchFieldError", std::wstring(missing.begin(), missing.end()));
    }
    return nullptr;
}

jfieldID JNICALL getFieldID(JNIEnv* env, jclass clazz, const char* name, const char*)
{
    return fieldIdCore(env, "GetFieldID", clazz, name);
}

jfieldID JNICALL getStaticFieldID(JNIEnv* env, jclass clazz, const char* name, const char*)
{
    return fieldIdCore(env, "GetStaticFieldID", clazz, name);
}

enum class CallKind { Virtual, Nonvirtual, Static };

const char* typeName(char code)
{
    switch (code) {
    case 'L': return "an object";
    case 'Z': return "boolean";
    case 'B': return "byte";
    case 'C': return "char";
    case 'S': return "short";
    case 'I': return "int";
    case 'J': return "long";
    case 'F': return "float";
    case 'D': return "double";
    default: return "void";
    }
}

jvalue callCore(JNIEnv* env, const char* function, CallKind kind, jobject target, jclass clazz, jmethodID id,
                ArgSource source, char expected)
{
    jvalue result{};
    Entry e(env, function);
    MethodInfo* method = e ? e.methodArg(id) : nullptr;
    if (method == nullptr) {
        return result;
    }
    const char returns = method->result[0] == '[' ? 'L' : method->result[0];
    if (returns != expected) {
        e.violation(method->owner->name + "." + method->name + method->signature + " returns " + typeName(returns) +
                    ", not " + typeName(expected));
        return result;
    }
    ObjectPtr self;
    if (kind == CallKind::Static) {
        ClassInfo* type = e.classArg(clazz);
        if (type == nullptr) {
            return result;
        }
        if (!method->isStatic || !Vm::isSubclass(type, method->owner)) {
            e.violation(method->name + method->signature + " is not a static method of " + type->name);
            return result;
        }
    } else {
        self = e.objectArg(target, "object");
        if (self == nullptr) {
            return result;
        }
        if (method->isStatic || !Vm::isSubclass(self->type, method->owner)) {
            e.violation(method->owner->name + "." + method->name + method->signature +
                        " is not an instance method of " + e.vm->describe(self));
            return result;
        }
        if (kind == CallKind::Nonvirtual) {
            ClassInfo* type = e.classArg(clazz);
            if (type == nullptr || !Vm::isSubclass(self->type, type)) {
                e.violation("object is not of the class given");
                return result;
            }
        } else if (MethodInfo* actual = e.vm->findMethod(self->type, method->name, method->signature, false)) {
            method = actual;  // virtual dispatch
        }
    }
    std::vector<Slot> args;
    if (!readArgs(e, *method, source, args)) {
        return result;
    }
    const Outcome outcome = e.vm->run(e.lock, *e.thread, *method, self, args);
    if (outcome.thrown) {
        e.thread->pending = outcome.thrown;
        return result;
    }
    switch (expected) {
    case 'L': result.l = e.local(outcome.value.o, std::string(function) + "(" + method->name + ")"); break;
    case 'Z': result.z = outcome.value.i != 0 ? JNI_TRUE : JNI_FALSE; break;
    case 'B': result.b = static_cast<jbyte>(outcome.value.i); break;
    case 'C': result.c = static_cast<jchar>(outcome.value.i); break;
    case 'S': result.s = static_cast<jshort>(outcome.value.i); break;
    case 'I': result.i = static_cast<jint>(outcome.value.i); break;
    case 'J': result.j = outcome.value.i; break;
    case 'F': result.f = static_cast<jfloat>(outcome.value.d); break;
    case 'D': result.d = outcome.value.d; break;
    default: break;
    }
    return result;
}

// The Call<Type>Method families: virtual, nonvirtual and static, each with
// variadic, va_list and jvalue-array arguments.
#define HOST_CALL_FAMILY(Name, jtype, field, code)                                                                  \
    jtype JNICALL call##Name##Method(JNIEnv* env, jobject obj, jmethodID id, ...)                                   \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_start(list, id);                                                                                         \
        const jvalue r = callCore(env, "Call" #Name "Method", CallKind::Virtual, obj, nullptr, id,                  \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL call##Name##MethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args)                         \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_copy(list, args);                                                                                        \
        const jvalue r = callCore(env, "Call" #Name "MethodV", CallKind::Virtual, obj, nullptr, id,                 \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL call##Name##MethodA(JNIEnv* env, jobject obj, jmethodID id, const jvalue* args)                   \
    {                                                                                                               \
        return callCore(env, "Call" #Name "MethodA", CallKind::Virtual, obj, nullptr, id, ArgSource{nullptr, args}, \
                        code)                                                                                       \
            .field;                                                                                                 \
    }                                                                                                               \
    jtype JNICALL callNonvirtual##Name##Method(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, ...)           \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_start(list, id);                                                                                         \
        const jvalue r = callCore(env, "CallNonvirtual" #Name "Method", CallKind::Nonvirtual, obj, clazz, id,       \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL callNonvirtual##Name##MethodV(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, va_list args) \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_copy(list, args);                                                                                        \
        const jvalue r = callCore(env, "CallNonvirtual" #Name "MethodV", CallKind::Nonvirtual, obj, clazz, id,      \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL callNonvirtual##Name##MethodA(JNIEnv* env, jobject obj, jclass clazz, jmethodID id,               \
                                                const jvalue* args)                                                 \
    {                                                                                                               \
        return callCore(env, "CallNonvirtual" #Name "MethodA", CallKind::Nonvirtual, obj, clazz, id,                \
                        ArgSource{nullptr, args}, code)                                                             \
            .field;                                                                                                 \
    }                                                                                                               \
    jtype JNICALL callStatic##Name##Method(JNIEnv* env, jclass clazz, jmethodID id, ...)                            \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_start(list, id);                                                                                         \
        const jvalue r = callCore(env, "CallStatic" #Name "Method", CallKind::Static, nullptr, clazz, id,           \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL callStatic##Name##MethodV(JNIEnv* env, jclass clazz, jmethodID id, va_list args)                  \
    {                                                                                                               \
        va_list list;                                                                                               \
        va_copy(list, args);                                                                                        \
        const jvalue r = callCore(env, "CallStatic" #Name "MethodV", CallKind::Static, nullptr, clazz, id,          \
                                  ArgSource{&list, nullptr}, code);                                                 \
        va_end(list);                                                                                               \
        return r.field;                                                                                             \
    }                                                                                                               \
    jtype JNICALL callStatic##Name##MethodA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)            \
    {                                                                                                               \
        return callCore(env, "CallStatic" #Name "MethodA", CallKind::Static, nullptr, clazz, id,                    \
                        ArgSource{nullptr, args}, code)                                                             \
            .field;                                                                                                 \
    }

HOST_CALL_FAMILY(Object, jobject, l, 'L')
HOST_CALL_FAMILY(Boolean, jboolean, z, 'Z')
HOST_CALL_FAMILY(Byte, jbyte, b, 'B')
HOST_CALL_FAMILY(Char, jchar, c, 'C')
HOST_CALL_FAMILY(Short, jshort, s, 'S')
HOST_CALL_FAMILY(Int, jint, i, 'I')
HOST_CALL_FAMILY(Long, jlong, j, 'J')
HOST_CALL_FAMILY(Float, jfloat, f, 'F')
HOST_CALL_FAMILY(Double, jdouble, d, 'D')

// Void calls: the same, without a result.
void JNICALL callVoidMethod(JNIEnv* env, jobject obj, jmethodID id, ...)
{
    va_list list;
    va_start(list, id);
    callCore(env, "CallVoidMethod", CallKind::Virtual, obj, nullptr, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callVoidMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args)
{
    va_list list;
    va_copy(list, args);
    callCore(env, "CallVoidMethodV", CallKind::Virtual, obj, nullptr, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callVoidMethodA(JNIEnv* env, jobject obj, jmethodID id, const jvalue* args)
{
    callCore(env, "CallVoidMethodA", CallKind::Virtual, obj, nullptr, id, ArgSource{nullptr, args}, 'V');
}

void JNICALL callNonvirtualVoidMethod(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, ...)
{
    va_list list;
    va_start(list, id);
    callCore(env, "CallNonvirtualVoidMethod", CallKind::Nonvirtual, obj, clazz, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callNonvirtualVoidMethodV(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, va_list args)
{
    va_list list;
    va_copy(list, args);
    callCore(env, "CallNonvirtualVoidMethodV", CallKind::Nonvirtual, obj, clazz, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callNonvirtualVoidMethodA(JNIEnv* env, jobject obj, jclass clazz, jmethodID id, const jvalue* args)
{
    callCore(env, "CallNonvirtualVoidMethodA", CallKind::Nonvirtual, obj, clazz, id, ArgSource{nullptr, args}, 'V');
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass clazz, jmethodID id, ...)
{
    va_list list;
    va_start(list, id);
    callCore(env, "CallStaticVoidMethod", CallKind::Static, nullptr, clazz, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass clazz, jmethodID id, va_list args)
{
    va_list list;
    va_copy(list, args);
    callCore(env, "CallStaticVoidMethodV", CallKind::Static, nullptr, clazz, id, ArgSource{&list, nullptr}, 'V');
    va_end(list);
}

void JNICALL callStaticVoidMethodA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args)
{
    callCore(env, "CallStaticVoidMethodA", CallKind::Static, nullptr, clazz, id, ArgSource{nullptr, args}, 'V');
}

// --- strings ------------------------------------------------------------------

jstring JNICALL newString(JNIEnv* env, const jchar* units, jsize length)
{
    Entry e(env, "NewString");
    if (!e) {
        return nullptr;
    }
    if (length < 0 || (units == nullptr && length > 0)) {
        e.violation("negative length, or null characters");
        return nullptr;
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(units), static_cast<std::size_t>(length));
    return static_cast<jstring>(e.local(e.vm->newString(std::move(text))));
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string)
{
    Entry e(env, "GetStringLength");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    return target ? static_cast<jsize>(target->text.size()) : 0;
}

// Hands out a copy of the characters, deliberately not terminated: JNI
// promises no terminator, so code that relies on one reads the marker
// U+FFFD (and then a zero, so that it does not run off).
const jchar* pinChars(Entry& e, const ObjectPtr& target, Pinned::Kind kind, jboolean* isCopy)
{
    const std::size_t length = target->text.size();
    auto storage = std::make_unique<char[]>((length + 2) * sizeof(jchar));
    auto* units = reinterpret_cast<jchar*>(storage.get());
    std::memcpy(units, target->text.data(), length * sizeof(jchar));
    units[length] = 0xFFFD;
    units[length + 1] = 0;
    Pinned pinned;
    pinned.pointer = units;
    pinned.string = target;
    pinned.kind = kind;
    pinned.storage = std::move(storage);
    e.thread->pinned.push_back(std::move(pinned));
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return units;
}

void unpin(Entry& e, jstring string, const void* pointer, Pinned::Kind kind)
{
    const ObjectPtr target = e.stringArg(string);
    auto& pinned = e.thread->pinned;
    for (auto it = pinned.begin(); it != pinned.end(); ++it) {
        if (it->pointer == pointer && it->kind == kind) {
            if (target != nullptr && it->string != target) {
                e.violation("released with another string than the one they came from");
            }
            pinned.erase(it);
            return;
        }
    }
    e.violation("characters that were not handed out (or were released already)");
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy)
{
    Entry e(env, "GetStringChars");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    return target ? pinChars(e, target, Pinned::Kind::Chars, isCopy) : nullptr;
}

void JNICALL releaseStringChars(JNIEnv* env, jstring string, const jchar* chars)
{
    Entry e(env, "ReleaseStringChars", kWhilePending);
    if (e) {
        unpin(e, string, chars, Pinned::Kind::Chars);
    }
}

const jchar* JNICALL getStringCritical(JNIEnv* env, jstring string, jboolean* isCopy)
{
    Entry e(env, "GetStringCritical", kInCritical);
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    if (target == nullptr) {
        return nullptr;
    }
    ++e.thread->critical;
    return pinChars(e, target, Pinned::Kind::Critical, isCopy);
}

void JNICALL releaseStringCritical(JNIEnv* env, jstring string, const jchar* chars)
{
    Entry e(env, "ReleaseStringCritical", kWhilePending | kInCritical);
    if (e) {
        unpin(e, string, chars, Pinned::Kind::Critical);
        if (e.thread->critical > 0) {
            --e.thread->critical;
        }
    }
}

jstring JNICALL newStringUTF(JNIEnv* env, const char* bytes)
{
    Entry e(env, "NewStringUTF");
    if (!e || bytes == nullptr) {
        return nullptr;  // a JVM gives null for null, without an exception
    }
    return static_cast<jstring>(e.local(e.vm->newString(fromModifiedUtf8(bytes))));
}

jsize JNICALL getStringUTFLength(JNIEnv* env, jstring string)
{
    Entry e(env, "GetStringUTFLength");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    return target ? static_cast<jsize>(toModifiedUtf8(target->text).size()) : 0;
}

const char* JNICALL getStringUTFChars(JNIEnv* env, jstring string, jboolean* isCopy)
{
    Entry e(env, "GetStringUTFChars");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    if (target == nullptr) {
        return nullptr;
    }
    const std::string bytes = toModifiedUtf8(target->text);
    auto storage = std::make_unique<char[]>(bytes.size() + 1);
    std::memcpy(storage.get(), bytes.c_str(), bytes.size() + 1);
    Pinned pinned;
    pinned.pointer = storage.get();
    pinned.string = target;
    pinned.kind = Pinned::Kind::Utf;
    pinned.storage = std::move(storage);
    const char* result = static_cast<const char*>(pinned.pointer);
    e.thread->pinned.push_back(std::move(pinned));
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return result;
}

void JNICALL releaseStringUTFChars(JNIEnv* env, jstring string, const char* chars)
{
    Entry e(env, "ReleaseStringUTFChars", kWhilePending);
    if (e) {
        unpin(e, string, chars, Pinned::Kind::Utf);
    }
}

bool regionFits(Entry& e, const ObjectPtr& target, jsize start, jsize length)
{
    if (start < 0 || length < 0 ||
        static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > target->text.size()) {
        e.raise("java/lang/StringIndexOutOfBoundsException", L"start " + std::to_wstring(start) + L", length " +
                                                                 std::to_wstring(length) + L", string length " +
                                                                 std::to_wstring(target->text.size()));
        return false;
    }
    return true;
}

void JNICALL getStringRegion(JNIEnv* env, jstring string, jsize start, jsize length, jchar* buffer)
{
    Entry e(env, "GetStringRegion");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    if (target == nullptr || !regionFits(e, target, start, length)) {
        return;
    }
    if (buffer == nullptr && length > 0) {
        e.violation("null buffer");
        return;
    }
    std::memcpy(buffer, target->text.data() + start, static_cast<std::size_t>(length) * sizeof(jchar));
}

void JNICALL getStringUTFRegion(JNIEnv* env, jstring string, jsize start, jsize length, char* buffer)
{
    Entry e(env, "GetStringUTFRegion");
    const ObjectPtr target = e ? e.stringArg(string) : nullptr;
    if (target == nullptr || !regionFits(e, target, start, length)) {
        return;
    }
    if (buffer == nullptr) {
        e.violation("null buffer");
        return;
    }
    const std::string bytes =
        toModifiedUtf8(target->text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
}

// --- object arrays --------------------------------------------------------------

jsize JNICALL getArrayLength(JNIEnv* env, jarray array)
{
    Entry e(env, "GetArrayLength");
    const ObjectPtr target = e ? e.arrayArg(array) : nullptr;
    return target ? static_cast<jsize>(target->elements.size()) : 0;
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial)
{
    Entry e(env, "NewObjectArray");
    ClassInfo* element = e ? e.classArg(elementClass) : nullptr;
    if (element == nullptr) {
        return nullptr;
    }
    if (length < 0) {
        e.raise("java/lang/NegativeArraySizeException", std::to_wstring(length));
        return nullptr;
    }
    const ObjectPtr fill = e.resolve(initial);
    if (fill != nullptr && !Vm::isSubclass(fill->type, element)) {
        e.violation("initial element " + e.vm->describe(fill) + " is not a " + element->name);
        return nullptr;
    }
    ClassInfo* type = e.vm->arrayOf(element);
    ObjectPtr array = e.vm->newObject(type);
    array->elements.assign(static_cast<std::size_t>(length), fill);
    return static_cast<jobjectArray>(e.local(array, "NewObjectArray(" + type->name + ")"));
}

bool indexFits(Entry& e, const ObjectPtr& array, jsize index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= array->elements.size()) {
        e.raise("java/lang/ArrayIndexOutOfBoundsException", L"Index " + std::to_wstring(index) +
                                                                L" out of bounds for length " +
                                                                std::to_wstring(array->elements.size()));
        return false;
    }
    return true;
}

jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index)
{
    Entry e(env, "GetObjectArrayElement");
    const ObjectPtr target = e ? e.arrayArg(array) : nullptr;
    if (target == nullptr || !indexFits(e, target, index)) {
        return nullptr;
    }
    return e.local(target->elements[static_cast<std::size_t>(index)]);
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value)
{
    Entry e(env, "SetObjectArrayElement");
    const ObjectPtr target = e ? e.arrayArg(array) : nullptr;
    if (target == nullptr || !indexFits(e, target, index)) {
        return;
    }
    bool valid = true;
    const ObjectPtr element = e.resolve(value, &valid);
    if (!valid) {
        return;
    }
    if (element != nullptr && !Vm::isSubclass(element->type, target->type->component)) {
        e.raise("java/lang/ArrayStoreException", std::wstring(element->type->name.begin(), element->type->name.end()));
        return;
    }
    target->elements[static_cast<std::size_t>(index)] = element;
}

// --- the VM, monitors -----------------------------------------------------------

jint JNICALL getJavaVM(JNIEnv* env, JavaVM** vm)
{
    Entry e(env, "GetJavaVM");
    if (!e || vm == nullptr) {
        return JNI_ERR;
    }
    *vm = e.vm->javaVm();
    return JNI_OK;
}

jint JNICALL monitorEnter(JNIEnv* env, jobject object)
{
    Entry e(env, "MonitorEnter");
    return e && e.objectArg(object, "object") ? JNI_OK : JNI_ERR;
}

jint JNICALL monitorExit(JNIEnv* env, jobject object)
{
    Entry e(env, "MonitorExit", kWhilePending);
    return e && e.objectArg(object, "object") ? JNI_OK : JNI_ERR;
}

// --- functions the host does not provide ---------------------------------------------

template <std::size_t Index>
jint JNICALL unsupported(JNIEnv* env)
{
    constexpr std::size_t kNamed = sizeof kFunctionNames / sizeof kFunctionNames[0];
    const std::string name = Index < kNamed ? kFunctionNames[Index] : "JNI function #" + std::to_string(Index);
    Entry e(env, "unsupported", kWhilePending | kInCritical);
    if (e) {
        e.vm->violation(name + ": not provided by the test host");
    }
    return 0;
}

template <std::size_t... Index>
void fillUnsupported(void** slots, std::index_sequence<Index...>)
{
    ((slots[Index] = reinterpret_cast<void*>(&unsupported<Index>)), ...);
}

JNINativeInterface_ buildNativeInterface()
{
    JNINativeInterface_ table{};
    constexpr std::size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);
    fillUnsupported(reinterpret_cast<void**>(&table), std::make_index_sequence<kSlots>{});
    table.reserved0 = nullptr;
    table.reserved1 = nullptr;
    table.reserved2 = nullptr;
    table.reserved3 = nullptr;
    table.GetVersion = getVersion;
    table.FindClass = findClass;
    table.GetSuperclass = getSuperclass;
    table.IsAssignableFrom = isAssignableFrom;
    table.Throw = throwObject;
    table.ThrowNew = throwNew;
    table.ExceptionOccurred = exceptionOccurred;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.FatalError = fatalError;
    table.PushLocalFrame = pushLocalFrame;
    table.PopLocalFrame = popLocalFrame;
    table.NewGlobalRef = newGlobalRef;
    table.DeleteGlobalRef = deleteGlobalRef;
    table.DeleteLocalRef = deleteLocalRef;
    table.IsSameObject = isSameObject;
    table.NewLocalRef = newLocalRef;
    table.EnsureLocalCapacity = ensureLocalCapacity;
    table.AllocObject = allocObject;
    table.NewObject = newObject;
    table.NewObjectV = newObjectV;
    table.NewObjectA = newObjectA;
    table.GetObjectClass = getObjectClass;
    table.IsInstanceOf = isInstanceOf;
    table.GetMethodID = getMethodID;
    table.GetStaticMethodID = getStaticMethodID;
    table.GetFieldID = getFieldID;
    table.GetStaticFieldID = getStaticFieldID;
#define HOST_SET_CALLS(Name)                                             \
    table.Call##Name##Method = call##Name##Method;                       \
    table.Call##Name##MethodV = call##Name##MethodV;                     \
    table.Call##Name##MethodA = call##Name##MethodA;                     \
    table.CallNonvirtual##Name##Method = callNonvirtual##Name##Method;   \
    table.CallNonvirtual##Name##MethodV = callNonvirtual##Name##MethodV; \
    table.CallNonvirtual##Name##MethodA = callNonvirtual##Name##MethodA; \
    table.CallStatic##Name##Method = callStatic##Name##Method;           \
    table.CallStatic##Name##MethodV = callStatic##Name##MethodV;         \
    table.CallStatic##Name##MethodA = callStatic##Name##MethodA;
    HOST_SET_CALLS(Object)
    HOST_SET_CALLS(Boolean)
    HOST_SET_CALLS(Byte)
    HOST_SET_CALLS(Char)
    HOST_SET_CALLS(Short)
    HOST_SET_CALLS(Int)
    HOST_SET_CALLS(Long)
    HOST_SET_CALLS(Float)
    HOST_SET_CALLS(Double)
    HOST_SET_CALLS(Void)
#undef HOST_SET_CALLS
    table.NewString = newString;
    table.GetStringLength = getStringLength;
    table.GetStringChars = getStringChars;
    table.ReleaseStringChars = releaseStringChars;
    table.NewStringUTF = newStringUTF;
    table.GetStringUTFLength = getStringUTFLength;
    table.GetStringUTFChars = getStringUTFChars;
    table.ReleaseStringUTFChars = releaseStringUTFChars;
    table.GetStringRegion = getStringRegion;
    table.GetStringUTFRegion = getStringUTFRegion;
    table.GetStringCritical = getStringCritical;
    table.ReleaseStringCritical = releaseStringCritical;
    table.GetArrayLength = getArrayLength;
    table.NewObjectArray = newObjectArray;
    table.GetObjectArrayElement = getObjectArrayElement;
    table.SetObjectArrayElement = setObjectArrayElement;
    table.MonitorEnter = monitorEnter;
    table.MonitorExit = monitorExit;
    table.GetJavaVM = getJavaVM;
    table.NewWeakGlobalRef = newWeakGlobalRef;
    table.DeleteWeakGlobalRef = deleteWeakGlobalRef;
    table.ExceptionCheck = exceptionCheck;
    table.GetObjectRefType = getObjectRefType;
    return table;
}

// --- the invocation interface ----------------------------------------------------------

Vm* vmOf(JavaVM* vm, const char* function)
{
    auto* block = reinterpret_cast<VmBlock*>(vm);
    if (vm == nullptr || block->magic != kVmMagic || block->owner == nullptr) {
        orphanViolation(std::string(function) + ": called with a JavaVM that no live test host made");
        return nullptr;
    }
    return block->owner;
}

jint JNICALL destroyJavaVM(JavaVM* vm)
{
    if (Vm* owner = vmOf(vm, "DestroyJavaVM")) {
        std::lock_guard<std::mutex> lock(owner->mutex);
        owner->violation("DestroyJavaVM: a library must not destroy the VM that loaded it");
    }
    return JNI_ERR;
}

jint attachCore(JavaVM* vm, void** penv, const char* function)
{
    Vm* owner = vmOf(vm, function);
    if (owner == nullptr || penv == nullptr) {
        return JNI_ERR;
    }
    std::lock_guard<std::mutex> lock(owner->mutex);
    if (!owner->options().threadsAttach) {
        return JNI_ERR;
    }
    bool wasAttached = false;
    ThreadState& state = owner->attach(wasAttached);
    *penv = &state.block.env;
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM* vm, void** penv, void*)
{
    return attachCore(vm, penv, "AttachCurrentThread");
}

jint JNICALL attachCurrentThreadAsDaemon(JavaVM* vm, void** penv, void*)
{
    return attachCore(vm, penv, "AttachCurrentThreadAsDaemon");
}

jint JNICALL detachCurrentThread(JavaVM* vm)
{
    Vm* owner = vmOf(vm, "DetachCurrentThread");
    if (owner == nullptr) {
        return JNI_ERR;
    }
    std::lock_guard<std::mutex> lock(owner->mutex);
    return owner->detachCurrent();
}

jint JNICALL getEnv(JavaVM* vm, void** penv, jint version)
{
    Vm* owner = vmOf(vm, "GetEnv");
    if (owner == nullptr || penv == nullptr) {
        return JNI_ERR;
    }
    std::lock_guard<std::mutex> lock(owner->mutex);
    switch (version) {
    case JNI_VERSION_1_1:
    case JNI_VERSION_1_2:
    case JNI_VERSION_1_4:
    case JNI_VERSION_1_6:
    case JNI_VERSION_1_8: break;
    default: *penv = nullptr; return JNI_EVERSION;
    }
    ThreadState* state = owner->currentThreadState();
    *penv = state ? &state->block.env : nullptr;
    return state ? JNI_OK : JNI_EDETACHED;
}

}  // namespace

const JNINativeInterface_* nativeInterface()
{
    static const JNINativeInterface_ table = buildNativeInterface();
    return &table;
}

const JNIInvokeInterface_* invokeInterface()
{
    static const JNIInvokeInterface_ table = [] {
        JNIInvokeInterface_ invoke{};
        invoke.DestroyJavaVM = destroyJavaVM;
        invoke.AttachCurrentThread = attachCurrentThread;
        invoke.DetachCurrentThread = detachCurrentThread;
        invoke.GetEnv = getEnv;
        invoke.AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon;
        return invoke;
    }();
    return &table;
}

}  // namespace vantor::jnihost::detail
