// The ranking of Java runtimes and the probes' reading of what a runtime
// prints: the comparable version of a version text, the ranking order, the
// version text in a version query's output, its major version and the search
// of the probe jar's bytes for its class entry.
//
// The first byte chooses the input: pairs of bytes as UTF-16 units, or the
// bytes as pieces of version-like text. Properties: a comparable version is
// refused (RankingError) exactly for a text over 99 characters or with a
// field over 48, and otherwise consists of four fields of at least three
// characters, each followed by a dot, that are the text's first four fields
// (split at "." and "_", none empty, "0" for missing ones) left-filled with
// zeros; ranking is a strict order that agrees with comparing the texts, and
// the best of a list is its first greatest entry; the version text of an
// output is group 1 of the standard library's search for its pattern; the
// major version is what a text-to-integer conversion reads before the first
// dot, or an error.
#include "fuzz/fuzz_support.h"

#include "updater/jvm/comparable_version.h"
#include "updater/jvm/local_runtime_probe.h"

#include <climits>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> fieldsOf(const std::wstring& version)
{
    std::vector<std::wstring> fields;
    std::wstring field;
    for (const wchar_t c : version) {
        if (c == L'.' || c == L'_') {
            if (!field.empty()) {
                fields.push_back(field);
            }
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) {
        fields.push_back(field);
    }
    return fields;
}

void checkComparable(const std::wstring& version)
{
    const std::vector<std::wstring> fields = fieldsOf(version);
    bool supported = version.size() <= 99;
    for (const std::wstring& field : fields) {
        supported = supported && field.size() <= vantor::kLongestVersionField;
    }
    std::wstring comparable;
    try {
        comparable = vantor::comparableVersion(version);
    } catch (const vantor::RankingError&) {
        FUZZ_CHECK(!supported);
        return;
    }
    FUZZ_CHECK(supported);
    std::wstring expected;
    for (std::size_t i = 0; i < 4; ++i) {
        std::wstring field = i < fields.size() ? fields[i] : L"0";
        if (field.size() < 3) {
            field.insert(0, 3 - field.size(), L'0');
        }
        expected += field + L".";
    }
    FUZZ_CHECK(comparable == expected);
}

void checkRanking(const std::wstring& text)
{
    // The text's lines are the ranking texts of the candidates.
    std::vector<std::wstring> rankings;
    std::size_t start = 0;
    for (std::size_t end = text.find(L'\n'); rankings.size() < 16; end = text.find(L'\n', start)) {
        rankings.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
    for (const std::wstring& a : rankings) {
        FUZZ_CHECK(!vantor::ranksAbove(a, a));
        for (const std::wstring& b : rankings) {
            FUZZ_CHECK(vantor::ranksAbove(a, b) == (a > b));
        }
    }
    const std::size_t best = vantor::indexOfBest(rankings);
    FUZZ_CHECK(best < rankings.size());
    for (std::size_t i = 0; i < rankings.size(); ++i) {
        FUZZ_CHECK(i < best ? rankings[i] < rankings[best] : rankings[i] <= rankings[best]);
    }
    FUZZ_CHECK(vantor::indexOfBest({}) == std::wstring::npos);
}

void checkOutput(const std::wstring& output)
{
    const std::wstring version = vantor::versionTextOfOutput(output);
    if (output.size() <= 300) {
        static const std::wregex pattern(L"version \"([0-9.]+)");
        std::wsmatch match;
        FUZZ_CHECK(version == (std::regex_search(output, match, pattern) ? match[1].str() : std::wstring()));
    }

    const std::wstring major = output.substr(0, output.find(L'.'));
    std::string narrow;
    bool plain = true;
    for (const wchar_t c : major) {
        plain = plain && c > 0 && c < 0x80;
        narrow += static_cast<char>(c);
    }
    int value = 0;
    bool read = false;
    try {
        value = vantor::majorVersionOf(output);
        read = true;
    } catch (const vantor::RuntimeProbeError&) {
    }
    if (plain && narrow.size() < 64) {
        // The C library's conversion of the same characters.
        const char* begin = narrow.c_str();
        char* end = nullptr;
        errno = 0;
        const long expected = std::strtol(begin, &end, 10);
        const bool digits = end != begin;
        const bool fits = errno != ERANGE && expected >= INT_MIN && expected <= INT_MAX;
        FUZZ_CHECK(read == (digits && fits));
        if (read) {
            FUZZ_CHECK(value == expected);
        }
    }
}

const wchar_t* const kPieces[] = {L"0", L"1", L"8", L"11", L".", L".", L"_", L"1000", L"-", L" ",
                                  L"version \"", L"\"", L"a", L"\n", L"999", L"+"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::wstring text = (data[0] & 1) != 0 ? vantor::fuzz::unitsOf(data + 1, size - 1)
                                                 : vantor::fuzz::piecesOf(data + 1, size - 1, kPieces);
    checkComparable(text);
    checkRanking(text);
    checkOutput(text);

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(vantor::containsJavaArchEntry(bytes) == (bytes.find(vantor::kJavaArchEntry) != std::string::npos));
    return 0;
}
