#include "platform-access/jni/java_objects.h"

#include "platform-access/jni/frame.h"

#include <type_traits>
#include <variant>

namespace vantor::access {
namespace {

constexpr char kObjectPut[] = "(Ljava/lang/Object;Ljava/lang/Object;)Ljava/lang/Object;";

// Finds a class and creates an instance with its no-argument constructor.
// False with the VM's exception pending when any step fails.
bool newEmpty(JNIEnv* env, const char* classPath, jclass& type, jobject& object)
{
    type = env->FindClass(classPath);
    if (type == nullptr) {
        return false;
    }
    const jmethodID constructor = env->GetMethodID(type, "<init>", "()V");
    if (constructor == nullptr) {
        return false;
    }
    object = env->NewObject(type, constructor);
    return object != nullptr;
}

}  // namespace

// --- JavaMap ---------------------------------------------------------------------

JavaMap::JavaMap(JNIEnv* env, Numbers numbers) : m_env(env), m_numbers(numbers)
{
    if (!newEmpty(env, "java/util/HashMap", m_mapClass, m_map)) {
        return;
    }
    m_put = env->GetMethodID(m_mapClass, "put", kObjectPut);
    if (m_put == nullptr) {
        return;
    }
    const bool isLong = numbers == Numbers::Long;
    m_numberClass = env->FindClass(isLong ? "java/lang/Long" : "java/lang/Integer");
    if (m_numberClass != nullptr) {
        m_numberConstructor = env->GetMethodID(m_numberClass, "<init>", isLong ? "(J)V" : "(I)V");
    }
}

JavaMap::~JavaMap()
{
    deleteLocal(m_env, m_numberClass);
    deleteLocal(m_env, m_map);
    deleteLocal(m_env, m_mapClass);
}

bool JavaMap::put(const char* key, jobject value)
{
    if (value == nullptr) {
        m_failed = true;
        return false;
    }
    const jstring keyText = m_env->NewStringUTF(key);
    if (keyText == nullptr) {
        m_env->DeleteLocalRef(value);
        m_failed = true;
        return false;
    }
    // put answers the value it replaced: a reference of its own.
    const jobject previous = m_env->CallObjectMethod(m_map, m_put, keyText, value);
    deleteLocal(m_env, previous);
    m_env->DeleteLocalRef(keyText);
    m_env->DeleteLocalRef(value);
    if (m_env->ExceptionCheck()) {
        m_failed = true;
        return false;
    }
    return true;
}

bool JavaMap::putNumber(const char* key, std::int64_t number)
{
    if (!ready() || m_failed) {
        return false;
    }
    const jobject boxed = m_numbers == Numbers::Long
                              ? m_env->NewObject(m_numberClass, m_numberConstructor, static_cast<jlong>(number))
                              : m_env->NewObject(m_numberClass, m_numberConstructor, static_cast<jint>(number));
    return put(key, boxed);
}

bool JavaMap::putText(const char* key, const std::wstring& text)
{
    if (!ready() || m_failed) {
        return false;
    }
    return put(key, newJavaString(m_env, text.data(), text.size()));
}

bool JavaMap::putAll(const DriveFacts& facts)
{
    for (const DriveFact& fact : facts.entries()) {
        const bool done = std::visit(
            [&](const auto& value) {
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::int64_t>) {
                    return putNumber(fact.key.c_str(), value);
                } else {
                    return putText(fact.key.c_str(), value);
                }
            },
            fact.value);
        if (!done) {
            return false;
        }
    }
    return true;
}

jobject JavaMap::take()
{
    const jobject map = m_map;
    m_map = nullptr;
    return map;
}

// --- JavaFileList ------------------------------------------------------------------

JavaFileList::JavaFileList(JNIEnv* env) : m_env(env)
{
    if (!newEmpty(env, "java/util/ArrayList", m_listClass, m_list)) {
        return;
    }
    m_add = env->GetMethodID(m_listClass, "add", "(Ljava/lang/Object;)Z");
    if (m_add == nullptr) {
        return;
    }
    m_fileClass = env->FindClass("java/io/File");
    if (m_fileClass != nullptr) {
        m_fileConstructor = env->GetMethodID(m_fileClass, "<init>", "(Ljava/lang/String;)V");
    }
}

JavaFileList::~JavaFileList()
{
    deleteLocal(m_env, m_fileClass);
    deleteLocal(m_env, m_list);
    deleteLocal(m_env, m_listClass);
}

bool JavaFileList::addFile(const std::wstring& path)
{
    if (!ready() || m_failed) {
        return false;
    }
    const jstring text = newJavaString(m_env, path.data(), path.size());
    if (text == nullptr) {
        m_failed = true;
        return false;
    }
    const jobject file = m_env->NewObject(m_fileClass, m_fileConstructor, text);
    m_env->DeleteLocalRef(text);
    if (file == nullptr) {
        m_failed = true;
        return false;
    }
    m_env->CallBooleanMethod(m_list, m_add, file);
    m_env->DeleteLocalRef(file);
    if (m_env->ExceptionCheck()) {
        m_failed = true;
        return false;
    }
    return true;
}

jobject JavaFileList::take()
{
    const jobject list = m_list;
    m_list = nullptr;
    return list;
}

}  // namespace vantor::access
