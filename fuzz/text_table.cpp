// The text-table parser on language resources and properties files of any
// content. The first byte chooses the form: the resource form decodes the
// rest from UTF-8; the file form takes pairs of bytes as UTF-16 units, which
// covers every text a code-page conversion can give.
//
// Properties: the table holds exactly one entry per distinct key hash, the
// text of the first line that defined it, as a plain reading of the line
// format (below, written for the harness) gives it; parsing the same text
// into the table again changes nothing; a key that is not there looks up to
// itself.
#include "fuzz/fuzz_support.h"

#include "updater/ui/text_table.h"

#include <cwctype>
#include <map>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::wstring key;
    std::wstring value;
};

// Every KEY=VALUE entry of the text in order of appearance, duplicates
// included. A key counts every unit but white space, the byte order mark,
// "=" and "#"; a value every unit but LF and the white space other than the
// space character; each is the run of the text from its first counted unit
// as long as its count. "#" before "=" makes the rest of the line a comment,
// LF ends a value or a comment, and the text ends at its first zero unit.
std::vector<Entry> plainReading(std::wstring_view text)
{
    enum class In { Key, Value, Comment };
    In in = In::Key;
    std::size_t keyStart = 0;
    std::size_t keyCount = 0;
    std::size_t valueStart = 0;
    std::size_t valueCount = 0;
    std::vector<Entry> entries;
    const auto store = [&] {
        if (keyCount != 0 && valueCount != 0) {
            entries.push_back({std::wstring(text.substr(keyStart, keyCount)),
                               std::wstring(text.substr(valueStart, valueCount))});
            keyCount = 0;
            valueCount = 0;
        }
    };
    for (std::size_t i = 0; i < text.size() && text[i] != L'\0'; ++i) {
        const wchar_t unit = text[i];
        const bool space = std::iswspace(static_cast<std::wint_t>(unit)) != 0;
        if (in == In::Key) {
            if (unit == L'=') {
                in = In::Value;
                valueCount = 0;
            } else if (unit == L'#') {
                in = In::Comment;
            } else if (!space && unit != 0xFEFF) {
                keyStart = keyCount == 0 ? i : keyStart;
                ++keyCount;
            }
        } else if (unit == L'\n') {
            store();
            in = In::Key;
            keyCount = 0;
        } else if (in == In::Value && (unit == L' ' || !space)) {
            valueStart = valueCount == 0 ? i : valueStart;
            ++valueCount;
        }
    }
    store();
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool resourceForm = (data[0] & 1) == 0;
    const std::wstring text =
        resourceForm ? vantor::fuzz::decodeUtf8(data + 1, size - 1) : vantor::fuzz::unitsOf(data + 1, size - 1);
    const vantor::fuzz::ExactText exact(text);

    vantor::TextTable table(1049);
    table.parse(exact.view());

    std::map<std::uint32_t, std::wstring> firstDefinitions;
    for (const Entry& entry : plainReading(text)) {
        firstDefinitions.emplace(vantor::keyHash(entry.key), entry.value);
        const std::wstring& expected = firstDefinitions.at(vantor::keyHash(entry.key));
        FUZZ_CHECK(table.lookup(entry.key.c_str()) == expected);
    }
    FUZZ_CHECK(table.size() == firstDefinitions.size());

    table.parse(exact.view());
    FUZZ_CHECK(table.size() == firstDefinitions.size());

    // A key of no entry gives back the caller's own string.
    static const wchar_t kAbsent[] = L"\x1F\x1F no such key \x1F\x1F";
    if (firstDefinitions.count(vantor::keyHash(kAbsent)) == 0) {
        FUZZ_CHECK(table.lookup(kAbsent) == kAbsent);
    }

    // The file form starts afresh.
    table.clear();
    FUZZ_CHECK(table.size() == 0);
    return 0;
}
