// The owners of common/win/ against real Windows objects: moving, resetting,
// the output slot and the validity rule of UniqueHandle, the aliases' own
// closers, the COM apartment and the lock.
#include "common/win/com.h"
#include "common/win/lock.h"
#include "common/win/socket.h"
#include "common/win/unique_handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace vantor::win {
namespace {

HANDLE newEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

bool isOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

// A closer that fails and sets the last error, as CloseHandle does on a
// handle that is no longer open; counts its calls.
struct FailingCloseTraits {
    using Type = int;
    static inline int closes = 0;
    static Type invalid() noexcept { return 0; }
    static bool isValid(Type value) noexcept { return value != 0; }
    static void close(Type) noexcept
    {
        ++closes;
        SetLastError(ERROR_INVALID_HANDLE);
    }
};

TEST(UniqueHandle, MoveHandsOwnershipOverAndClosesWhatTheTargetHeld)
{
    const HANDLE first = newEvent();
    const HANDLE second = newEvent();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);

    Handle source(first);
    Handle constructed(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(nullptr, source.get());
    EXPECT_EQ(first, constructed.get());
    EXPECT_TRUE(isOpen(first));

    Handle assigned(second);
    assigned = std::move(constructed);
    EXPECT_FALSE(constructed);
    EXPECT_EQ(first, assigned.get());
    EXPECT_TRUE(isOpen(first));
    EXPECT_FALSE(isOpen(second));

    assigned.reset();
    EXPECT_FALSE(isOpen(first));
}

TEST(UniqueHandle, ReleaseGivesUpOwnershipWithoutClosing)
{
    const HANDLE event = newEvent();
    Handle owner(event);
    EXPECT_EQ(event, owner.release());
    EXPECT_FALSE(owner);
    owner.reset();
    EXPECT_TRUE(isOpen(event));
    CloseHandle(event);
}

TEST(UniqueHandle, ResetKeepsTheLastError)
{
    const HANDLE event = newEvent();
    Handle owner(event);
    SetLastError(ERROR_FILE_NOT_FOUND);
    owner.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(isOpen(event));

    {
        Handle scoped(newEvent());
        SetLastError(ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    // Even a closer that fails and sets an error of its own leaves the
    // caller's value.
    FailingCloseTraits::closes = 0;
    UniqueHandle<FailingCloseTraits> failing(7);
    SetLastError(ERROR_SHARING_VIOLATION);
    failing.reset(8);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    failing.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_EQ(2, FailingCloseTraits::closes);
    failing.reset();
    EXPECT_EQ(2, FailingCloseTraits::closes);
}

TEST(UniqueHandle, PutClosesWhatWasHeldAndHandsOutTheSlot)
{
    const HANDLE held = newEvent();
    const HANDLE original = newEvent();
    Handle owner(held);
    HANDLE* slot = owner.put();
    EXPECT_FALSE(isOpen(held));
    EXPECT_EQ(nullptr, *slot);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), slot, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(owner);
    EXPECT_NE(original, owner.get());
    EXPECT_TRUE(isOpen(owner.get()));
    CloseHandle(original);

    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()));
    EXPECT_TRUE(key);
    DWORD subKeys = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST(UniqueHandle, EmptyIsWhatTheTraitsSay)
{
    // Kernel objects: CreateFileW fails with INVALID_HANDLE_VALUE, most
    // others with null; both are empty.
    EXPECT_FALSE(Handle());
    EXPECT_FALSE(Handle(nullptr));
    EXPECT_FALSE(Handle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(Handle(INVALID_HANDLE_VALUE).valid());
    Handle failed(CreateFileW(L"C:\\vantor-no-such-folder\\no-such-file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, failed.get());
    EXPECT_FALSE(failed);

    EXPECT_EQ(INVALID_HANDLE_VALUE, FindHandle().get());
    EXPECT_FALSE(FindHandle(nullptr));
    EXPECT_FALSE(RegKey());
    EXPECT_FALSE(Module());
    EXPECT_FALSE(LocalMemory());
    EXPECT_FALSE(HeapMemory());
    EXPECT_FALSE(OwnedIcon());
    EXPECT_EQ(INVALID_SOCKET, Socket().get());
    EXPECT_FALSE(Socket(INVALID_SOCKET));
    EXPECT_FALSE(ComString(SysAllocString(nullptr)));
    EXPECT_FALSE(ComPtr<IUnknown>());

    // What an empty owner gives up is its traits' empty value.
    FindHandle find;
    EXPECT_EQ(INVALID_HANDLE_VALUE, find.release());
}

TEST(UniqueHandle, EachAliasFreesWithItsOwnCloser)
{
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    const SOCKET rawSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, rawSocket);
    Socket ownedSocket(rawSocket);
    int type = 0;
    int typeSize = sizeof type;
    EXPECT_EQ(0, getsockopt(rawSocket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &typeSize));
    ownedSocket.reset();
    EXPECT_EQ(SOCKET_ERROR, getsockopt(rawSocket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &typeSize));
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
    WSACleanup();

    // Not LR_SHARED, so the icon is the caller's to destroy.
    const HICON rawIcon = static_cast<HICON>(LoadImageW(nullptr, IDI_HAND, IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(nullptr, rawIcon);
    OwnedIcon icon(rawIcon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(rawIcon, &info));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    icon.reset();
    EXPECT_FALSE(GetIconInfo(rawIcon, &info));

    HeapMemory memory(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 64));
    ASSERT_TRUE(memory);
    EXPECT_EQ(64u, HeapSize(GetProcessHeap(), 0, memory.get()));
    memory.reset();

    ComString text(SysAllocString(L"firewall"));
    ASSERT_TRUE(text);
    EXPECT_EQ(8u, SysStringLen(text.get()));
    ComString moved(std::move(text));
    EXPECT_FALSE(text);
    EXPECT_STREQ(L"firewall", moved.get());
}

// An object that only counts its references.
class CountedObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid != IID_IUnknown) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    ULONG references() const { return m_references; }

private:
    ULONG m_references = 1;
};

TEST(ComPtr, ReleasesTheOneReferenceItHolds)
{
    CountedObject object;
    {
        ComPtr<IUnknown> first;
        ASSERT_EQ(S_OK, object.QueryInterface(IID_IUnknown, putVoid(first)));
        EXPECT_EQ(2u, object.references());
        ComPtr<IUnknown> second(std::move(first));
        EXPECT_EQ(2u, object.references());
        EXPECT_EQ(&object, second.get());
        EXPECT_EQ(3u, second.get()->AddRef());
        second.get()->Release();
    }
    EXPECT_EQ(1u, object.references());
}

// Runs `body` on a thread of its own, which starts without COM.
template <typename Body>
void onNewThread(Body body)
{
    std::thread thread(body);
    thread.join();
}

TEST(ComApartment, UndoesExactlyWhatItDid)
{
    std::vector<HRESULT> results;

    // A thread without COM: the apartment initialises it and undoes that.
    onNewThread([&] {
        {
            const ComApartment apartment;
            results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
            CoUninitialize();
        }
        results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
    });
    EXPECT_EQ((std::vector<HRESULT>{S_FALSE, S_OK}), results);

    // A thread in a single-threaded apartment already: the apartment's own
    // initialisation (S_FALSE) is counted and undone, the thread's stays.
    results.clear();
    onNewThread([&] {
        results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        { const ComApartment apartment; }
        CoUninitialize();
        results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
    });
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK}), results);

    // A thread in the multithreaded apartment: the apartment's initialisation
    // fails and it must not undo the thread's.
    results.clear();
    onNewThread([&] {
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        { const ComApartment apartment; }
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        CoUninitialize();
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
    });
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_FALSE, S_OK}), results);
}

TEST(CriticalSection, KeepsOtherThreadsOutWhileHeld)
{
    CriticalSection section;

    // A second thread waits while the first holds the section.
    std::atomic<bool> entered{false};
    std::thread waiter;
    {
        CriticalSectionLock lock(section);
        waiter = std::thread([&] {
            CriticalSectionLock inner(section);
            entered = true;
        });
        Sleep(200);
        EXPECT_FALSE(entered);
    }
    waiter.join();
    EXPECT_TRUE(entered);

    // Two threads counting under the lock lose no step.
    constexpr int kSteps = 200000;
    long counter = 0;
    const auto count = [&] {
        for (int i = 0; i < kSteps; ++i) {
            CriticalSectionLock lock(section);
            const long seen = counter;
            counter = seen + 1;
        }
    };
    std::thread first(count);
    std::thread second(count);
    first.join();
    second.join();
    EXPECT_EQ(2L * kSteps, counter);
}

}  // namespace
}  // namespace vantor::win
