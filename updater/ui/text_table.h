// Key-value texts: the localised texts of the installer window and the
// plug-in's properties file. Pure: no Windows calls (text_table_loader.h
// reads them from resources and files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vantor {

// h = 31 * h + unit over the UTF-16 units of the key, wrapping at 32 bits;
// the same value as the hash code of a Java string with those units.
std::uint32_t keyHash(std::wstring_view key) noexcept;

// A map from key hash to text. Only the hashes of the keys are kept, so two
// keys with equal hashes are one entry, and the first definition wins.
class TextTable {
public:
    TextTable() = default;
    explicit TextTable(int languageId) : m_languageId(languageId) {}

    // Parses KEY=VALUE lines from `text`, up to its first zero unit or its
    // end, adding entries whose hash is not yet present. The format:
    //  - white space (and the byte order mark U+FEFF) in a key is skipped;
    //    "#" anywhere before the "=" makes the rest of the line a comment;
    //  - in a value only the space character of all white space is kept, so
    //    leading spaces stay and a trailing CR goes; "#" and "=" are text;
    //  - a key and a value are each taken as the contiguous run of units
    //    from their first counted unit, as long as the count of counted
    //    units, so skipped units inside them are part of the text;
    //  - a line without "=" does not end the key: its units are counted into
    //    the key of the next line; empty lines are ignored.
    void parse(std::wstring_view text);

    // Removes every entry.
    void clear() { m_texts.clear(); }

    // The text stored under keyHash(key), or `key` itself when there is none.
    const wchar_t* lookup(const wchar_t* key) const;

    std::size_t size() const { return m_texts.size(); }
    int languageId() const { return m_languageId; }

private:
    // Ordered by the hash taken as a signed number; the order is not visible.
    std::map<std::int32_t, std::wstring> m_texts;
    int m_languageId = 0;
};

// Identifiers of the language resources and the choice among them by the
// user's default language id: Russian 1049 -> 103, Ukrainian 1058 -> 105,
// every other language -> 104 (English).
constexpr int kRussianTextsId = 103;
constexpr int kEnglishTextsId = 104;
constexpr int kUkrainianTextsId = 105;

constexpr int textResourceIdForLanguage(int languageId) noexcept
{
    return languageId == 1049 ? kRussianTextsId : languageId == 1058 ? kUkrainianTextsId : kEnglishTextsId;
}

}  // namespace vantor
