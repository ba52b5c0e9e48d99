#include "updater/ui/window_context.h"

#include "updater/ui/text_table.h"

namespace vantor {

namespace {

HFONT createTahoma(int height, int weight, bool underline)
{
    return CreateFontW(height, 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH, L"Tahoma");
}

}  // namespace

FontSet createFontSet()
{
    FontSet set;
    set.fonts[0] = createTahoma(16, 100, false);
    set.fonts[1] = createTahoma(16, 700, false);
    set.fonts[2] = createTahoma(13, 100, false);
    set.fonts[3] = createTahoma(13, 100, true);
    return set;
}

const wchar_t* localText(const WindowContext& context, const wchar_t* key)
{
    return context.textTable != nullptr ? context.textTable->lookup(key) : key;
}

}  // namespace vantor
