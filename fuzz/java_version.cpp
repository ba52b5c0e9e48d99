// parseVersion on any text: a runtime's answer to the version query or the
// descriptor's "minVersion". The first byte chooses the input: pairs of bytes
// as UTF-16 units, or the bytes as pieces of version-like text (digits, dots,
// underscores, letters, quotes).
//
// Properties: the parse either raises VersionParseError or gives numbers that
// print back consistently: the text is kept, it holds the printed major
// number followed by a dot, and "<major>.<minor / 100>.<minor % 100>" parses
// to the same numbers. For short texts
// the result equals group 1 to 3 of the standard library's search for the
// pattern, read without a size limit; a number that does not fit must have
// raised the error.
#include "fuzz/fuzz_support.h"

#include "updater/jvm/java_version.h"

#include <regex>
#include <string>

namespace {

// A run of decimal digits without its leading zeros ("0" for all zeros).
std::wstring significant(std::wstring digits)
{
    const std::size_t first = digits.find_first_not_of(L'0');
    return first == std::wstring::npos ? L"0" : digits.substr(first);
}

// True when the decimal digits name a number no larger than `limit`.
bool fitsIn(const std::wstring& digits, unsigned long long limit)
{
    const std::wstring number = significant(digits);
    const std::wstring bound = std::to_wstring(limit);
    return number.size() < bound.size() || (number.size() == bound.size() && number <= bound);
}

void checkAgainstPattern(const std::wstring& text, const vantor::JavaVersion* version)
{
    static const std::wregex pattern(L"([0-9]+)\\.([0-9]+)\\.([0-9]+)");
    std::wsmatch match;
    if (!std::regex_search(text, match, pattern)) {
        FUZZ_CHECK(version == nullptr);
        return;
    }
    const std::wstring first = match[1].str();
    const std::wstring second = match[2].str();
    const std::wstring third = match[3].str();
    const bool numbersFit = fitsIn(first, 0x7FFFFFFF) && fitsIn(second, 0x7FFFFFFF / 100) && fitsIn(third, 0x7FFFFFFF) &&
                            std::stoll(significant(second)) * 100 + std::stoll(significant(third)) <= 0x7FFFFFFF;
    if (!numbersFit) {
        FUZZ_CHECK(version == nullptr);
        return;
    }
    FUZZ_CHECK(version != nullptr);
    FUZZ_CHECK(version->major == std::stoll(significant(first)));
    FUZZ_CHECK(version->minor == std::stoll(significant(second)) * 100 + std::stoll(significant(third)));
}

const wchar_t* const kPieces[] = {L"0", L"1", L"8", L"9", L".", L".", L"_", L"-", L"\"", L" ",
                                  L"version", L"a", L"00", L"2147483647", L"21474836", L"99"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::wstring text = (data[0] & 1) != 0 ? vantor::fuzz::unitsOf(data + 1, size - 1)
                                                 : vantor::fuzz::piecesOf(data + 1, size - 1, kPieces);

    vantor::JavaVersion version;
    bool parsed = false;
    try {
        version = vantor::parseVersion(text);
        parsed = true;
    } catch (const vantor::VersionParseError&) {
    }
    if (parsed) {
        FUZZ_CHECK(version.text == text);
        FUZZ_CHECK(version.major >= 0 && version.minor >= 0);
        // Printed back as major.(minor / 100).(minor % 100), the numbers
        // parse to themselves.
        const std::wstring printed = std::to_wstring(version.major) + L"." + std::to_wstring(version.minor / 100) +
                                     L"." + std::to_wstring(version.minor % 100);
        const vantor::JavaVersion again = vantor::parseVersion(printed);
        FUZZ_CHECK(again.major == version.major && again.minor == version.minor);
        FUZZ_CHECK(text.find(std::to_wstring(version.major) + L".") != std::wstring::npos);
    }
    if (text.size() <= 200) {
        checkAgainstPattern(text, parsed ? &version : nullptr);
    }
    return 0;
}
