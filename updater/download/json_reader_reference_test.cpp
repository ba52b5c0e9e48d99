// The reader against a literal reading of its rules: a reference that copies
// the remaining text for every value and rescans every nested value from its
// start, as simple as the rules are written, compared on random and mutated
// documents. It catches any difference that the linear reader's bookkeeping
// (views, remembered matches, the reused stop position) could introduce.
#include "updater/download/json_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vantor {
namespace {

namespace reference {

constexpr std::size_t npos = std::wstring::npos;

std::wstring trim(const std::wstring& text)
{
    return std::wstring(trimJson(text));
}

std::size_t unescapedQuote(const std::wstring& text, std::size_t from)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == L'\\') {
            ++i;
        } else if (text[i] == L'"') {
            return i;
        }
    }
    return npos;
}

std::size_t match(const std::wstring& text)
{
    const wchar_t open = text[0];
    const wchar_t close = open == L'[' ? L']' : L'}';
    int depth = 1;
    bool inString = false;
    std::size_t backslashes = 0;  // the run of backslashes just before i
    for (std::size_t i = 1; i < text.size(); ++i) {
        const bool escaped = backslashes % 2 == 1;
        backslashes = text[i] == L'\\' ? backslashes + 1 : 0;
        if (text[i] == L'"') {
            if (!escaped) {
                inString = !inString;
            }
        } else if (!inString && text[i] == open) {
            ++depth;
        } else if (!inString && text[i] == close && --depth == 0) {
            return i;
        }
    }
    return npos;
}

JsonMembers object(std::wstring text, int level);
JsonElements array(std::wstring text, int level);

JsonValue document(std::wstring text, int level)
{
    text = trim(text);
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

JsonValue value(std::wstring& text, bool& error, int level)
{
    error = false;
    text = trim(text);
    if (text.empty()) {
        return {};
    }
    if (text[0] == L'[' || text[0] == L'{') {
        const std::size_t m = level > kJsonMaxDepth ? npos : match(text);
        if (m == npos) {
            error = true;
            return {};
        }
        const std::wstring whole = text.substr(0, m + 1);
        text = text.substr(m + 1);
        if (whole[0] == L'{') {
            return document(whole, level);
        }
        JsonValue result;
        result.kind = JsonKind::Array;
        result.elements = array(whole, level);
        return result;
    }
    if (text[0] == L'"') {
        const std::size_t close = unescapedQuote(text, 1);
        if (close == npos) {
            error = true;
            return {};
        }
        JsonValue result;
        result.kind = JsonKind::String;
        result.text = unescapeJson(text.substr(1, close - 1));
        text = text.substr(close + 1);
        return result;
    }
    std::size_t end = text.find_first_of(L",]}");
    if (end == npos) {
        end = text.size();
    }
    std::wstring token;
    for (std::size_t i = 0; i < end; ++i) {
        if (!isJsonSpace(text[i])) {
            token += text[i];
        }
    }
    text = text.substr(end);
    // The token's own reading (literals and numbers) is table-tested; here
    // a non-empty token only has to be read alone. An empty one is a number
    // without digits: 0.
    if (token.empty()) {
        JsonValue zero;
        zero.kind = JsonKind::Double;
        return zero;
    }
    bool ignored = false;
    return parseJsonValue(token, ignored);
}

JsonMembers object(std::wstring text, int level)
{
    text = trim(text);
    if (text.size() < 2) {
        return {};
    }
    std::wstring rest = text.substr(1, text.size() - 2);
    JsonMembers members;
    while (!trim(rest).empty()) {
        const std::size_t open = unescapedQuote(rest, 0);
        const std::size_t close = open == npos ? npos : unescapedQuote(rest, open + 1);
        const std::size_t colon = close == npos ? npos : rest.find(L':', close);
        if (colon == npos) {
            return {};
        }
        const std::wstring key = rest.substr(open + 1, close - open - 1);
        if (key.empty()) {
            return {};
        }
        rest = rest.substr(colon + 1);
        bool error = false;
        JsonValue member = value(rest, error, level + 1);
        if (error) {
            return {};
        }
        members[key] = member;
    }
    return members;
}

JsonElements array(std::wstring text, int level)
{
    text = trim(text);
    if (text.size() < 2 || text.front() != L'[' || text.back() != L']') {
        return {};
    }
    std::wstring rest = text.substr(1, text.size() - 2);
    JsonElements elements;
    while (!rest.empty()) {
        const std::size_t stop = rest.find_first_of(L"{[,]");
        bool error = false;
        JsonValue element;
        if (stop != npos && (rest[stop] == L'{' || rest[stop] == L'[')) {
            const std::wstring before = trim(rest);
            element = value(rest, error, level + 1);
            if (!error && rest == before) {
                return {};
            }
        } else {
            std::wstring piece = stop == npos ? rest : rest.substr(0, stop);
            rest = stop == npos ? std::wstring() : rest.substr(stop + 1);
            element = value(piece, error, level + 1);
        }
        if (error) {
            return {};
        }
        if (element.kind != JsonKind::Null) {
            elements.push_back(element);
        }
    }
    return elements;
}

}  // namespace reference

