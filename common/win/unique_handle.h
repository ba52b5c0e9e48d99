// One move-only owner for every kind of Windows handle.
//
// A traits type names the handle type, the value that means "nothing owned"
// and the closer; an alias per resource keeps call sites short:
//
//   vantor::win::Handle process(OpenProcess(...));
//   if (!process) { DWORD error = GetLastError(); ... }
//
// Closing keeps the calling thread's last-error value intact, so an owner that
// goes out of scope between a failed call and its GetLastError() cannot change
// what the caller reads.
//
// Owners whose resource needs more than <windows.h> build on this template in
// headers of their own: common/win/socket.h (SOCKET) and common/win/com.h
// (COM interface pointers and BSTR).
#pragma once

#include <windows.h>

#include <utility>

namespace vantor::win {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : m_value(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    [[nodiscard]] Type get() const noexcept { return m_value; }
    [[nodiscard]] bool valid() const noexcept { return Traits::isValid(m_value); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    [[nodiscard]] Type release() noexcept
    {
        Type value = m_value;
        m_value = Traits::invalid();
        return value;
    }

    // Closes what is owned (if anything) and takes `value`.
    void reset(Type value = Traits::invalid()) noexcept
    {
        if (Traits::isValid(m_value)) {
            DWORD error = GetLastError();
            Traits::close(m_value);
            SetLastError(error);
        }
        m_value = value;
    }

    // Closes what is owned and returns the address of the slot, for APIs that
    // hand a new handle out through a pointer.
    [[nodiscard]] Type* put() noexcept
    {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::invalid();
};

// Kernel objects. Both null and INVALID_HANDLE_VALUE count as empty, because
// CreateFileW and CreateNamedPipeW report failure with the latter and most
// other functions with the former. Never put a pseudo-handle in here.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};
using Handle = UniqueHandle<KernelHandleTraits>;

struct RegKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { ::RegCloseKey(h); }
};
using RegKey = UniqueHandle<RegKeyTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { ::FreeLibrary(h); }
};
using Module = UniqueHandle<ModuleTraits>;

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { ::LocalFree(h); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

struct FindFileTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindFileTraits>;

// Memory of the process heap (HeapAlloc on GetProcessHeap()).
struct HeapMemoryTraits {
    using Type = void*;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type memory) noexcept { return memory != nullptr; }
    static void close(Type memory) noexcept { ::HeapFree(::GetProcessHeap(), 0, memory); }
};
using HeapMemory = UniqueHandle<HeapMemoryTraits>;

// An icon that its owner destroys: one made by CreateIcon* or by LoadImageW
// without LR_SHARED. A shared icon belongs to the system and is never put in
// here.
struct IconTraits {
    using Type = HICON;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type h) noexcept { return h != nullptr; }
    static void close(Type h) noexcept { ::DestroyIcon(h); }
};
using OwnedIcon = UniqueHandle<IconTraits>;

// The two handles that CreateProcessW returns, owned together.
struct ProcessInformation {
    Handle process;
    Handle thread;
    DWORD processId = 0;
    DWORD threadId = 0;

    static ProcessInformation adopt(const PROCESS_INFORMATION& info) noexcept
    {
        ProcessInformation owned;
        owned.process.reset(info.hProcess);
        owned.thread.reset(info.hThread);
        owned.processId = info.dwProcessId;
        owned.threadId = info.dwThreadId;
        return owned;
    }
};

}  // namespace vantor::win
