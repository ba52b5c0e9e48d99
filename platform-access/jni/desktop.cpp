// Tray icon, power and OS version: the desktop side of the library. (The
// hidden hook window and its thread are in hook_window.cpp.)
#include "platform-access/core/version_names.h"
#include "platform-access/jni/boundary.h"
#include "platform-access/jni/exports.h"
#include "platform-access/jni/fault_point.h"
#include "platform-access/jni/frame.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <string_view>

namespace vantor::access {

namespace {

// --- tray icon -------------------------------------------------------------

// The shell's notification-icon record in its full current size.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "the tray icon record must be the shell's full current size");

constexpr std::size_t kTipCapacity = 128;        // at most 127 characters
constexpr std::size_t kInfoCapacity = 256;       // at most 255 characters
constexpr std::size_t kInfoTitleCapacity = 64;   // at most 63 characters

// The identifier of the process's tray icon. Its first field is the one the
// first call asked for; later calls get the same identifier, whatever they
// ask, so that the shell keeps seeing one icon.
GUID trayGuid(jint firstCallsFirstField)
{
    static const GUID guid = [firstCallsFirstField] {
        GUID fixed{};
        fixed.Data1 = static_cast<std::uint32_t>(firstCallsFirstField);
        fixed.Data2 = 0x10E0;
        fixed.Data3 = 0x4041;
        const unsigned char tail[8] = {0xB8, 0x62, 0xB1, 0x95, 0x41, 0x96, 0x36, 0x69};
        for (int i = 0; i < 8; ++i) {
            fixed.Data4[i] = tail[i];
        }
        return fixed;
    }();
    return guid;
}

// Copies a Java string into a field of the tray record the way
// jstringToChars does, except that a text over the limit is only reported by
// the result: the record's three texts are converted before the one
// truncation exception is thrown, because no JNI call may follow a pending
// exception. The field is left as it was (empty) when the text does not fit.
[[nodiscard]] bool copyField(JNIEnv* env, jstring text, wchar_t* field, std::size_t capacity)
{
    if (text == nullptr) {
        field[0] = L'\0';
        return true;
    }
    const jsize length = env->GetStringLength(text);
    if (length < 0 || static_cast<std::size_t>(length) >= capacity) {
        return false;
    }
    env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(field));
    field[length] = L'\0';
    return true;
}

// A handle passed from Java as a 32-bit number. Window and icon handles are
// 32-bit values even in 64-bit processes, and are sign-extended there.
template <typename HandleType>
HandleType handleFrom(jint value)
{
    return reinterpret_cast<HandleType>(static_cast<INT_PTR>(value));
}

// --- power -------------------------------------------------------------------

constexpr EXECUTION_STATE kScreenSaverAllowed = ES_CONTINUOUS;
constexpr EXECUTION_STATE kScreenSaverKeptOff = ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED;

// --- version checks ------------------------------------------------------------

constexpr std::size_t kVersionNameCapacity = 128;  // at most 127 characters

bool systemIsAtLeast(DWORD major, DWORD minor, WORD servicePackMajor, bool withServicePack)
{
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;  // 284 bytes
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = servicePackMajor;
    DWORD fields = VER_MAJORVERSION | VER_MINORVERSION;
    DWORDLONG conditions = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    if (withServicePack) {
        fields |= VER_SERVICEPACKMAJOR;
        conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    }
    return VerifyVersionInfoW(&wanted, fields, conditions) != FALSE;
}

}  // namespace
}  // namespace vantor::access

using namespace vantor::access;

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_shellNotifyIcon(
    JNIEnv* env, jclass, jint message, jint window, jint flags, jint callbackMessage, jint icon, jstring tip,
    jint state, jint stateMask, jstring info, jstring infoTitle, jint infoFlags, jint guidFirstField)
{
    return guardOperation(env, "shellNotifyIcon", JNI_FALSE, [&]() -> jboolean {
        NOTIFYICONDATAW data;
        ZeroMemory(&data, sizeof data);
        data.cbSize = sizeof data;
        data.hWnd = handleFrom<HWND>(window);
        data.uID = 0;
        data.uFlags = static_cast<UINT>(flags);
        data.uCallbackMessage = static_cast<UINT>(callbackMessage);
        data.hIcon = handleFrom<HICON>(icon);
        bool allFit = copyField(env, tip, data.szTip, kTipCapacity);
        data.dwState = static_cast<DWORD>(state);
        data.dwStateMask = static_cast<DWORD>(stateMask);
        allFit = copyField(env, info, data.szInfo, kInfoCapacity) && allFit;
        data.uTimeout = 0;
        allFit = copyField(env, infoTitle, data.szInfoTitle, kInfoTitleCapacity) && allFit;
        data.dwInfoFlags = static_cast<DWORD>(infoFlags);
        data.guidItem = trayGuid(guidFirstField);
        data.hBalloonIcon = nullptr;
        if (!allFit) {
            // The icon is shown all the same, with the text that did not fit
            // left empty.
            throwAccessException(env, "jstringToChars", "jstring truncation occurred");
        }
        faultPoint("shellNotifyIcon");
        return Shell_NotifyIconW(static_cast<DWORD>(message), &data) ? JNI_TRUE : JNI_FALSE;
    });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_setThreadExecutionState(JNIEnv* env,
                                                                                                      jclass,
                                                                                                      jint flags)
{
    return guardOperation(env, "setThreadExecutionState", 0, [flags] {
        return static_cast<jint>(SetThreadExecutionState(static_cast<EXECUTION_STATE>(flags)));
    });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_enableScreenSaver(JNIEnv* env, jclass)
{
    return guardOperation(env, "enableScreenSaver", 0,
                          [] { return static_cast<jint>(SetThreadExecutionState(kScreenSaverAllowed)); });
}

jint JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver(JNIEnv* env, jclass)
{
    return guardOperation(env, "disableScreenSaver", 0,
                          [] { return static_cast<jint>(SetThreadExecutionState(kScreenSaverKeptOff)); });
}

jlong JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_disableScreenSaver2(JNIEnv* env, jclass)
{
    // The previous state as an unsigned number: ES_CONTINUOUS stays positive.
    return guardOperation(env, "disableScreenSaver2", 0,
                          [] { return static_cast<jlong>(SetThreadExecutionState(kScreenSaverKeptOff)); });
}

void JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_SHChangeNotify(JNIEnv* env, jclass)
{
    // File-type associations changed: the shell refreshes icons and
    // open-with lists.
    guardOperation(env, "SHChangeNotify", [] { ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isWin7OrLater(JNIEnv* env, jclass)
{
    return guardOperation(env, "isWin7OrLater", JNI_FALSE,
                          [] { return systemIsAtLeast(6, 1, 0, false) ? JNI_TRUE : JNI_FALSE; });
}

jboolean JNICALL Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_isCorrectOSVersion(JNIEnv* env,
                                                                                                     jclass,
                                                                                                     jstring name)
{
    return guardOperation(env, "isCorrectOSVersion", JNI_FALSE, [&]() -> jboolean {
        wchar_t text[kVersionNameCapacity];
        if (!jstringToChars(env, name, text, kVersionNameCapacity)) {
            return JNI_FALSE;
        }
        const VersionRequirement* requirement = findVersionRequirement(std::wstring_view(text));
        if (requirement == nullptr) {
            return JNI_FALSE;
        }
        return systemIsAtLeast(requirement->major, requirement->minor, requirement->servicePackMajor, true)
                   ? JNI_TRUE
                   : JNI_FALSE;
    });
}
