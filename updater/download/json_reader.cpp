#include "updater/download/json_reader.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>

namespace vantor {

namespace {

constexpr std::size_t npos = std::wstring_view::npos;

bool equalsIgnoringAsciiCase(std::wstring_view text, std::wstring_view lowerWord)
{
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        if (c != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Where a number of the form [sign] digits [. digits] [(e|E) [sign] digits]
// ends at the front of `token`, and the decimal exponent of its leading digit
// (so that an out-of-range result can be told apart as overflow or
// underflow). Reading stops at the first character that does not fit; an
// exponent without digits is not part of the number.
struct NumberExtent {
    std::size_t length = 0;
    bool hasDigits = false;
    bool negative = false;
    long long magnitude = 0;
};

NumberExtent numberExtent(std::wstring_view token)
{
    NumberExtent extent;
    std::size_t i = 0;
    if (i < token.size() && (token[i] == L'+' || token[i] == L'-')) {
        extent.negative = token[i] == L'-';
        ++i;
    }
    long long integerDigits = 0;
    long long leadingFractionZeros = 0;
    bool nonZeroSeen = false;
    for (; i < token.size() && isDigit(token[i]); ++i) {
        extent.hasDigits = true;
        if (nonZeroSeen || token[i] != L'0') {
            nonZeroSeen = true;
            ++integerDigits;
        }
    }
    if (i < token.size() && token[i] == L'.') {
        ++i;
        for (; i < token.size() && isDigit(token[i]); ++i) {
            extent.hasDigits = true;
            if (!nonZeroSeen && token[i] == L'0') {
                ++leadingFractionZeros;
            } else {
                nonZeroSeen = true;
            }
        }
    }
    if (!extent.hasDigits) {
        return extent;
    }
    long long exponent = 0;
    if (i < token.size() && (token[i] == L'e' || token[i] == L'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < token.size() && (token[j] == L'+' || token[j] == L'-')) {
            negativeExponent = token[j] == L'-';
            ++j;
        }
        if (j < token.size() && isDigit(token[j])) {
            for (; j < token.size() && isDigit(token[j]); ++j) {
                if (exponent < 1000000) {  // far beyond any double; saturate
                    exponent = exponent * 10 + (token[j] - L'0');
                }
            }
            i = j;
            if (negativeExponent) {
                exponent = -exponent;
            }
        }
    }
    extent.length = i;
    extent.magnitude = (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
    return extent;
}

double readDecimal(std::wstring_view token)
{
    const NumberExtent extent = numberExtent(token);
    if (!extent.hasDigits) {
        return 0.0;
    }
    std::string ascii(extent.length, '\0');
    for (std::size_t i = 0; i < extent.length; ++i) {
        ascii[i] = static_cast<char>(token[i]);
    }
    // from_chars does not take a plus sign; it reads the same either way.
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    if (*first == '+') {
        ++first;
    }
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large becomes infinity and too small zero, as the C library's
        // conversion would give them.
        value = extent.magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (extent.negative) {
            value = -value;
        }
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return value;
}

std::int32_t truncateToInt32(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483648.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483649.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

float toSingle(double value)
{
    // Beyond the largest float a conversion rounds to it or overflows to
    // infinity, as IEEE rounding does; spelled out so that no conversion is
    // out of range.
    const double magnitude = std::fabs(value);
    if (std::isnan(value) || magnitude <= static_cast<double>(FLT_MAX)) {
        return static_cast<float>(value);
    }
    const double overflowAt = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
    const float single = magnitude < overflowAt ? FLT_MAX : std::numeric_limits<float>::infinity();
    return value < 0 ? -single : single;
}

JsonValue doubleValue(double value)
{
    JsonValue result;
    result.kind = JsonKind::Double;
    result.f64 = value;
    result.i32 = truncateToInt32(value);
    result.f32 = toSingle(value);
    return result;
}

JsonValue boolValue(bool flag)
{
    JsonValue result;
    result.kind = JsonKind::Bool;
    result.flag = flag;
    return result;
}

// The first double quote at or after `from` that a backslash does not
// escape; a backslash escapes the character after it, so two in a row escape
// each other.
std::size_t findUnescapedQuote(std::wstring_view text, std::size_t from)
{
    std::size_t i = from;
    while (i < text.size()) {
        if (text[i] == L'\\') {
            i += 2;
        } else if (text[i] == L'"') {
            return i;
        } else {
            ++i;
        }
    }
    return npos;
}

std::size_t firstNonSpace(std::wstring_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isJsonSpace(text[i])) {
            return i;
        }
    }
    return npos;
}

// One reading of one text. Every text it is handed is a view into that text,
// which lets it remember where the brackets and braces it has matched once
// end: the search for a matching bracket is a function of the bracket's
// position alone, and a search from an outer bracket passes every inner one
// in the same string state as a search of its own would, so each character is
// scanned about once however deep the nesting.
class Reader {
public:
    explicit Reader(std::wstring_view document) : m_document(document) {}

    JsonValue document(std::wstring_view text, int level)
    {
        text = trimJson(text);
        JsonValue result;
        if (!text.empty() && text.front() == L'{' && text.back() == L'}') {
            result.kind = JsonKind::Object;
            result.members = object(text, level);
        } else if (!text.empty() && text.front() == L'[' && text.back() == L']') {
            result.kind = JsonKind::Array;
            result.elements = array(text, level);
        }
        return result;
    }

    // `level` is the nesting level that an object or array read here has.
    JsonValue value(std::wstring_view& text, bool& error, int level)
    {
        error = false;
        text = trimJson(text);
        if (text.empty()) {
            return {};
        }
        const wchar_t first = text.front();
        if (first == L'[' || first == L'{') {
            const std::size_t match = level > kJsonMaxDepth ? npos : matchOf(text);
            if (match == npos) {
                error = true;
                return {};
            }
            const std::wstring_view whole = text.substr(0, match + 1);
            text.remove_prefix(match + 1);
            if (first == L'{') {
                return document(whole, level);
            }
            JsonValue result;
            result.kind = JsonKind::Array;
            result.elements = array(whole, level);
            return result;
        }
        if (first == L'"') {
            const std::size_t close = findUnescapedQuote(text, 1);
            if (close == npos) {
                error = true;
                return {};
            }
            JsonValue result;
            result.kind = JsonKind::String;
            result.text = unescapeJson(text.substr(1, close - 1));
            text.remove_prefix(close + 1);
            return result;
        }
        return bareToken(text);
    }

    JsonMembers object(std::wstring_view text, int level)
    {
        text = trimJson(text);
        if (text.size() < 2) {
            return {};
        }
        std::wstring_view rest = text.substr(1, text.size() - 2);
        JsonMembers members;
        // White space alone after the last member ends the object, so that
        // an object laid out on several lines reads as its compact form.
        for (std::size_t start = firstNonSpace(rest); start != npos; start = firstNonSpace(rest)) {
            const std::size_t open = findUnescapedQuote(rest, start);
            if (open == npos) {
                return {};
            }
            const std::size_t close = findUnescapedQuote(rest, open + 1);
            if (close == npos) {
                return {};
            }
            const std::size_t colon = rest.find(L':', close);
            if (colon == npos) {
                return {};
            }
            std::wstring key(rest.substr(open + 1, close - open - 1));
            if (key.empty()) {
                return {};
            }
            rest.remove_prefix(colon + 1);
            bool error = false;
            JsonValue member = value(rest, error, level + 1);
            if (error) {
                return {};
            }
            members.insert_or_assign(std::move(key), std::move(member));
        }
        return members;
    }

    JsonElements array(std::wstring_view text, int level)
    {
        text = trimJson(text);
        if (text.size() < 2 || text.front() != L'[' || text.back() != L']') {
            return {};
        }
        std::wstring_view rest = text.substr(1, text.size() - 2);
        // The next brace, bracket or comma: found once and reused until the
        // reading has passed it, since nothing before it can be one. The end
        // of the remaining text stands for "none"; that end may move closer
        // when a value's reading trims white space off it, which never holds
        // a stop.
        const wchar_t* stop = nullptr;
        JsonElements elements;
        while (!rest.empty()) {
            const wchar_t* const end = rest.data() + rest.size();
            if (stop == nullptr || stop < rest.data()) {
                const std::size_t at = rest.find_first_of(L"{[,]");
                stop = at == npos ? end : rest.data() + at;
            }
            const bool found = stop < end;
            bool error = false;
            JsonValue element;
            if (found && (*stop == L'{' || *stop == L'[')) {
                const std::size_t skipped = firstNonSpace(rest);
                const wchar_t* before = skipped == npos ? end : rest.data() + skipped;
                element = value(rest, error, level + 1);
                // A stray right brace ahead of the nested value ends a bare
                // token before its first character; reading on from there
                // would never advance, so the array counts as broken.
                if (!error && rest.data() == before) {
                    return {};
                }
            } else {
                const std::size_t length = found ? static_cast<std::size_t>(stop - rest.data()) : rest.size();
                std::wstring_view piece = rest.substr(0, length);
                rest.remove_prefix(found ? length + 1 : length);
                element = value(piece, error, level + 1);
            }
            if (error) {
                return {};
            }
            if (element.kind != JsonKind::Null) {
                elements.push_back(std::move(element));
            }
        }
        return elements;
    }

private:
    static JsonValue bareToken(std::wstring_view& text)
    {
        std::size_t end = text.find_first_of(L",]}");
        if (end == npos) {
            end = text.size();
        }
        std::wstring token;
        bool dotOrE = false;
        for (std::size_t i = 0; i < end; ++i) {
            const wchar_t c = text[i];
            if (isJsonSpace(c)) {
                continue;
            }
            dotOrE = dotOrE || c == L'.' || c == L'e';
            token += c;
        }
        text.remove_prefix(end);
        if (equalsIgnoringAsciiCase(token, L"true")) {
            return boolValue(true);
        }
        if (equalsIgnoringAsciiCase(token, L"false")) {
            return boolValue(false);
        }
        if (!dotOrE && equalsIgnoringAsciiCase(token, L"null")) {
            return {};
        }
        return doubleValue(readDecimal(token));
    }

    // Index in `text` of the bracket (or brace) that matches the one at its
    // front, or npos. From the second character on with a depth of 1: a left
    // one adds 1, a right one subtracts 1 and matches when it reaches 0, both
    // only outside strings; a double quote that a backslash does not escape
    // switches between inside and outside a string. A backslash escapes the
    // character after it, so two in a row escape each other, as they do
    // where strings are read: a string that ends in an escaped backslash
    // ("C:\\") closes at its quote here too, instead of running on and
    // emptying the object or array around it.
    std::size_t matchOf(std::wstring_view text)
    {
        const std::less<const wchar_t*> before;
        const bool inDocument = !before(text.data(), m_document.data()) &&
                                !before(m_document.data() + m_document.size(), text.data() + text.size()) &&
                                m_document.size() < kNoMatch;
        if (!inDocument) {
            return scan(text, 0, nullptr);
        }
        const std::size_t base = static_cast<std::size_t>(text.data() - m_document.data());
        if (m_matches.empty()) {
            m_matches.assign(m_document.size(), kNoMatch);
        }
        const std::uint32_t known = m_matches[base];
        if (known != kNoMatch) {
            return known < base + text.size() ? known - base : npos;
        }
        return scan(text, base, &m_matches);
    }

    // Scans `text` (at `base` in the document) for the match of its first
    // character; with `matches`, records the match of every bracket and
    // brace that the scan passes outside strings and sees closed.
    static std::size_t scan(std::wstring_view text, std::size_t base, std::vector<std::uint32_t>* matches)
    {
        const wchar_t open = text.front();
        const wchar_t close = open == L'[' ? L']' : L'}';
        std::vector<std::size_t> openBrackets;
        std::vector<std::size_t> openBraces;
        (open == L'[' ? openBrackets : openBraces).push_back(0);
        bool inString = false;
        bool escaped = false;
        for (std::size_t i = 1; i < text.size(); ++i) {
            const wchar_t c = text[i];
            const bool isEscaped = escaped;
            escaped = c == L'\\' && !isEscaped;
            if (c == L'"') {
                if (!isEscaped) {
                    inString = !inString;
                }
                continue;
            }
            if (inString) {
                continue;
            }
            if (c == L'[' || c == L'{') {
                (c == L'[' ? openBrackets : openBraces).push_back(i);
            } else if (c == L']' || c == L'}') {
                std::vector<std::size_t>& stack = c == L']' ? openBrackets : openBraces;
                if (stack.empty()) {
                    continue;
                }
                const std::size_t opened = stack.back();
                stack.pop_back();
                if (matches != nullptr) {
                    (*matches)[base + opened] = static_cast<std::uint32_t>(base + i);
                }
                if (opened == 0 && c == close) {
                    return i;
                }
            }
        }
        return npos;
    }

    static constexpr std::uint32_t kNoMatch = 0xFFFFFFFFu;

    std::wstring_view m_document;
    std::vector<std::uint32_t> m_matches;  // per position: where its bracket's match is, or kNoMatch
};

}  // namespace

bool isJsonSpace(wchar_t c) noexcept
{
    if (c <= 0x20) {
        return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    }
    switch (c) {
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

std::wstring_view trimJson(std::wstring_view text) noexcept
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isJsonSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isJsonSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

JsonValue parseJson(std::wstring_view text)
{
    Reader reader(text);
    return reader.document(text, 1);
}

JsonValue parseJsonValue(std::wstring& text, bool& error)
{
    Reader reader(text);
    std::wstring_view rest(text);
    JsonValue result = reader.value(rest, error, 1);
    text = std::wstring(rest);
    return result;
}

JsonMembers parseJsonObject(std::wstring_view text)
{
    Reader reader(text);
    return reader.object(text, 1);
}

JsonElements parseJsonArray(std::wstring_view text)
{
    Reader reader(text);
    return reader.array(text, 1);
}

std::wstring unescapeJson(std::wstring_view body)
{
    std::wstring result;
    result.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        wchar_t c = body[i];
        if (c == L'\\') {
            if (++i == body.size()) {
                break;
            }
            c = body[i];
            switch (c) {
            case L'b': c = L'\b'; break;
            case L'f': c = L'\f'; break;
            case L'n': c = L'\n'; break;
            case L'r': c = L'\r'; break;
            case L't': c = L'\t'; break;
            default: break;  // ", / and \ stand for themselves, as does any other character
            }
        }
        result += c;
    }
    return result;
}

void getStringMember(const JsonMembers& members, const std::wstring& key, std::wstring& out)
{
    const auto found = members.find(key);
    if (found != members.end() && found->second.kind == JsonKind::String && !found->second.text.empty()) {
        out = found->second.text;
    }
}

}  // namespace vantor
