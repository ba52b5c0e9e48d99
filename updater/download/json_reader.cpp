#include "updater/download/json_reader.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>

namespace vantor {

namespace {

constexpr std::size_t npos = std::wstring_view::npos;

// isJsonSpace, inline for the loops below: most characters that they test
// are ASCII, which the first two comparisons settle.
inline bool isSpace(wchar_t c) noexcept
{
    if (c <= 0x20) {
        return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    }
    if (c < 0xA0) {
        return false;
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

inline std::wstring_view trim(std::wstring_view text) noexcept
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

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

void setDouble(JsonValue& out, double value)
{
    out.kind = JsonKind::Double;
    out.f64 = value;
    out.i32 = truncateToInt32(value);
    out.f32 = toSingle(value);
}

void setBool(JsonValue& out, bool flag)
{
    out.kind = JsonKind::Bool;
    out.flag = flag;
}

// The first double quote or backslash at or after `from`, or the size of
// the text. Strings make up most of a document, and this is how they are
// passed over: where wchar_t has 16 bits (Windows), four characters at a
// time, since a word without either of the two is the common case.
std::size_t findQuoteOrBackslash(std::wstring_view text, std::size_t from) noexcept
{
    const std::size_t size = text.size();
    if constexpr (sizeof(wchar_t) == 2) {
        constexpr std::uint64_t kLow = 0x0001000100010001u;
        constexpr std::uint64_t kHigh = 0x8000800080008000u;
        constexpr std::uint64_t kQuotes = kLow * L'"';
        constexpr std::uint64_t kBackslashes = kLow * L'\\';
        for (; from + 4 <= size; from += 4) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + from, sizeof word);
            // A 16-bit lane is zero after the exclusive or exactly where it
            // held the character. (x - 1) & ~x sets the top bit of every zero
            // lane, and of no other lane below the first zero one, so a word
            // that holds either character always stops the loop, and the
            // character-wise loop below finds the first of them.
            const std::uint64_t quotes = word ^ kQuotes;
            const std::uint64_t backslashes = word ^ kBackslashes;
            if ((((quotes - kLow) & ~quotes) | ((backslashes - kLow) & ~backslashes)) & kHigh) {
                break;
            }
        }
    }
    while (from < size && text[from] != L'"' && text[from] != L'\\') {
        ++from;
    }
    return from;
}

// The first double quote at or after `from` that a backslash does not
// escape; a backslash escapes the character after it, so two in a row escape
// each other. `escapes` tells whether a backslash was passed on the way.
std::size_t findUnescapedQuote(std::wstring_view text, std::size_t from, bool& escapes)
{
    escapes = false;
    for (std::size_t i = findQuoteOrBackslash(text, from); i < text.size();
         i = findQuoteOrBackslash(text, i + 2)) {
        if (text[i] == L'"') {
            return i;
        }
        escapes = true;
    }
    return npos;
}

std::size_t findUnescapedQuote(std::wstring_view text, std::size_t from)
{
    bool escapes = false;
    return findUnescapedQuote(text, from, escapes);
}

std::size_t firstNonSpace(std::wstring_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isSpace(text[i])) {
            return i;
        }
    }
    return npos;
}

bool isBracketOrBrace(wchar_t c)
{
    return c == L'[' || c == L']' || c == L'{' || c == L'}';
}

// What the bracket scan stops at outside strings: quotes, backslashes,
// brackets and braces (all ASCII); every other character is passed over.
enum class ScanStop : unsigned char { None, Quote, Backslash, Open, Close };

struct ScanTable {
    ScanStop stops[128] = {};
    constexpr ScanTable()
    {
        stops[static_cast<unsigned char>('"')] = ScanStop::Quote;
        stops[static_cast<unsigned char>('\\')] = ScanStop::Backslash;
        stops[static_cast<unsigned char>('[')] = ScanStop::Open;
        stops[static_cast<unsigned char>('{')] = ScanStop::Open;
        stops[static_cast<unsigned char>(']')] = ScanStop::Close;
        stops[static_cast<unsigned char>('}')] = ScanStop::Close;
    }
};

constexpr ScanTable kScanTable;

inline ScanStop scanStop(wchar_t c) noexcept
{
    return static_cast<unsigned>(c) < 128 ? kScanTable.stops[static_cast<unsigned>(c)] : ScanStop::None;
}