::testing::AssertionResult same(const JsonValue& expected, const JsonValue& actual)
{
    if (expected.kind != actual.kind || expected.flag != actual.flag || expected.text != actual.text ||
        expected.f64 != actual.f64 || expected.i32 != actual.i32 || expected.f32 != actual.f32 ||
        expected.members.size() != actual.members.size() || expected.elements.size() != actual.elements.size()) {
        return ::testing::AssertionFailure() << "values differ (kinds " << static_cast<int>(expected.kind) << " and "
                                             << static_cast<int>(actual.kind) << ")";
    }
    auto e = expected.members.begin();
    for (auto a = actual.members.begin(); a != actual.members.end(); ++a, ++e) {
        if (e->first != a->first) {
            return ::testing::AssertionFailure() << "member keys differ";
        }
        ::testing::AssertionResult inner = same(e->second, a->second);
        if (!inner) {
            return inner;
        }
    }
    for (std::size_t i = 0; i < expected.elements.size(); ++i) {
        ::testing::AssertionResult inner = same(expected.elements[i], actual.elements[i]);
        if (!inner) {
            return inner;
        }
    }
    return ::testing::AssertionSuccess();
}

void compareAll(const std::wstring& text)
{
    SCOPED_TRACE(::testing::PrintToString(text));
    EXPECT_TRUE(same(reference::document(text, 1), parseJson(text)));
    JsonValue expectedArray;
    expectedArray.elements = reference::array(text, 1);
    JsonValue actualArray;
    actualArray.elements = parseJsonArray(text);
    EXPECT_TRUE(same(expectedArray, actualArray));
    JsonValue expectedObject;
    expectedObject.members = reference::object(text, 1);
    JsonValue actualObject;
    actualObject.members = parseJsonObject(text);
    EXPECT_TRUE(same(expectedObject, actualObject));
    std::wstring expectedRest = text;
    bool expectedError = false;
    const JsonValue expectedValue = reference::value(expectedRest, expectedError, 1);
    std::wstring actualRest = text;
    bool actualError = false;
    const JsonValue actualValue = parseJsonValue(actualRest, actualError);
    EXPECT_TRUE(same(expectedValue, actualValue));
    EXPECT_EQ(expectedRest, actualRest);
    EXPECT_EQ(expectedError, actualError);
}

std::wstring randomText(std::mt19937& random, std::size_t maxLength)
{
    static const std::wstring alphabet = L"{}[]{}[]\"\"\"\\,,::  \ta1.eE-tTrRuUnNlLfFsx";
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::wstring text(length(random), L' ');
    for (wchar_t& c : text) {
        c = alphabet[pick(random)];
    }
    return text;
}

// A random well-formed value, to be mutated.
std::wstring randomJson(std::mt19937& random, int depth)
{
    std::uniform_int_distribution<int> kind(0, depth > 4 ? 3 : 5);
    switch (kind(random)) {
    case 0: return L"\"s" + std::to_wstring(random() % 100) + L"\"";
    case 1: return std::to_wstring(static_cast<int>(random() % 2000) - 1000) + L".5";
    case 2: return random() % 2 ? L"true" : L"null";
    case 3: return L"\"a\\\"b\\\\\"";
    case 4: {
        std::wstring text = L"[";
        const int n = static_cast<int>(random() % 4);
        for (int i = 0; i < n; ++i) {
            text += (i ? L", " : L"") + randomJson(random, depth + 1);
        }
        return text + L"]";
    }
    default: {
        std::wstring text = L"{";
        const int n = static_cast<int>(random() % 4);
        for (int i = 0; i < n; ++i) {
            text += (i ? L",\n " : L" ") + std::wstring(L"\"k") + std::to_wstring(random() % 5) + L"\": " +
                    randomJson(random, depth + 1);
        }
        return text + L" }";
    }
    }
}

std::wstring mutate(std::mt19937& random, std::wstring text)
{
    static const std::wstring inserts = L"{}[]\",:\\ ";
    const int edits = static_cast<int>(random() % 3);
    for (int i = 0; i < edits && !text.empty(); ++i) {
        const std::size_t at = random() % text.size();
        switch (random() % 3) {
        case 0: text.erase(at, 1); break;
        case 1: text.insert(at, 1, inserts[random() % inserts.size()]); break;
        default: text[at] = inserts[random() % inserts.size()]; break;
        }
    }
    return text;
}

TEST(JsonReaderAgainstReference, RandomTexts)
{
    std::mt19937 random(20240607);
    for (int i = 0; i < 20000; ++i) {
        compareAll(randomText(random, 24));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

TEST(JsonReaderAgainstReference, MutatedDocuments)
{
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        compareAll(mutate(random, randomJson(random, 0)));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

}  // namespace
}  // namespace vantor
