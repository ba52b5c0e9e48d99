// COM owners: interface pointers, BSTR texts and the calling thread's
// apartment. Their users link ole32 and oleaut32.
//
// Interface pointers and BSTRs are owned by UniqueHandle like every other
// resource; the apartment is a scope, not a handle, and has a class of its
// own.
#pragma once

#include "common/win/unique_handle.h"

#include <objbase.h>
#include <oleauto.h>

namespace vantor::win {

// One counted reference to a COM interface, released when the owner lets go
// of it. Calls go through get(): `pointer.get()->Method()`.
template <typename Interface>
struct ComInterfaceTraits {
    using Type = Interface*;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type p) noexcept { return p != nullptr; }
    static void close(Type p) noexcept { p->Release(); }
};
template <typename Interface>
using ComPtr = UniqueHandle<ComInterfaceTraits<Interface>>;

// The slot of `pointer` as the void** that QueryInterface and
// CoCreateInstance fill; what was held is released first.
template <typename Interface>
[[nodiscard]] void** putVoid(ComPtr<Interface>& pointer) noexcept
{
    return reinterpret_cast<void**>(pointer.put());
}

// A BSTR from SysAllocString, freed with SysFreeString. Null (also what
// SysAllocString returns when out of memory) is empty.
struct ComStringTraits {
    using Type = BSTR;
    static Type invalid() noexcept { return nullptr; }
    static bool isValid(Type text) noexcept { return text != nullptr; }
    static void close(Type text) noexcept { ::SysFreeString(text); }
};
using ComString = UniqueHandle<ComStringTraits>;

// COM for the calling thread, in a single-threaded apartment, for as long as
// the object lives. When the thread has COM already (in whatever apartment),
// it is used as it is: only an initialisation that succeeded (S_OK, or
// S_FALSE for a thread already in a single-threaded apartment) is undone, so
// every CoInitializeEx is matched by exactly one CoUninitialize.
class ComApartment {
public:
    ComApartment() noexcept : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_result)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

}  // namespace vantor::win