// Where the scans of one reading found brackets and braces matched, by the
// position of the opening one. Only the few positions that hold a bracket
// have an entry (a table of every position would cost four bytes per
// character of the document).
//
// A scan that begins beyond the stretch of every earlier one enters each
// bracket as it opens, so its entries stand in the order of their positions;
// the reading asks for positions in document order, so a lookup walks on from
// where the last one stopped.
class MatchList {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // A new entry, without a match yet, for a position beyond every earlier
    // one; returns its index.
    std::size_t add(std::uint32_t position)
    {
        m_entries.push_back(Entry{position, kNone});
        return m_entries.size() - 1;
    }

    void setMatch(std::size_t entry, std::uint32_t match) noexcept { m_entries[entry].match = match; }

    // The match entered for `position`, or kNone.
    std::uint32_t find(std::uint32_t position) noexcept
    {
        if (m_next > 0 && m_entries[m_next - 1].position >= position) {
            const auto end = m_entries.begin() + static_cast<std::ptrdiff_t>(m_next);
            const auto found = std::lower_bound(m_entries.begin(), end, position,
                                                [](const Entry& entry, std::uint32_t at) { return entry.position < at; });
            return found != end && found->position == position ? found->match : kNone;
        }
        while (m_next < m_entries.size() && m_entries[m_next].position < position) {
            ++m_next;
        }
        return m_next < m_entries.size() && m_entries[m_next].position == position ? m_entries[m_next++].match
                                                                                     : kNone;
    }

    // The end of the stretch that the scans entered here have covered.
    std::size_t end() const noexcept { return m_end; }
    void setEnd(std::size_t end) noexcept { m_end = end; }

private:
    struct Entry {
        std::uint32_t position;
        std::uint32_t match;
    };

    std::vector<Entry> m_entries;
    std::size_t m_next = 0;  // the first entry that no lookup has walked past
    std::size_t m_end = 0;
};

// The matches of scans that begin inside an earlier scan's stretch (at a
// bracket that the earlier scan saw inside a string), whose positions come in
// no useful order: an open-addressing hash table.
class MatchTable {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // The match recorded for `position`, or kNone.
    std::uint32_t find(std::uint32_t position) const noexcept
    {
        if (m_slots.empty()) {
            return kNone;
        }
        for (std::size_t i = slotOf(position);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& slot = m_slots[i];
            if (slot.position == position) {
                return slot.match;
            }
            if (slot.position == kNone) {
                return kNone;
            }
        }
    }

    void record(std::uint32_t position, std::uint32_t match)
    {
        if ((m_count + 1) * 2 > m_slots.size()) {
            grow();
        }
        for (std::size_t i = slotOf(position);; i = (i + 1) & (m_slots.size() - 1)) {
            Slot& slot = m_slots[i];
            if (slot.position == kNone) {
                slot = Slot{position, match};
                ++m_count;
                return;
            }
            if (slot.position == position) {
                slot.match = match;
                return;
            }
        }
    }

private:
    struct Slot {
        std::uint32_t position = kNone;
        std::uint32_t match = kNone;
    };

    std::size_t slotOf(std::uint32_t position) const noexcept
    {
        // Fibonacci hashing: the top bits of the product spread positions
        // that lie close together.
        return static_cast<std::size_t>((position * 2654435769u) >> (32 - m_bits));
    }

    void grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_bits = old.empty() ? 6 : m_bits + 1;
        m_slots.assign(std::size_t{1} << m_bits, Slot{});
        m_count = 0;
        for (const Slot& slot : old) {
            if (slot.position != kNone) {
                record(slot.position, slot.match);
            }
        }
    }

    std::vector<Slot> m_slots;  // a power of two of them, at most half used
    std::size_t m_count = 0;
    unsigned m_bits = 0;
};

// One reading of one text. Every text it is handed is a view into that text,
// which lets it remember where the brackets and braces it has matched once
// end: the search for a matching bracket is a function of the bracket's
// position alone, and a search from an outer bracket passes every inner one
// in the same string state as a search of its own would, so each character is
// scanned about once however deep the nesting.
//
// Values are read into their place (a map node, the result): `out` is Null
// when a reading begins and keeps what was read, so no value is moved from a
// temporary into the place that holds it.
class Reader {
public:
    explicit Reader(std::wstring_view document) : m_document(document) {}

