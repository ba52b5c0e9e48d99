// Registry access: reading a text or a 32-bit value, writing either, deleting
// a key or a value, and listing the sub-keys or the values of a key.
//
// The first six operations exist in a narrow and a wide form; both are one
// template over the character type, instantiated with the ANSI and the wide
// registry functions. Every operation opens and closes its own key handles.
#include "common/text/bounded_copy.h"
#include "common/win/unique_handle.h"
#include "platform-access/core/registry_value.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"

#include <shlwapi.h>

#include <utility>

namespace vantor::access {
namespace {

// Buffer capacities, terminator included (so the largest accepted length is
// one less).
constexpr std::size_t kSubKeyCapacity = 1024;
constexpr std::size_t kValueNameCapacity = 1024;
constexpr std::size_t kWrittenTextCapacity = 1024;
constexpr std::size_t kExpandedCapacity = 2048;
constexpr DWORD kEnumeratedNameCapacity = 1024;
// Value data read: 1,024 bytes; a larger value fails the read.
constexpr DWORD kDataBytes = 1024;

HKEY rootKeyFor(jint number) noexcept
{
    // In the order of the root numbers (see isKnownRootNumber).
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
                          HKEY_USERS};
    static_assert(sizeof roots / sizeof roots[0] == kRootNumberCount);
    return isKnownRootNumber(number) ? roots[number - 1] : nullptr;
}

// Maps a root number of the Java side. An unknown number throws with the
// operation "readValue", whichever operation asked.
[[nodiscard]] bool toRootKey(JNIEnv* env, jint number, HKEY& root)
{
    root = rootKeyFor(number);
    if (root == nullptr) {
        throwAccessException(env, "readValue", "unsupported type");
        return false;
    }
    return true;
}

// The ANSI and the wide registry functions under one set of names.
template <typename Char>
struct RegistryApi;

template <>
struct RegistryApi<wchar_t> {
    static constexpr bool wide = true;
    static LSTATUS open(HKEY root, const wchar_t* path, HKEY* key) { return RegOpenKeyW(root, path, key); }
    static LSTATUS query(HKEY key, const wchar_t* name, DWORD* type, void* data, DWORD* size)
    {
        return RegQueryValueExW(key, name, nullptr, type, static_cast<BYTE*>(data), size);
    }
    static LSTATUS create(HKEY root, const wchar_t* path, HKEY* key)
    {
        return RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key, nullptr);
    }
    static LSTATUS set(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    static LSTATUS deleteTree(HKEY root, const wchar_t* path) { return SHDeleteKeyW(root, path); }
    static LSTATUS deleteKey(HKEY root, const wchar_t* path) { return RegDeleteKeyW(root, path); }
    static LSTATUS deleteValue(HKEY root, const wchar_t* path, const wchar_t* name)
    {
        return SHDeleteValueW(root, path, name);
    }
    static DWORD expand(const wchar_t* text, wchar_t* out, DWORD capacity)
    {
        return ExpandEnvironmentStringsW(text, out, capacity);
    }
    // `text` is terminated at `length`.
    static jstring toJava(JNIEnv* env, const wchar_t* text, std::size_t length)
    {
        return newJavaString(env, text, length);
    }
};

template <>
struct RegistryApi<char> {
    static constexpr bool wide = false;
    static LSTATUS open(HKEY root, const char* path, HKEY* key) { return RegOpenKeyA(root, path, key); }
    static LSTATUS query(HKEY key, const char* name, DWORD* type, void* data, DWORD* size)
    {
        return RegQueryValueExA(key, name, nullptr, type, static_cast<BYTE*>(data), size);
    }
    static LSTATUS create(HKEY root, const char* path, HKEY* key)
    {
        return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key, nullptr);
    }
    static LSTATUS set(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
    {
        return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    static LSTATUS deleteTree(HKEY root, const char* path) { return SHDeleteKeyA(root, path); }
    static LSTATUS deleteKey(HKEY root, const char* path) { return RegDeleteKeyA(root, path); }
    static LSTATUS deleteValue(HKEY root, const char* path, const char* name)
    {
        return SHDeleteValueA(root, path, name);
    }
    static DWORD expand(const char* text, char* out, DWORD capacity)
    {
        return ExpandEnvironmentStringsA(text, out, capacity);
    }
    // `text` is terminated at `length`; the bytes go to Java as they are.
    static jstring toJava(JNIEnv* env, const char* text, std::size_t) { return newJavaString(env, text); }
};

// Value data as read by the query. One unit more than the 1,024 bytes the
// query may fill, so that a text stored without its terminator can be
// terminated in place.
template <typename Char>
struct ValueData {
    Char units[kDataBytes / sizeof(Char) + 1] = {};
    DWORD type = 0;
    DWORD size = kDataBytes;  // bytes the query filled

    // The text at the start of the data, cut at its first terminator and
    // never read past the bytes the query filled; terminated in place.
    std::size_t terminateText()
    {
        const std::size_t length = text::boundedLength(units, size / sizeof(Char));
        units[length] = Char();
        return length;
    }
};

template <typename Char>
jstring readStringValue(JNIEnv* env, jint rootNumber, jstring subKey, jstring valueName)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    Char name[kValueNameCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity) ||
        !jstringToChars(env, valueName, name, kValueNameCapacity)) {
        return nullptr;
    }
    win::RegKey key;
    if (Api::open(root, path, key.put()) != ERROR_SUCCESS) {
        throwAccessException(env, "readStringValue", "RegOpenKey failed");
        return nullptr;
    }
    faultPoint("readStringValue");
    ValueData<Char> data;
    if (Api::query(key.get(), name, &data.type, data.units, &data.size) != ERROR_SUCCESS) {
        throwAccessException(env, "readStringValue", "RegQueryValueEx failed");
        return nullptr;
    }
    switch (stringReadingFor(data.type, Api::wide)) {
    case StringReading::FirstText: {
        const std::size_t length = data.terminateText();
        return Api::toJava(env, data.units, length);
    }
    case StringReading::ExpandedText: {
        data.terminateText();
        Char expanded[kExpandedCapacity];
        const DWORD needed = Api::expand(data.units, expanded, kExpandedCapacity);
        // A text whose expansion does not fit is a failure rather than a cut
        // or unexpanded text that would look like a valid result.
        if (needed == 0 || needed > kExpandedCapacity) {
            throwAccessException(env, "readStringValue", "ExpandEnvironmentStrings failed");
            return nullptr;
        }
        const std::size_t length = text::boundedLength(expanded, kExpandedCapacity - 1);
        expanded[length] = Char();
        return Api::toJava(env, expanded, length);
    }
    case StringReading::RawUnits:
        if constexpr (Api::wide) {
            return newJavaString(env, data.units, data.size / sizeof(wchar_t));
        }
        break;
    case StringReading::TypeMismatch: break;
    }
    throwAccessException(env, "readValue", "type mismach");
    return nullptr;
}

