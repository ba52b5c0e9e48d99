// The one lock of the product code: a critical section and its scoped guard.
//
//   win::CriticalSection m_lock;
//   ...
//   win::CriticalSectionLock lock(m_lock);
//
// A critical section may be entered again by the thread that holds it. It
// must not be destroyed while a thread holds it or waits for it.
#pragma once

#include <windows.h>

namespace vantor::win {

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&m_section); }
    ~CriticalSection() { ::DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Blocks until the calling thread holds the section.
    void enter() noexcept { ::EnterCriticalSection(&m_section); }
    // Leaves one entry of the calling thread, which must hold the section.
    void leave() noexcept { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// Holds `section` from its construction to the end of its scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) noexcept : m_section(section) { m_section.enter(); }
    ~CriticalSectionLock() { m_section.leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_section;
};

}  // namespace vantor::win
