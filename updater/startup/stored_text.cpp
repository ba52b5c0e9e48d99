#include "updater/startup/stored_text.h"

#include "common/win/lock.h"

#include <forward_list>
#include <string>

namespace vantor {

const wchar_t* joinStoredText(const wchar_t* head, const wchar_t* tail)
{
    // A forward_list never moves its elements, so the character pointers
    // handed out stay valid while the list lives, which is until exit.
    static win::CriticalSection lock;
    static std::forward_list<std::wstring> texts;

    std::wstring joined(head ? head : L"");
    joined += tail ? tail : L"";
    win::CriticalSectionLock guard(lock);
    texts.push_front(std::move(joined));
    return texts.front().c_str();
}

}  // namespace vantor