template <typename Char>
jint readWordValue(JNIEnv* env, jint rootNumber, jstring subKey, jstring valueName)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    Char name[kValueNameCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity) ||
        !jstringToChars(env, valueName, name, kValueNameCapacity)) {
        return 0;
    }
    win::RegKey key;
    if (Api::open(root, path, key.put()) != ERROR_SUCCESS) {
        throwAccessException(env, "readWordValue", "RegOpenKey failed");
        return 0;
    }
    unsigned char data[kDataBytes] = {};
    DWORD type = 0;
    DWORD size = kDataBytes;
    if (Api::query(key.get(), name, &type, data, &size) != ERROR_SUCCESS) {
        throwAccessException(env, "readWordValue", "RegQueryValueEx failed");
        return 0;
    }
    if (type != kRegNumber) {
        throwAccessException(env, "readValue", "type mismach");
        return 0;
    }
    return static_cast<jint>(storedNumber(data, size));
}

template <typename Char>
void writeStringValue(JNIEnv* env, jint rootNumber, jstring subKey, jstring valueName, jstring value)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    Char name[kValueNameCapacity];
    Char text[kWrittenTextCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity) ||
        !jstringToChars(env, valueName, name, kValueNameCapacity) ||
        !jstringToChars(env, value, text, kWrittenTextCapacity)) {
        return;
    }
    win::RegKey key;
    if (Api::create(root, path, key.put()) != ERROR_SUCCESS) {
        throwAccessException(env, "writeStringValue", "RegCreateKeyEx failed");
        return;
    }
    // The text with its terminator.
    const std::size_t length = text::boundedLength(text, kWrittenTextCapacity);
    const DWORD size = static_cast<DWORD>((length + 1) * sizeof(Char));
    if (Api::set(key.get(), name, kRegText, text, size) != ERROR_SUCCESS) {
        throwAccessException(env, "writeStringValue", "RegSetValueEx failed");
    }
}