    void document(std::wstring_view text, int level, JsonValue& out)
    {
        text = trim(text);
        if (!text.empty() && text.front() == L'{' && text.back() == L'}') {
            out.kind = JsonKind::Object;
            object(text, level, out.members);
        } else if (!text.empty() && text.front() == L'[' && text.back() == L']') {
            out.kind = JsonKind::Array;
            array(text, level, out.elements);
        }
    }

    // `level` is the nesting level that an object or array read here has.
    // On a syntax error `out` stays Null.
    void value(std::wstring_view& text, bool& error, int level, JsonValue& out)
    {
        error = false;
        text = trim(text);
        if (text.empty()) {
            return;
        }
        const wchar_t first = text.front();
        if (first == L'[' || first == L'{') {
            const std::size_t match = level > kJsonMaxDepth ? npos : matchOf(text);
            if (match == npos) {
                error = true;
                return;
            }
            const std::wstring_view whole = text.substr(0, match + 1);
            text.remove_prefix(match + 1);
            if (first == L'{') {
                document(whole, level, out);
                return;
            }
            out.kind = JsonKind::Array;
            array(whole, level, out.elements);
            return;
        }
        if (first == L'"') {
            bool escapes = false;
            const std::size_t close = findUnescapedQuote(text, 1, escapes);
            if (close == npos) {
                error = true;
                return;
            }
            const std::wstring_view body = text.substr(1, close - 1);
            out.kind = JsonKind::String;
            if (escapes) {
                out.text = unescapeJson(body);
            } else {
                out.text.assign(body);
            }
            text.remove_prefix(close + 1);
            return;
        }
        bareToken(text, out);
    }

    // `members` is empty on entry, and again after a syntax error.
    void object(std::wstring_view text, int level, JsonMembers& members)
    {
        text = trim(text);
        if (text.size() < 2) {
            return;
        }
        std::wstring_view rest = text.substr(1, text.size() - 2);
        // White space alone after the last member ends the object, so that
        // an object laid out on several lines reads as its compact form.
        for (std::size_t start = firstNonSpace(rest); start != npos; start = firstNonSpace(rest)) {
            const std::size_t open = findUnescapedQuote(rest, start);
            const std::size_t close = open == npos ? npos : findUnescapedQuote(rest, open + 1);
            const std::size_t colon = close == npos ? npos : rest.find(L':', close);
            if (colon == npos || close == open + 1) {
                members.clear();
                return;
            }
            std::wstring key(rest.substr(open + 1, close - open - 1));
            rest.remove_prefix(colon + 1);
            // A later member with the same key replaces the earlier one.
            const auto placed = members.try_emplace(std::move(key));
            JsonValue& member = placed.first->second;
            if (!placed.second) {
                member = JsonValue();
            }
            bool error = false;
            value(rest, error, level + 1, member);
            if (error) {
                members.clear();
                return;
            }
        }
    }

