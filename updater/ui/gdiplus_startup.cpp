#include "updater/ui/gdiplus_startup.h"

#include "common/win/system_library.h"

namespace vantor {

namespace {

// The layout of GdiplusStartupInput, declared here so that no GDI+ header
// (and with it no import of gdiplus.dll) is needed.
struct StartupInput {
    UINT32 gdiplusVersion;
    void(WINAPI* debugEventCallback)(int level, char* message);
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};

// GdiplusStartup: 0 (Ok) on success; the output may be null when the
// background thread is not suppressed.
using GdiplusStartupFn = int WINAPI(ULONG_PTR* token, const StartupInput* input, void* output);

}  // namespace

ULONG_PTR startGdiplus()
{
    // Loaded once and kept: a started GDI+ must not be unloaded under its
    // own background thread.
    static const HMODULE library = win::loadSystemLibrary(L"gdiplus.dll");
    auto* startup = win::procAddress<GdiplusStartupFn>(library, "GdiplusStartup");
    if (startup == nullptr) {
        return 0;
    }
    const StartupInput input{1, nullptr, FALSE, FALSE};
    ULONG_PTR token = 0;
    return startup(&token, &input, nullptr) == 0 ? token : 0;
}

}  // namespace vantor