template <typename Char>
void writeWordValue(JNIEnv* env, jint rootNumber, jstring subKey, jstring valueName, jint value)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    Char name[kValueNameCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity) ||
        !jstringToChars(env, valueName, name, kValueNameCapacity)) {
        return;
    }
    win::RegKey key;
    if (Api::create(root, path, key.put()) != ERROR_SUCCESS) {
        throwAccessException(env, "writeWordValue", "RegCreateKeyEx failed");
        return;
    }
    const auto number = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                                    static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
    if (Api::set(key.get(), name, kRegNumber, bytes, sizeof bytes) != ERROR_SUCCESS) {
        throwAccessException(env, "writeWordValue", "RegSetValueEx failed");
    }
}

template <typename Char>
bool keyExists(HKEY root, const Char* path)
{
    win::RegKey key;
    return RegistryApi<Char>::open(root, path, key.put()) == ERROR_SUCCESS;
}

template <typename Char>
void deleteKey(JNIEnv* env, jint rootNumber, jstring subKey, jboolean withSubKeys)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity)) {
        return;
    }
    // Deleting a key that is not there is not an error.
    if (!keyExists(root, path)) {
        return;
    }
    const bool recursive = withSubKeys != JNI_FALSE;
    // An empty path opens the root key itself. A root key cannot be deleted,
    // but the recursive deletion would first empty it: everything under
    // HKEY_CURRENT_USER, say, would be gone. The deletion is refused with the
    // failure it would have ended with, before anything is touched.
    if (path[0] == Char()) {
        throwAccessException(env, "deleteKey", recursive ? "SHDeleteKey failed" : "RegDeleteKey failed");
        return;
    }
    if (recursive) {
        if (Api::deleteTree(root, path) != ERROR_SUCCESS) {
            throwAccessException(env, "deleteKey", "SHDeleteKey failed");
        }
    } else if (Api::deleteKey(root, path) != ERROR_SUCCESS) {
        throwAccessException(env, "deleteKey", "RegDeleteKey failed");
    }
}

template <typename Char>
void deleteValue(JNIEnv* env, jint rootNumber, jstring subKey, jstring valueName)
{
    using Api = RegistryApi<Char>;
    HKEY root;
    Char path[kSubKeyCapacity];
    Char name[kValueNameCapacity];
    if (!toRootKey(env, rootNumber, root) || !jstringToChars(env, subKey, path, kSubKeyCapacity) ||
        !jstringToChars(env, valueName, name, kValueNameCapacity)) {
        return;
    }
    if (!keyExists(root, path)) {
        return;
    }
    if (Api::deleteValue(root, path, name) != ERROR_SUCCESS) {
        throwAccessException(env, "deleteValue", "SHDeleteValue failed");
    }
}