    // `elements` is empty on entry, and again after a syntax error.
    void array(std::wstring_view text, int level, JsonElements& elements)
    {
        text = trim(text);
        if (text.size() < 2 || text.front() != L'[' || text.back() != L']') {
            return;
        }
        std::wstring_view rest = text.substr(1, text.size() - 2);
        // The next brace, bracket or comma: found once and reused until the
        // reading has passed it, since nothing before it can be one. The end
        // of the remaining text stands for "none"; that end may move closer
        // when a value's reading trims white space off it, which never holds
        // a stop.
        const wchar_t* stop = nullptr;
        // The elements gather on the reading's stack, above those of the
        // arrays around this one, and move into a list of their exact number
        // at the end: one allocation per array instead of one per doubling.
        const PendingElements pending(m_pendingElements);
        while (!rest.empty()) {
            const wchar_t* const end = rest.data() + rest.size();
            if (stop == nullptr || stop < rest.data()) {
                stop = rest.data();
                while (stop < end && *stop != L'{' && *stop != L'[' && *stop != L',' && *stop != L']') {
                    ++stop;
                }
            }
            const bool found = stop < end;
            bool error = false;
            JsonValue element;
            if (found && (*stop == L'{' || *stop == L'[')) {
                const std::size_t skipped = firstNonSpace(rest);
                const wchar_t* before = skipped == npos ? end : rest.data() + skipped;
                value(rest, error, level + 1, element);
                // A stray right brace ahead of the nested value ends a bare
                // token before its first character; reading on from there
                // would never advance, so the array counts as broken.
                if (!error && rest.data() == before) {
                    return;
                }
            } else {
                const std::size_t length = found ? static_cast<std::size_t>(stop - rest.data()) : rest.size();
                std::wstring_view piece = rest.substr(0, length);
                rest.remove_prefix(found ? length + 1 : length);
                value(piece, error, level + 1, element);
            }
            if (error) {
                return;
            }
            if (element.kind != JsonKind::Null) {
                m_pendingElements.push_back(std::move(element));
            }
        }
        pending.moveInto(elements);
    }

private:
    // The elements of one array while it is read: those on the reading's
    // stack from where it stood when the array began. Whichever way the
    // array's reading ends, they leave the stack.
    class PendingElements {
    public:
        explicit PendingElements(JsonElements& stack) noexcept : m_stack(stack), m_first(stack.size()) {}
        ~PendingElements() { m_stack.erase(m_stack.begin() + static_cast<std::ptrdiff_t>(m_first), m_stack.end()); }
        PendingElements(const PendingElements&) = delete;
        PendingElements& operator=(const PendingElements&) = delete;

        void moveInto(JsonElements& elements) const
        {
            const auto first = m_stack.begin() + static_cast<std::ptrdiff_t>(m_first);
            elements.assign(std::make_move_iterator(first), std::make_move_iterator(m_stack.end()));
        }

    private:
        JsonElements& m_stack;
        const std::size_t m_first;
    };

    // A bare token runs up to the first comma, right bracket or right brace;
    // the white space inside it is dropped.
    static void bareToken(std::wstring_view& text, JsonValue& out)
    {
        std::size_t end = 0;
        while (end < text.size() && text[end] != L',' && text[end] != L']' && text[end] != L'}') {
            ++end;
        }
        // The text was trimmed, so white space inside the token is all that
        // is left to drop; a token without any is taken as it stands.
        std::wstring_view token = trim(text.substr(0, end));
        std::size_t space = 0;
        while (space < token.size() && !isSpace(token[space])) {
            ++space;
        }
        std::wstring compacted;
        if (space < token.size()) {
            compacted.assign(token.substr(0, space));
            for (std::size_t i = space; i < token.size(); ++i) {
                if (!isSpace(token[i])) {
                    compacted += token[i];
                }
            }
            token = compacted;
        }
        bool dotOrE = false;
        for (const wchar_t c : token) {
            dotOrE = dotOrE || c == L'.' || c == L'e';
        }
        text.remove_prefix(end);
        if (equalsIgnoringAsciiCase(token, L"true")) {
            setBool(out, true);
        } else if (equalsIgnoringAsciiCase(token, L"false")) {
            setBool(out, false);
        } else if (dotOrE || !equalsIgnoringAsciiCase(token, L"null")) {
            setDouble(out, readDecimal(token));
        }
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
                                m_document.size() < MatchList::kNone;
        if (!inDocument) {
            Unrecorded unrecorded;
            return scan(text, unrecorded);
        }
        const std::size_t base = static_cast<std::size_t>(text.data() - m_document.data());
        const std::uint32_t position = static_cast<std::uint32_t>(base);
        std::uint32_t known = m_list.find(position);
        if (known == MatchList::kNone) {
            known = m_table.find(position);
        }
        if (known != MatchList::kNone) {
            return known < base + text.size() ? known - base : npos;
        }
        if (base >= m_list.end()) {
            ListRecorder recorder{m_list, base};
            const std::size_t match = scan(text, recorder);
            m_list.setEnd(base + (match == npos ? text.size() : match + 1));
            return match;
        }
        TableRecorder recorder{m_table, base};
        return scan(text, recorder);
    }

