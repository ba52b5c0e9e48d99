// The JNI test host's VM: classes with their method bodies, objects,
// references with their checks, threads and their frames.
#include "platform-access/tests/host/host_vm.h"

#include <algorithm>
#include <atomic>
#include <sstream>

namespace vantor::jnihost::detail {

namespace {

constexpr std::uint64_t kGenerationMask = 0xFFFFF;
constexpr int kSnapshotDepth = 32;

std::atomic<std::uint16_t> nextTag{0x4A01};

std::mutex orphanMutex;
std::vector<std::string> orphans;

Outcome nothing()
{
    return {};
}

Outcome returning(const ObjectPtr& object)
{
    Outcome outcome;
    outcome.value.o = object;
    return outcome;
}

Outcome returning(std::int64_t number)
{
    Outcome outcome;
    outcome.value.i = number;
    return outcome;
}

Outcome throwing(Vm& vm, const std::string& className, const std::wstring& message)
{
    Outcome outcome;
    outcome.thrown = vm.newThrowable(className, message);
    return outcome;
}

}  // namespace

// Splits "(ILjava/lang/String;)V" into parameter descriptors and the result.
bool parseSignature(const std::string& signature, std::vector<std::string>& parameters, std::string& result)
{
    if (signature.empty() || signature[0] != '(') {
        return false;
    }
    std::size_t i = 1;
    auto one = [&](std::string& out) {
        const std::size_t start = i;
        while (i < signature.size() && signature[i] == '[') {
            ++i;
        }
        if (i >= signature.size()) {
            return false;
        }
        if (signature[i] == 'L') {
            const std::size_t end = signature.find(';', i);
            if (end == std::string::npos) {
                return false;
            }
            i = end + 1;
        } else if (std::string("ZBCSIJFD").find(signature[i]) != std::string::npos) {
            ++i;
        } else {
            return false;
        }
        out = signature.substr(start, i - start);
        return true;
    };
    while (i < signature.size() && signature[i] != ')') {
        std::string parameter;
        if (!one(parameter)) {
            return false;
        }
        parameters.push_back(parameter);
    }
    if (i >= signature.size()) {
        return false;
    }
    ++i;
    if (i < signature.size() && signature[i] == 'V' && i + 1 == signature.size()) {
        result = "V";
        return true;
    }
    return one(result) && i == signature.size();
}

void orphanViolation(const std::string& text)
{
    std::lock_guard<std::mutex> lock(orphanMutex);
    orphans.push_back(text);
}

std::vector<std::string> takeOrphanViolations()
{
    std::lock_guard<std::mutex> lock(orphanMutex);
    return std::exchange(orphans, {});
}

std::string toModifiedUtf8(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t c : text) {
        const auto unit = static_cast<unsigned>(c) & 0xFFFF;
        if (unit != 0 && unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (unit < 0x800) {
            bytes += static_cast<char>(0xC0 | (unit >> 6));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (unit >> 12));
            bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return bytes;
}

std::wstring fromModifiedUtf8(const char* bytes)
{
    std::wstring text;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p != 0) {
        const unsigned c = *p;
        if (c < 0x80) {
            text += static_cast<wchar_t>(c);
            ++p;
        } else if ((c & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            text += static_cast<wchar_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((c & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            text += static_cast<wchar_t>(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            // Not modified UTF-8: the byte stands for itself, as the narrow
            // implementations of a library expect of an ANSI text.
            text += static_cast<wchar_t>(c);
            ++p;
        }
    }
    return text;
}

// --- construction and classes -----------------------------------------------

Vm::Vm(const HostOptions& options) : m_options(options), m_tag(nextTag++)
{
    m_vmBlock.vm.functions = invokeInterface();
    m_vmBlock.owner = this;
    m_vmBlock.magic = kVmMagic;
    m_refs.reserve(1024);
    defineClasses();
}

Vm::~Vm()
{
    m_vmBlock.magic = 0;
}

ClassInfo* Vm::classNamed(const std::string& name)
{
    const auto found = m_classes.find(name);
    if (found != m_classes.end()) {
        return found->second.get();
    }
    if (!name.empty() && name[0] == '[') {
        const std::string component = name.substr(1);
        ClassInfo* element = nullptr;
        if (component.size() > 2 && component[0] == 'L' && component.back() == ';') {
            element = classNamed(component.substr(1, component.size() - 2));
        } else if (!component.empty() && component[0] == '[') {
            element = classNamed(component);
        }
        return element ? arrayOf(element) : nullptr;
    }
    return nullptr;
}

ClassInfo* Vm::arrayOf(ClassInfo* component)
{
    const std::string name = component->name[0] == '[' ? "[" + component->name : "[L" + component->name + ";";
    const auto found = m_classes.find(name);
    if (found != m_classes.end()) {
        return found->second.get();
    }
    ClassInfo* array = define(name, classNamed("java/lang/Object"), Shape::ObjectArray);
    array->component = component;
    return array;
}

ClassInfo* Vm::define(const std::string& name, ClassInfo* super, Shape shape)
{
    auto type = std::make_unique<ClassInfo>();
    type->name = name;
    type->super = super;
    type->shape = shape;
    type->isThrowable = name == "java/lang/Throwable" || (super != nullptr && super->isThrowable);
    ClassInfo* raw = type.get();
    m_classes[name] = std::move(type);
    auto mirror = std::make_shared<Object>();
    mirror->shape = Shape::Class;
    mirror->classValue = raw;
    raw->mirror = mirror;
    // The mirror's own class is java.lang.Class, which may not exist yet
    // while the first classes are defined; defineClasses fixes those up.
    const auto classClass = m_classes.find("java/lang/Class");
    mirror->type = classClass != m_classes.end() ? classClass->second.get() : nullptr;
    return raw;
}

MethodInfo* Vm::addMethod(ClassInfo* type, const std::string& name, const std::string& signature, bool isStatic,
                          Body body, bool userCode)
{
    auto method = std::make_unique<MethodInfo>();
    method->owner = type;
    method->name = name;
    method->signature = signature;
    method->isStatic = isStatic;
    method->body = std::move(body);
    method->userCode = userCode;
    parseSignature(signature, method->parameters, method->result);
    MethodInfo* raw = method.get();
    type->methods.push_back(std::move(method));
    m_methods.insert(raw);
    return raw;
}

MethodInfo* Vm::findMethod(ClassInfo* type, const std::string& name, const std::string& signature, bool isStatic)
{
    // Constructors belong to their class alone; other methods are inherited
    // from superclasses and, for abstract declarations, interfaces.
    for (ClassInfo* c = type; c != nullptr; c = c->super) {
        for (const auto& method : c->methods) {
            if (method->name == name && method->signature == signature && method->isStatic == isStatic) {
                return method.get();
            }
        }
        if (name == "<init>") {
            return nullptr;
        }
        for (ClassInfo* i : c->interfaces) {
            if (MethodInfo* found = findMethod(i, name, signature, isStatic)) {
                return found;
            }
        }
    }
    return nullptr;
}

bool Vm::isValidMethod(const MethodInfo* method) const
{
    return m_methods.count(method) != 0;
}

bool Vm::isSubclass(const ClassInfo* type, const ClassInfo* ancestor)
{
    if (type == nullptr || ancestor == nullptr) {
        return false;
    }
    if (ancestor->name == "java/lang/Object") {
        return true;
    }
    for (const ClassInfo* c = type; c != nullptr; c = c->super) {
        if (c == ancestor) {
            return true;
        }
        for (const ClassInfo* i : c->interfaces) {
            if (isSubclass(i, ancestor)) {
                return true;
            }
        }
    }
    // Arrays are covariant in their element class.
    if (type->component != nullptr && ancestor->component != nullptr) {
        return isSubclass(type->component, ancestor->component);
    }
    return false;
}

bool Vm::fitsDescriptor(const ObjectPtr& object, const std::string& descriptor)
{
    if (object == nullptr) {
        return true;
    }
    std::string name = descriptor;
    if (descriptor.size() > 2 && descriptor[0] == 'L') {
        name = descriptor.substr(1, descriptor.size() - 2);
    }
    ClassInfo* expected = classNamed(name);
    return expected != nullptr && isSubclass(object->type, expected);
}

void Vm::defineClasses()
{
    ClassInfo* object = define("java/lang/Object", nullptr, Shape::Plain);
    ClassInfo* classClass = define("java/lang/Class", object, Shape::Class);
    object->mirror->type = classClass;
    classClass->mirror->type = classClass;

    addMethod(object, "<init>", "()V", false,
              [](Vm&, ThreadState&, const ObjectPtr&, const std::vector<Slot>&) { return nothing(); });
    addMethod(object, "equals", "(Ljava/lang/Object;)Z", false,
              [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  return returning(javaEquals(self, args[0].o) ? 1 : 0);
              });
    addMethod(object, "toString", "()Ljava/lang/String;", false,
              [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
                  const Value value = vm.snapshot(self);
                  if (value.kind() == Value::Kind::String || value.kind() == Value::Kind::File) {
                      return returning(vm.newString(value.string()));
                  }
                  const std::string described = vm.describe(self);
                  return returning(vm.newString(std::wstring(described.begin(), described.end())));
              });
    addMethod(classClass, "getName", "()Ljava/lang/String;", false,
              [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
                  std::wstring name;
                  for (const char c : self->classValue->name) {
                      name += static_cast<wchar_t>(c == '/' ? '.' : c);
                  }
                  return returning(vm.newString(name));
              });

    ClassInfo* string = define("java/lang/String", object, Shape::String);
    addMethod(string, "length", "()I", false, [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(static_cast<std::int64_t>(self->text.size()));
    });
    addMethod(string, "isEmpty", "()Z", false, [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(self->text.empty() ? 1 : 0);
    });

    // The Throwable hierarchy, each class with the constructors () and
    // (String).
    ClassInfo* throwable = define("java/lang/Throwable", object, Shape::Throwable);
    addMethod(
        throwable, "getMessage", "()Ljava/lang/String;", false,
        [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) { return returning(self->message); });
    auto throwableClass = [&](const std::string& name, ClassInfo* super) {
        ClassInfo* type = name == "java/lang/Throwable" ? throwable : define(name, super, Shape::Throwable);
        addMethod(type, "<init>", "()V", false,
                  [](Vm&, ThreadState&, const ObjectPtr&, const std::vector<Slot>&) { return nothing(); });
        addMethod(type, "<init>", "(Ljava/lang/String;)V", false,
                  [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                      self->message = args[0].o;
                      return nothing();
                  });
        return type;
    };
    throwableClass("java/lang/Throwable", object);
    ClassInfo* exception = throwableClass("java/lang/Exception", throwable);
    ClassInfo* runtime = throwableClass("java/lang/RuntimeException", exception);
    ClassInfo* error = throwableClass("java/lang/Error", throwable);
    ClassInfo* linkage = throwableClass("java/lang/LinkageError", error);
    throwableClass("java/lang/NoClassDefFoundError", linkage);
    throwableClass("java/lang/UnsatisfiedLinkError", linkage);
    ClassInfo* incompatible = throwableClass("java/lang/IncompatibleClassChangeError", linkage);
    throwableClass("java/lang/NoSuchMethodError", incompatible);
    throwableClass("java/lang/NoSuchFieldError", incompatible);
    throwableClass("java/lang/AbstractMethodError", incompatible);
    ClassInfo* vmError = throwableClass("java/lang/VirtualMachineError", error);
    throwableClass("java/lang/OutOfMemoryError", vmError);
    throwableClass("java/lang/NullPointerException", runtime);
    ClassInfo* bounds = throwableClass("java/lang/IndexOutOfBoundsException", runtime);
    throwableClass("java/lang/ArrayIndexOutOfBoundsException", bounds);
    throwableClass("java/lang/StringIndexOutOfBoundsException", bounds);
    throwableClass("java/lang/ArrayStoreException", runtime);
    throwableClass("java/lang/NegativeArraySizeException", runtime);
    throwableClass("java/lang/IllegalArgumentException", runtime);
    throwableClass("java/lang/ClassCastException", runtime);

    {
        ClassInfo* access = define(kAccessExceptionClass, runtime, Shape::Throwable);
        access->findable = m_options.exceptionClass;
        if (m_options.exceptionConstructor) {
            addMethod(access, "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", false,
                      [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                          self->operation = args[0].o;
                          self->message = args[1].o;
                          return nothing();
                      });
        }
        addMethod(access, "getOperation", "()Ljava/lang/String;", false,
                  [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
                      return returning(self->operation);
                  });
    }

    // Boxed numbers.
    ClassInfo* number = define("java/lang/Number", object, Shape::Plain);
    number->isAbstract = true;
    ClassInfo* boxedLong = define("java/lang/Long", number, Shape::Long);
    ClassInfo* boxedInteger = define("java/lang/Integer", number, Shape::Integer);
    auto setNumber = [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
        self->number = args[0].i;
        return nothing();
    };
    auto getNumber = [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(self->number);
    };
    auto getInt = [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(static_cast<std::int64_t>(static_cast<std::int32_t>(self->number)));
    };
    addMethod(boxedLong, "<init>", "(J)V", false, setNumber);
    addMethod(boxedLong, "longValue", "()J", false, getNumber);
    addMethod(boxedLong, "intValue", "()I", false, getInt);
    addMethod(boxedLong, "valueOf", "(J)Ljava/lang/Long;", true,
              [boxedLong](Vm& vm, ThreadState&, const ObjectPtr&, const std::vector<Slot>& args) {
                  ObjectPtr boxed = vm.newObject(boxedLong);
                  boxed->number = args[0].i;
                  return returning(boxed);
              });
    addMethod(boxedInteger, "<init>", "(I)V", false, setNumber);
    addMethod(boxedInteger, "intValue", "()I", false, getInt);
    addMethod(boxedInteger, "longValue", "()J", false, getNumber);
    addMethod(boxedInteger, "valueOf", "(I)Ljava/lang/Integer;", true,
              [boxedInteger](Vm& vm, ThreadState&, const ObjectPtr&, const std::vector<Slot>& args) {
                  ObjectPtr boxed = vm.newObject(boxedInteger);
                  boxed->number = args[0].i;
                  return returning(boxed);
              });

    // Collections: the interfaces declare the methods abstractly, so that
    // lookups through them work as in a JVM; the classes implement them.
    ClassInfo* map = define("java/util/Map", nullptr, Shape::Plain);
    map->isInterface = true;
    ClassInfo* collection = define("java/util/Collection", nullptr, Shape::Plain);
    collection->isInterface = true;
    ClassInfo* list = define("java/util/List", nullptr, Shape::Plain);
    list->isInterface = true;
    list->interfaces.push_back(collection);
    ClassInfo* abstractMap = define("java/util/AbstractMap", object, Shape::HashMap);
    abstractMap->isAbstract = true;
    abstractMap->interfaces.push_back(map);
    ClassInfo* hashMap = define("java/util/HashMap", abstractMap, Shape::HashMap);
    ClassInfo* abstractList = define("java/util/AbstractList", object, Shape::ArrayList);
    abstractList->isAbstract = true;
    abstractList->interfaces.push_back(list);
    ClassInfo* arrayList = define("java/util/ArrayList", abstractList, Shape::ArrayList);

    addMethod(map, "put", "(Ljava/lang/Object;Ljava/lang/Object;)Ljava/lang/Object;", false, nullptr);
    addMethod(map, "get", "(Ljava/lang/Object;)Ljava/lang/Object;", false, nullptr);
    addMethod(map, "size", "()I", false, nullptr);
    addMethod(collection, "add", "(Ljava/lang/Object;)Z", false, nullptr);
    addMethod(collection, "size", "()I", false, nullptr);
    addMethod(list, "get", "(I)Ljava/lang/Object;", false, nullptr);

    auto withCapacity = [](Vm& vm, ThreadState&, const ObjectPtr&, const std::vector<Slot>& args) {
        if (args[0].i < 0) {
            return throwing(vm, "java/lang/IllegalArgumentException",
                            L"Illegal Capacity: " + std::to_wstring(args[0].i));
        }
        return nothing();
    };
    auto empty = [](Vm&, ThreadState&, const ObjectPtr&, const std::vector<Slot>&) { return nothing(); };
    addMethod(hashMap, "<init>", "()V", false, empty);
    addMethod(hashMap, "<init>", "(I)V", false, withCapacity);
    addMethod(hashMap, "put", "(Ljava/lang/Object;Ljava/lang/Object;)Ljava/lang/Object;", false,
              [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  for (auto& entry : self->entries) {
                      if (javaEquals(entry.first, args[0].o)) {
                          return returning(std::exchange(entry.second, args[1].o));
                      }
                  }
                  self->entries.emplace_back(args[0].o, args[1].o);
                  return returning(ObjectPtr());
              });
    addMethod(hashMap, "get", "(Ljava/lang/Object;)Ljava/lang/Object;", false,
              [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  for (const auto& entry : self->entries) {
                      if (javaEquals(entry.first, args[0].o)) {
                          return returning(entry.second);
                      }
                  }
                  return returning(ObjectPtr());
              });
    addMethod(hashMap, "containsKey", "(Ljava/lang/Object;)Z", false,
              [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  for (const auto& entry : self->entries) {
                      if (javaEquals(entry.first, args[0].o)) {
                          return returning(1);
                      }
                  }
                  return returning(0);
              });
    addMethod(hashMap, "size", "()I", false, [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(static_cast<std::int64_t>(self->entries.size()));
    });
    addMethod(arrayList, "<init>", "()V", false, empty);
    addMethod(arrayList, "<init>", "(I)V", false, withCapacity);
    addMethod(arrayList, "add", "(Ljava/lang/Object;)Z", false,
              [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  self->elements.push_back(args[0].o);
                  return returning(1);
              });
    addMethod(arrayList, "get", "(I)Ljava/lang/Object;", false,
              [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  if (args[0].i < 0 || static_cast<std::size_t>(args[0].i) >= self->elements.size()) {
                      return throwing(vm, "java/lang/IndexOutOfBoundsException",
                                      L"Index " + std::to_wstring(args[0].i) + L" out of bounds");
                  }
                  return returning(self->elements[static_cast<std::size_t>(args[0].i)]);
              });
    addMethod(arrayList, "size", "()I", false, [](Vm&, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(static_cast<std::int64_t>(self->elements.size()));
    });

    ClassInfo* file = define("java/io/File", object, Shape::File);
    addMethod(file, "<init>", "(Ljava/lang/String;)V", false,
              [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
                  if (args[0].o == nullptr) {
                      return throwing(vm, "java/lang/NullPointerException", L"");
                  }
                  self->text = args[0].o->text;
                  return nothing();
              });
    auto path = [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>&) {
        return returning(vm.newString(self->text));
    };
    addMethod(file, "getPath", "()Ljava/lang/String;", false, path);
    addMethod(file, "toString", "()Ljava/lang/String;", false, path);

    {
        // The natives' class parameter is this class, so it always exists;
        // only FindClass may be kept from seeing it.
        ClassInfo* access = define(kInterfaceClass, object, Shape::Plain);
        access->findable = m_options.interfaceClass;
        if (m_options.callbackMethod) {
            addMethod(
                access, "callback", "(IIJ)J", true,
                [](Vm& vm, ThreadState& thread, const ObjectPtr&, const std::vector<Slot>& args) {
                    CallbackCall call;
                    call.message = static_cast<std::int32_t>(args[0].i);
                    call.wParam = static_cast<std::int32_t>(args[1].i);
                    call.lParam = args[2].i;
                    call.threadId = thread.threadId;
                    std::function<Answer(const CallbackCall&)> handler;
                    {
                        std::lock_guard<std::mutex> lock(vm.mutex);
                        vm.callbackCalls.push_back(call);
                        handler = vm.callbackHandler;
                    }
                    const Answer answer = handler ? handler(call) : Answer(-1);
                    if (answer.throwMessage) {
                        std::lock_guard<std::mutex> lock(vm.mutex);
                        return throwing(vm, "java/lang/RuntimeException", *answer.throwMessage);
                    }
                    return returning(answer.value);
                },
                true);
        }
    }

    ClassInfo* listener = define(kListenerClass, object, Shape::Listener);
    addMethod(
        listener, "generalMessage", "(Ljava/lang/String;)J", false,
        [](Vm& vm, ThreadState&, const ObjectPtr& self, const std::vector<Slot>& args) {
            std::function<Answer(const std::wstring&)> handler;
            std::wstring text;
            {
                std::lock_guard<std::mutex> lock(vm.mutex);
                text = args[0].o ? args[0].o->text : L"<null>";
                Listener& record = vm.listeners[static_cast<int>(self->number)];
                record.messages.push_back(text);
                handler = record.handler;
            }
            const Answer answer = handler ? handler(text) : Answer(1);
            if (answer.throwMessage) {
                std::lock_guard<std::mutex> lock(vm.mutex);
                return throwing(vm, "java/lang/RuntimeException", *answer.throwMessage);
            }
            return returning(answer.value);
        },
        true);
}

// --- objects ----------------------------------------------------------------

ObjectPtr Vm::newObject(ClassInfo* type)
{
    auto object = std::make_shared<Object>();
    object->type = type;
    object->shape = type->shape;
    return object;
}

ObjectPtr Vm::newString(std::wstring text)
{
    ObjectPtr string = newObject(classNamed("java/lang/String"));
    string->text = std::move(text);
    return string;
}

ObjectPtr Vm::newThrowable(const std::string& className, const std::wstring& message)
{
    ClassInfo* type = classNamed(className);
    if (type == nullptr) {
        type = classNamed("java/lang/Error");
    }
    ObjectPtr thrown = newObject(type);
    thrown->message = newString(message);
    return thrown;
}

bool Vm::javaEquals(const ObjectPtr& a, const ObjectPtr& b)
{
    if (a == b) {
        return true;
    }
    if (a == nullptr || b == nullptr || a->type != b->type) {
        return false;
    }
    switch (a->shape) {
    case Shape::String:
    case Shape::File: return a->text == b->text;
    case Shape::Long:
    case Shape::Integer: return a->number == b->number;
    default: return false;
    }
}

Value Vm::snapshot(const ObjectPtr& object, int depth) const
{
    if (object == nullptr) {
        return Value::ofKind(Value::Kind::Null);
    }
    const std::string& name = object->type ? object->type->name : std::string("?");
    if (depth > kSnapshotDepth) {
        return Value::ofKind(Value::Kind::Object, name);
    }
    switch (object->shape) {
    case Shape::String: {
        Value value = Value::ofString(object->text);
        return value;
    }
    case Shape::ObjectArray:
    case Shape::ArrayList: {
        Value value = Value::ofKind(
            object->shape == Shape::ObjectArray ? Value::Kind::ObjectArray : Value::Kind::ArrayList, name);
        for (const ObjectPtr& element : object->elements) {
            value.mutableElements().push_back(snapshot(element, depth + 1));
        }
        return value;
    }
    case Shape::HashMap: {
        Value value = Value::ofKind(Value::Kind::HashMap, name);
        for (const auto& entry : object->entries) {
            value.mutableEntries().emplace_back(snapshot(entry.first, depth + 1), snapshot(entry.second, depth + 1));
        }
        return value;
    }
    case Shape::File: {
        Value value = Value::ofKind(Value::Kind::File, name);
        value.setText(object->text);
        return value;
    }
    case Shape::Long:
    case Shape::Integer: {
        Value value =
            Value::ofKind(object->shape == Shape::Long ? Value::Kind::LongObject : Value::Kind::IntegerObject, name);
        value.setNumber(object->number);
        return value;
    }
    case Shape::Throwable: {
        Value value = Value::ofKind(Value::Kind::Throwable, name);
        value.setText(object->message ? object->message->text : L"");
        return value;
    }
    default: return Value::ofKind(Value::Kind::Object, name);
    }
}

std::string Vm::describe(const ObjectPtr& object) const
{
    if (object == nullptr) {
        return "null";
    }
    if (object->shape == Shape::Class) {
        return "class " + object->classValue->name;
    }
    return object->type->name + " " + snapshot(object).describe();
}

// --- references -------------------------------------------------------------

jobject Vm::newRef(ThreadState& thread, const ObjectPtr& object, RefKind kind, const std::string& origin, bool argument)
{
    if (object == nullptr) {
        return nullptr;
    }
    std::uint32_t index;
    if (!m_free.empty()) {
        index = m_free.back();
        m_free.pop_back();
    } else {
        index = static_cast<std::uint32_t>(m_refs.size());
        m_refs.emplace_back();
    }
    RefSlot& slot = m_refs[index];
    slot.live = true;
    slot.kind = kind;
    slot.owner = kind == RefKind::Local ? &thread : nullptr;
    slot.argument = argument;
    slot.target = object;
    slot.origin = origin;
    if (kind == RefKind::Local) {
        if (thread.frames.empty()) {
            // A local reference needs a frame: only native code on a Java or
            // attached thread has one.
            violation(origin + ": local reference made on a thread without a native frame");
            thread.frames.emplace_back();
        }
        slot.frame = thread.frames.size() - 1;
        Frame& frame = thread.frames.back();
        if (frame.slots.size() > 64 && frame.slots.size() > 4 * (frame.live + 16)) {
            // Forget the entries of references deleted since, so that a
            // long loop that deletes what it makes stays cheap.
            frame.slots.erase(std::remove_if(frame.slots.begin(), frame.slots.end(),
                                             [this](const std::pair<std::uint32_t, std::uint32_t>& entry) {
                                                 const RefSlot& s = m_refs[entry.first];
                                                 return !s.live || s.generation != entry.second;
                                             }),
                              frame.slots.end());
        }
        frame.slots.emplace_back(index, slot.generation);
        if (!argument) {
            ++frame.live;
            if (frame.live > frame.capacity && !frame.overCapacityReported) {
                frame.overCapacityReported = true;
                violation(origin + ": more than " + std::to_string(frame.capacity) +
                          " local references live in one frame (delete them, or ask for more with "
                          "EnsureLocalCapacity or PushLocalFrame)");
            }
        }
    }
    const std::uint64_t value = (static_cast<std::uint64_t>(m_tag) << 48) |
                                (static_cast<std::uint64_t>(index + 1) << 20) | (slot.generation & kGenerationMask);
    return reinterpret_cast<jobject>(static_cast<std::uintptr_t>(value));
}

std::uint32_t Vm::indexOf(jobject reference) const
{
    const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(reference));
    return static_cast<std::uint32_t>(((value >> 20) & 0xFFFFFFF) - 1);
}

RefSlot* Vm::slotOf(jobject reference, std::string& problem)
{
    const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(reference));
    if ((value >> 48) != m_tag) {
        problem = "foreign reference (not made by this VM)";
        return nullptr;
    }
    const std::uint32_t index = indexOf(reference);
    if (index >= m_refs.size()) {
        problem = "foreign reference (not made by this VM)";
        return nullptr;
    }
    RefSlot& slot = m_refs[index];
    if (!slot.live || (slot.generation & kGenerationMask) != (value & kGenerationMask)) {
        problem = "reference already deleted (or freed with its frame)";
        return nullptr;
    }
    return &slot;
}

void Vm::freeSlot(std::uint32_t index)
{
    RefSlot& slot = m_refs[index];
    if (slot.kind == RefKind::Local && !slot.argument && slot.owner != nullptr &&
        slot.frame < slot.owner->frames.size() && slot.owner->frames[slot.frame].live > 0) {
        --slot.owner->frames[slot.frame].live;
    }
    slot.live = false;
    slot.target.reset();
    slot.owner = nullptr;
    ++slot.generation;
    m_free.push_back(index);
}

ObjectPtr Vm::resolve(ThreadState& thread, jobject reference, const char* function, bool* valid)
{
    if (valid != nullptr) {
        *valid = true;
    }
    if (reference == nullptr) {
        return nullptr;
    }
    std::string problem;
    RefSlot* slot = slotOf(reference, problem);
    if (slot == nullptr) {
        violation(std::string(function) + ": " + problem);
        if (valid != nullptr) {
            *valid = false;
        }
        return nullptr;
    }
    if (slot->kind == RefKind::Local && slot->owner != &thread) {
        violation(std::string(function) + ": local reference of thread " +
                  std::to_string(slot->owner ? slot->owner->threadId : 0) + " used on thread " +
                  std::to_string(thread.threadId));
        if (valid != nullptr) {
            *valid = false;
        }
        return nullptr;
    }
    return slot->target;
}

std::size_t Vm::liveGlobalCount() const
{
    std::size_t count = 0;
    for (const RefSlot& slot : m_refs) {
        if (slot.live && slot.kind != RefKind::Local) {
            ++count;
        }
    }
    return count;
}

// --- threads ----------------------------------------------------------------

ThreadState* Vm::stateOf(JNIEnv* env)
{
    if (env == nullptr) {
        return nullptr;
    }
    auto* block = reinterpret_cast<EnvBlock*>(env);
    if (block->magic != kEnvMagic || block->state == nullptr || block->state->vm != this) {
        return nullptr;
    }
    return block->state;
}

ThreadState* Vm::currentThreadState()
{
    const auto found = m_threads.find(GetCurrentThreadId());
    return found == m_threads.end() ? nullptr : found->second.get();
}

ThreadState& Vm::javaThread()
{
    if (ThreadState* existing = currentThreadState()) {
        return *existing;
    }
    auto state = std::make_unique<ThreadState>();
    state->vm = this;
    state->threadId = GetCurrentThreadId();
    state->javaThread = true;
    state->block.env.functions = nativeInterface();
    state->block.state = state.get();
    state->block.magic = kEnvMagic;
    ThreadState& raw = *state;
    m_threads[raw.threadId] = std::move(state);
    return raw;
}

ThreadState& Vm::attach(bool& wasAttached)
{
    wasAttached = currentThreadState() != nullptr;
    if (wasAttached) {
        return *currentThreadState();
    }
    ThreadState& state = javaThread();
    state.javaThread = false;
    pushFrame(state, 16);
    ++attachCount;
    return state;
}

jint Vm::detachCurrent()
{
    ThreadState* state = currentThreadState();
    if (state == nullptr) {
        return JNI_OK;  // not attached: nothing to do, as in a JVM
    }
    if (state->javaThread || state->nativeDepth > 0) {
        violation("DetachCurrentThread: the thread runs a native method (it has Java frames)");
        return JNI_ERR;
    }
    if (state->pending) {
        violation("DetachCurrentThread: an exception is still pending: " + describe(state->pending));
    }
    if (state->frames.size() > 1) {
        violation("DetachCurrentThread: " + std::to_string(state->frames.size() - 1) +
                  " local frame(s) pushed and not popped");
    }
    for (std::size_t i = 0; i < state->frames.size(); ++i) {
        const std::vector<std::string> live = liveLocals(*state, i, 0xFFFFFFFF);
        for (const std::string& reference : live) {
            violation("DetachCurrentThread: local reference still live: " + reference);
        }
    }
    if (!state->pinned.empty()) {
        violation("DetachCurrentThread: string characters not released");
    }
    while (!state->frames.empty()) {
        popFrame(*state);
    }
    state->pinned.clear();
    state->alive = false;
    ++detachCount;
    const auto found = m_threads.find(state->threadId);
    m_ended.push_back(std::move(found->second));
    m_threads.erase(found);
    return JNI_OK;
}

void Vm::pushFrame(ThreadState& thread, std::size_t capacity)
{
    Frame frame;
    frame.capacity = capacity;
    thread.frames.push_back(std::move(frame));
}

void Vm::popFrame(ThreadState& thread)
{
    if (thread.frames.empty()) {
        return;
    }
    const std::size_t index = thread.frames.size() - 1;
    for (const auto& [i, generation] : thread.frames.back().slots) {
        const RefSlot& slot = m_refs[i];
        if (slot.live && slot.generation == generation && slot.kind == RefKind::Local && slot.owner == &thread &&
            slot.frame == index) {
            freeSlot(i);
        }
    }
    thread.frames.pop_back();
}

std::vector<std::string> Vm::liveLocals(ThreadState& thread, std::size_t index, std::uint32_t keep)
{
    std::vector<std::string> live;
    if (index >= thread.frames.size()) {
        return live;
    }
    for (const auto& [i, generation] : thread.frames[index].slots) {
        const RefSlot& slot = m_refs[i];
        if (i != keep && slot.live && slot.generation == generation && slot.kind == RefKind::Local &&
            slot.owner == &thread && slot.frame == index && !slot.argument) {
            live.push_back(slot.origin + " -> " + describe(slot.target));
        }
    }
    return live;
}

// --- violations and method bodies ----------------------------------------------

void Vm::violation(const std::string& text)
{
    m_violations.push_back(text);
}

std::vector<std::string> Vm::takeViolations()
{
    return std::exchange(m_violations, {});
}

Outcome Vm::run(std::unique_lock<std::mutex>& lock, ThreadState& thread, MethodInfo& method, const ObjectPtr& self,
                const std::vector<Slot>& args)
{
    const std::string where = method.owner->name + "." + method.name + method.signature;
    if (args.size() != method.parameters.size()) {
        violation(where + ": called with " + std::to_string(args.size()) + " arguments");
        return {};
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const char kind = method.parameters[i][0];
        if ((kind == 'L' || kind == '[') && !fitsDescriptor(args[i].o, method.parameters[i])) {
            violation(where + ": argument " + std::to_string(i + 1) + " is " + describe(args[i].o) + ", not " +
                      method.parameters[i]);
            return {};
        }
    }
    if (!method.body) {
        return throwing(*this, "java/lang/AbstractMethodError", std::wstring(where.begin(), where.end()));
    }
    if (!method.userCode) {
        return method.body(*this, thread, self, args);
    }
    lock.unlock();
    Outcome outcome = method.body(*this, thread, self, args);
    lock.lock();
    return outcome;
}

}  // namespace vantor::jnihost::detail