// What the listing operations share: the element class, the empty array that
// is their neutral result, and the key opened for reading.
//
// The empty array is made before anything that may throw, because once an
// exception is pending no array can be created any more; so an unknown root
// or an over-long path still gives the empty array, with the exception
// pending. A key that cannot be opened gives it without an exception.
class Listing {
public:
    Listing(JNIEnv* env, const char* elementClassPath) : m_env(env)
    {
        m_class = env->FindClass(elementClassPath);
        if (m_class != nullptr) {
            m_empty = env->NewObjectArray(0, m_class, nullptr);
        }
    }
    ~Listing()
    {
        deleteLocal(m_env, m_array);
        deleteLocal(m_env, m_empty);
        deleteLocal(m_env, m_class);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    // False when the VM could not provide the class or the empty array (its
    // exception is pending).
    bool ready() const { return m_empty != nullptr; }

    // Opens the key; false (with or without a pending exception) when the
    // listing is to be the empty array.
    bool open(jint rootNumber, jstring subKey)
    {
        HKEY root;
        wchar_t path[kSubKeyCapacity];
        if (!toRootKey(m_env, rootNumber, root) || !jstringToChars(m_env, subKey, path, kSubKeyCapacity)) {
            return false;
        }
        return RegOpenKeyExW(root, path, 0, KEY_READ, m_key.put()) == ERROR_SUCCESS;
    }

    HKEY key() const { return m_key.get(); }

    // Hands over the empty array (the caller returns it).
    jobjectArray takeEmpty() { return std::exchange(m_empty, nullptr); }

    // Makes the array of `length` elements that the listing fills; null when
    // the VM could not make it (its exception is pending).
    jobjectArray newArray(DWORD length)
    {
        m_array = m_env->NewObjectArray(static_cast<jsize>(length), m_class, nullptr);
        return m_array;
    }

    // Hands over the filled array (the caller returns it). Until then the
    // listing owns it, so that a listing that ends early lets go of it.
    jobjectArray takeArray() { return std::exchange(m_array, nullptr); }

private:
    JNIEnv* m_env;
    jclass m_class = nullptr;
    jobjectArray m_empty = nullptr;
    jobjectArray m_array = nullptr;
    win::RegKey m_key;
};

// Stores `element` at `index` and lets go of the local reference. False when
// the element could not be made (the VM's exception is pending).
bool storeElement(JNIEnv* env, jobjectArray array, jsize index, jobject element)
{
    if (element == nullptr) {
        return false;
    }
    env->SetObjectArrayElement(array, index, element);
    env->DeleteLocalRef(element);
    return true;
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

// --- the six operations with a narrow and a wide form -----------------------

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueA(JNIEnv* env, jclass,
                                                                                                  jint root,
                                                                                                  jstring subKey,
                                                                                                  jstring valueName)
{
    return guardOperation(env, "readStringValue", nullptr,
                          [&] { return readStringValue<char>(env, root, subKey, valueName); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueW(JNIEnv* env, jclass,
                                                                                                  jint root,
                                                                                                  jstring subKey,
                                                                                                  jstring valueName)
{
    return guardOperation(env, "readStringValue", nullptr,
                          [&] { return readStringValue<wchar_t>(env, root, subKey, valueName); });
}

jstring JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readStringValueW)(
        env, clazz, root, subKey, valueName);
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueA(JNIEnv* env, jclass,
                                                                                             jint root, jstring subKey,
                                                                                             jstring valueName)
{
    return guardOperation(env, "readWordValue", 0, [&] { return readWordValue<char>(env, root, subKey, valueName); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueW(JNIEnv* env, jclass,
                                                                                             jint root, jstring subKey,
                                                                                             jstring valueName)
{
    return guardOperation(env, "readWordValue", 0,
                          [&] { return readWordValue<wchar_t>(env, root, subKey, valueName); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValue(JNIEnv* env, jclass clazz,
                                                                                            jint root, jstring subKey,
                                                                                            jstring valueName)
{
    return byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueA,
                        Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_readWordValueW)(
        env, clazz, root, subKey, valueName);
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueA(
    JNIEnv* env, jclass, jint root, jstring subKey, jstring valueName, jstring value)
{
    guardOperation(env, "writeStringValue", [&] { writeStringValue<char>(env, root, subKey, valueName, value); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueW(
    JNIEnv* env, jclass, jint root, jstring subKey, jstring valueName, jstring value)
{
    guardOperation(env, "writeStringValue", [&] { writeStringValue<wchar_t>(env, root, subKey, valueName, value); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValue(
    JNIEnv* env, jclass clazz, jint root, jstring subKey, jstring valueName, jstring value)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeStringValueW)(
        env, clazz, root, subKey, valueName, value);
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueA(JNIEnv* env, jclass,
                                                                                              jint root, jstring subKey,
                                                                                              jstring valueName,
                                                                                              jint value)
{
    guardOperation(env, "writeWordValue", [&] { writeWordValue<char>(env, root, subKey, valueName, value); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueW(JNIEnv* env, jclass,
                                                                                              jint root, jstring subKey,
                                                                                              jstring valueName,
                                                                                              jint value)
{
    guardOperation(env, "writeWordValue", [&] { writeWordValue<wchar_t>(env, root, subKey, valueName, value); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValue(JNIEnv* env, jclass clazz,
                                                                                             jint root, jstring subKey,
                                                                                             jstring valueName,
                                                                                             jint value)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_writeWordValueW)(
        env, clazz, root, subKey, valueName, value);
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyA(JNIEnv* env, jclass, jint root,
                                                                                         jstring subKey,
                                                                                         jboolean withSubKeys)
{
    guardOperation(env, "deleteKey", [&] { deleteKey<char>(env, root, subKey, withSubKeys); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyW(JNIEnv* env, jclass, jint root,
                                                                                         jstring subKey,
                                                                                         jboolean withSubKeys)
{
    guardOperation(env, "deleteKey", [&] { deleteKey<wchar_t>(env, root, subKey, withSubKeys); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKey(JNIEnv* env, jclass clazz,
                                                                                        jint root, jstring subKey,
                                                                                        jboolean withSubKeys)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteKeyW)(env, clazz, root, subKey,
                                                                                              withSubKeys);
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueA(JNIEnv* env, jclass,
                                                                                           jint root, jstring subKey,
                                                                                           jstring valueName)
{
    guardOperation(env, "deleteValue", [&] { deleteValue<char>(env, root, subKey, valueName); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueW(JNIEnv* env, jclass,
                                                                                           jint root, jstring subKey,
                                                                                           jstring valueName)
{
    guardOperation(env, "deleteValue", [&] { deleteValue<wchar_t>(env, root, subKey, valueName); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValue(JNIEnv* env, jclass clazz,
                                                                                          jint root, jstring subKey,
                                                                                          jstring valueName)
{
    byNarrowMode(Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueA,
                 Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_deleteValueW)(env, clazz, root,
                                                                                                subKey, valueName);
}

// --- the two listing operations (wide only) ---------------------------------

// String[] of the key's sub-key names, in enumeration order. An index whose
// enumeration fails (the sub-key went away after the count was taken) stays
// null.
jobjectArray JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getRegSubKeys(JNIEnv* env, jclass,
                                                                                                    jint root,
                                                                                                    jstring subKey)
{
    return guardOperation(env, "getRegSubKeys", nullptr, [&]() -> jobjectArray {
        Listing listing(env, "java/lang/String");
        if (!listing.ready()) {
            return nullptr;
        }
        DWORD count = 0;
        if (!listing.open(root, subKey) ||
            RegQueryInfoKeyW(listing.key(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return listing.takeEmpty();
        }
        const jobjectArray names = listing.newArray(count);
        if (names == nullptr) {
            return nullptr;
        }
        for (DWORD i = 0; i < count; ++i) {
            wchar_t name[kEnumeratedNameCapacity];
            DWORD length = kEnumeratedNameCapacity;
            if (RegEnumKeyExW(listing.key(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                continue;
            }
            if (!storeElement(env, names, static_cast<jsize>(i), newJavaString(env, name, length))) {
                return nullptr;
            }
        }
        return listing.takeArray();
    });
}

// Object[] of 2n elements for the key's n values: the name at 2i, and at
// 2i+1 the data of a text value (up to its terminator), of a binary value (as
// lower-case hexadecimal), or null for every other type. A value whose data
// exceeds the 1,024-byte buffer keeps its name with null data; an index whose
// enumeration fails altogether (the value went away after the count was
// taken) stays null in both elements.
jobjectArray JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_getRegKeyValues(JNIEnv* env,
                                                                                                      jclass, jint root,
                                                                                                      jstring subKey)
{
    return guardOperation(env, "getRegKeyValues", nullptr, [&]() -> jobjectArray {
        Listing listing(env, "java/lang/Object");
        if (!listing.ready()) {
            return nullptr;
        }
        DWORD count = 0;
        if (!listing.open(root, subKey) ||
            RegQueryInfoKeyW(listing.key(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return listing.takeEmpty();
        }
        const jobjectArray values = listing.newArray(2 * count);
        if (values == nullptr) {
            return nullptr;
        }
        for (DWORD i = 0; i < count; ++i) {
            wchar_t name[kEnumeratedNameCapacity];
            DWORD nameLength = kEnumeratedNameCapacity;
            wchar_t data[kDataBytes / sizeof(wchar_t)];
            DWORD type = 0;
            DWORD size = kDataBytes;
            LSTATUS status = RegEnumValueW(listing.key(), i, name, &nameLength, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data), &size);
            bool withData = status == ERROR_SUCCESS;
            if (status == ERROR_MORE_DATA) {
                // Either the data or the name is too long for its buffer;
                // asking for the name alone tells which.
                nameLength = kEnumeratedNameCapacity;
                status = RegEnumValueW(listing.key(), i, name, &nameLength, nullptr, &type, nullptr, nullptr);
            }
            if (status != ERROR_SUCCESS) {
                continue;
            }
            const jsize at = static_cast<jsize>(2 * i);
            if (!storeElement(env, values, at, newJavaString(env, name, nameLength))) {
                return nullptr;
            }
            jstring shown = nullptr;
            if (withData && type == kRegText) {
                shown = newJavaString(env, data, vantor::text::boundedLength(data, size / sizeof(wchar_t)));
            } else if (withData && type == kRegBinary) {
                wchar_t hex[2 * kDataBytes + 1];
                const std::size_t length =
                    formatHex(reinterpret_cast<const unsigned char*>(data), size, hex, 2 * kDataBytes + 1);
                shown = newJavaString(env, hex, length);
            } else {
                continue;
            }
            if (!storeElement(env, values, at + 1, shown)) {
                return nullptr;
            }
        }
        return listing.takeArray();
    });
}