    // What a scan does with the brackets it passes outside strings: `open`
    // gives the token that stands for one on the scan's stack, `close` learns
    // its match.
    struct Unrecorded {
        std::size_t open(std::size_t at) { return at; }
        void close(std::size_t, std::size_t) {}
    };
    struct ListRecorder {
        MatchList& list;
        std::size_t base;
        std::size_t open(std::size_t at) { return list.add(static_cast<std::uint32_t>(base + at)); }
        void close(std::size_t entry, std::size_t at) { list.setMatch(entry, static_cast<std::uint32_t>(base + at)); }
    };
    struct TableRecorder {
        MatchTable& table;
        std::size_t base;
        std::size_t open(std::size_t at) { return at; }
        void close(std::size_t opened, std::size_t at)
        {
            table.record(static_cast<std::uint32_t>(base + opened), static_cast<std::uint32_t>(base + at));
        }
    };

    // Scans `text` for the match of its first character and tells `recorder`
    // of every bracket and brace that it passes outside strings. A match does
    // not depend on where the scan that saw it began: a scan passes a bracket
    // outside strings in the state a scan of its own would start in.
    template <typename Recorder>
    std::size_t scan(std::wstring_view text, Recorder& recorder)
    {
        const wchar_t open = text.front();
        const wchar_t close = open == L'[' ? L']' : L'}';
        std::vector<std::size_t>& openBrackets = m_openBrackets;
        std::vector<std::size_t>& openBraces = m_openBraces;
        openBrackets.clear();
        openBraces.clear();
        const std::size_t first = recorder.open(0);
        (open == L'[' ? openBrackets : openBraces).push_back(first);
        const std::size_t size = text.size();
        std::size_t i = 1;
        while (i < size) {
            const wchar_t c = text[i];
            switch (scanStop(c)) {
            case ScanStop::None:
                ++i;
                break;
            case ScanStop::Quote:
                // A string: on past the quote that closes it. Inside it only
                // a backslash matters, which escapes the character after it.
                i = findQuoteOrBackslash(text, i + 1);
                while (i < size && text[i] == L'\\') {
                    i = findQuoteOrBackslash(text, i + 2);
                }
                ++i;
                break;
            case ScanStop::Backslash:
                // The character after a backslash is escaped: a quote there
                // opens no string, and a backslash there escapes nothing. A
                // bracket or brace there still counts.
                i += i + 1 < size && isBracketOrBrace(text[i + 1]) ? 1 : 2;
                break;
            case ScanStop::Open:
                (c == L'[' ? openBrackets : openBraces).push_back(recorder.open(i));
                ++i;
                break;
            case ScanStop::Close: {
                std::vector<std::size_t>& stack = c == L']' ? openBrackets : openBraces;
                if (!stack.empty()) {
                    const std::size_t opened = stack.back();
                    stack.pop_back();
                    recorder.close(opened, i);
                    if (opened == first && c == close) {
                        return i;
                    }
                }
                ++i;
                break;
            }
            }
        }
        return npos;
    }

    std::wstring_view m_document;
    MatchList m_list;
    MatchTable m_table;
    JsonElements m_pendingElements;
    // The scan's stacks of open brackets and braces, kept for the next scan.
    std::vector<std::size_t> m_openBrackets;
    std::vector<std::size_t> m_openBraces;
};

}  // namespace

bool isJsonSpace(wchar_t c) noexcept
{
    return isSpace(c);
}

std::wstring_view trimJson(std::wstring_view text) noexcept
{
    return trim(text);
}

JsonValue parseJson(std::wstring_view text)
{
    Reader reader(text);
    JsonValue result;
    reader.document(text, 1, result);
    return result;
}

JsonValue parseJsonValue(std::wstring& text, bool& error)
{
    Reader reader(text);
    std::wstring_view rest(text);
    JsonValue result;
    reader.value(rest, error, 1, result);
    text = std::wstring(rest);
    return result;
}

JsonMembers parseJsonObject(std::wstring_view text)
{
    Reader reader(text);
    JsonMembers members;
    reader.object(text, 1, members);
    return members;
}

JsonElements parseJsonArray(std::wstring_view text)
{
    Reader reader(text);
    JsonElements elements;
    reader.array(text, 1, elements);
    return elements;
}

std::wstring unescapeJson(std::wstring_view body)
{
    const std::size_t firstEscape = body.find(L'\\');
    if (firstEscape == npos) {
        return std::wstring(body);
    }
    std::wstring result;
    result.reserve(body.size());
    result.append(body.substr(0, firstEscape));
    for (std::size_t i = firstEscape; i < body.size(); ++i) {
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
