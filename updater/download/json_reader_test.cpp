#include "updater/download/json_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

namespace vantor {
namespace {

// A compact rendering of a value for the tables below: null, true, false,
// numbers as %g, strings in double quotes as they are held, {key:value,...}
// and [value,...].
std::wstring render(const JsonValue& value)
{
    switch (value.kind) {
    case JsonKind::Null: return L"null";
    case JsonKind::Bool: return value.flag ? L"true" : L"false";
    case JsonKind::Double: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", value.f64);
        return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
    }
    case JsonKind::String: return L"\"" + value.text + L"\"";
    case JsonKind::Object: {
        std::wstring text = L"{";
        for (const auto& [key, member] : value.members) {
            text += (text.size() > 1 ? L"," : L"") + key + L":" + render(member);
        }
        return text + L"}";
    }
    case JsonKind::Array: {
        std::wstring text = L"[";
        for (const JsonValue& element : value.elements) {
            text += (text.size() > 1 ? L"," : L"") + render(element);
        }
        return text + L"]";
    }
    default: return L"?";
    }
}

struct DocumentCase {
    const wchar_t* name;
    const wchar_t* document;
    const wchar_t* expected;
};

void PrintTo(const DocumentCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(std::wstring(c.name));
}

class ParseJsonDocument : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ParseJsonDocument, GivesTheDocumentedResult)
{
    const DocumentCase& c = GetParam();
    EXPECT_EQ(std::wstring(c.expected), render(parseJson(c.document))) << "document: " << ::testing::PrintToString(std::wstring(c.document));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseJsonDocument,
    ::testing::Values(
        // Only a braced or bracketed text is a document.
        DocumentCase{L"empty", L"", L"null"}, DocumentCase{L"blank", L" \t\r\n", L"null"},
        DocumentCase{L"bare string", L"\"text\"", L"null"}, DocumentCase{L"bare number", L"42", L"null"},
        DocumentCase{L"error page", L"<html><body>Not Found</body></html>", L"null"},
        DocumentCase{L"unterminated object", L"{\"a\":1", L"null"},
        DocumentCase{L"unterminated array", L"[1,2", L"null"},
        DocumentCase{L"empty object", L"{}", L"{}"}, DocumentCase{L"empty array", L"  [ ]  ", L"[]"},
        DocumentCase{L"compact", L"{\"packedJreEbzUrl\":\"http://h/p.ebz\",\"minVersion\":\"1.8.0\"}",
                     L"{minVersion:\"1.8.0\",packedJreEbzUrl:\"http://h/p.ebz\"}"},
        DocumentCase{L"indented lines",
                     L"{\r\n  \"packedJreEbzUrl\" : \"http://h/p.ebz\",\r\n  \"minVersion\" : \"1.8.0\"\r\n}\r\n",
                     L"{minVersion:\"1.8.0\",packedJreEbzUrl:\"http://h/p.ebz\"}"},
        DocumentCase{L"blank before closing brace after nested object", L"{\"a\": {\"b\": [1, 2]\n}\n}",
                     L"{a:{b:[1,2]}}"},
        // Keys: ordered by code units, taken unescaped, later ones win.
        DocumentCase{L"member order", L"{\"b\":1,\"a\":2,\"B\":3}", L"{B:3,a:2,b:1}"},
        DocumentCase{L"duplicate key", L"{\"a\":1,\"a\":\"two\"}", L"{a:\"two\"}"},
        DocumentCase{L"escaped key kept as is", L"{\"a\\\"b\":1}", L"{a\\\"b:1}"},
        DocumentCase{L"junk between members is passed over", L"{\"a\":\"x\" ;; junk \"b\":2}", L"{a:\"x\",b:2}"},
        DocumentCase{L"a bare token runs to the next comma", L"{\"a\":1 ;; x \"b\":2}", L"{a:1}"},
        // Syntax errors empty the object they occur in.
        DocumentCase{L"trailing comma", L"{\"a\":1,}", L"{}"}, DocumentCase{L"empty key", L"{\"\":1}", L"{}"},
        DocumentCase{L"missing colon", L"{\"a\" 1}", L"{}"}, DocumentCase{L"unquoted key", L"{a:1}", L"{}"},
        DocumentCase{L"unterminated string value", L"{\"a\":\"text}", L"{}"},
        DocumentCase{L"unterminated array value", L"{\"a\":[1,2}", L"{}"},
        DocumentCase{L"error inside nested object empties only it", L"{\"a\":{\"b\":1,},\"c\":2}", L"{a:{},c:2}"},
        // Bare tokens.
        DocumentCase{L"true in any case", L"[true,TRUE,tRuE,false,FALSE]", L"[true,true,true,false,false]"},
        DocumentCase{L"null in any case is not kept", L"[null,NULL,Null,1]", L"[1]"},
        DocumentCase{L"member null", L"{\"a\":NULL}", L"{a:null}"},
        DocumentCase{L"numbers", L"[1e3,-1.5,+7,.5,5.,2E2,1e,0x10,12 34]", L"[1000,-1.5,7,0.5,5,200,1,0,1234]"},
        DocumentCase{L"white space inside a token is dropped", L"{\"t\":t r u e,\"n\":1 2.5}", L"{n:12.5,t:true}"},
        DocumentCase{L"words that are no literal read as 0", L"[nul,abc,null.,-]", L"[0,0,0,0]"},
        DocumentCase{L"empty member value before a comma is 0", L"{\"a\":,\"b\":1}", L"{a:0,b:1}"},
        DocumentCase{L"nothing after the last colon is null", L"{\"a\": }", L"{a:null}"},
        // Strings.
        DocumentCase{L"escapes", L"[\"a\\tb\",\"\\u0041\",\"\\/\\\"\\\\\",\"\\q\"]", L"[\"a\tb\",\"u0041\",\"/\"\\\",\"q\"]"},
        DocumentCase{L"brackets inside a string do not count", L"{\"x\":{\"a\":\"}]\"},\"y\":2}", L"{x:{a:\"}]\"},y:2}"},
        // While brackets are matched, a quote after an escaped backslash
        // closes its string, as it does where the string is read: a nested
        // value whose string ends in a backslash keeps itself and the
        // members around it.
        DocumentCase{L"escaped backslash before a quote closes the string", L"{\"x\":{\"a\":\"\\\\\"},\"y\":1}",
                     L"{x:{a:\"\\\"},y:1}"},
        DocumentCase{L"string ending in a backslash in a nested array", L"[[\"\\\\\"]]", L"[[\"\\\"]]"},
        DocumentCase{L"escaped quote after an escaped backslash stays inside", L"{\"x\":[\"\\\\\\\"]\"],\"y\":1}",
                     L"{x:[],y:1}"},
        DocumentCase{L"path with a trailing backslash beside the descriptor's members",
                     L"{\"mirrors\":[{\"share\":\"\\\\\\\\host\\\\jre\\\\\"}],\"minVersion\":\"1.8.0\"}",
                     L"{minVersion:\"1.8.0\",mirrors:[{share:\"\\\\host\\jre\\\"}]}"},
        // Arrays.
        DocumentCase{L"empty elements are not kept", L"[1,,2]", L"[1,2]"},
        DocumentCase{L"nested", L"[[1,2],[3],{\"a\":[true]},[]]", L"[[1,2],[3],{a:[true]},[]]"},
        DocumentCase{L"string with a comma ends the array as empty", L"[\"a,b\"]", L"[]"},
        DocumentCase{L"string with a bracket ends the array as empty", L"[\"a]b\", 1]", L"[]"},
        DocumentCase{L"string with a brace is read as a nested value", L"[\"a{b\", 2]", L"[\"a{b\",2]"},
        DocumentCase{L"text after a nested value is its own element", L"[[1] x, 2]", L"[[1],0,2]"},
        DocumentCase{L"broken nested array", L"{\"a\":[[1,2],[3}", L"{}"},
        // A stray right brace ahead of a nested value would stall the reading.
        DocumentCase{L"stray brace before a nested value", L"[} [1]]", L"[]"},
        DocumentCase{L"stray brace inside an object value", L"{\"a\":}, \"b\":1}", L"{a:0,b:1}"}),
    [](const ::testing::TestParamInfo<DocumentCase>& info) { return "case" + std::to_string(info.index); });

TEST(ParseJsonValue, TakesOneValueFromTheFrontAndLeavesTheRest)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* value;
        const wchar_t* rest;
        bool error;
    };
    const Case cases[] = {
        {L"  \"ab\" , more", L"\"ab\"", L" , more", false},
        {L"[1,2] tail", L"[1,2]", L" tail", false},
        {L"{\"a\":[1]}]", L"{a:[1]}", L"]", false},
        {L"tRuE,1", L"true", L",1", false},
        {L"12 34]x", L"1234", L"]x", false},
        {L"  7  ", L"7", L"", false},
        {L"", L"null", L"", false},
        {L"   ", L"null", L"", false},
        // Errors give Null and leave the trimmed text.
        {L" [1,2 ", L"null", L"[1,2", true},
        {L"\"abc", L"null", L"\"abc", true},
        {L"\"ab\\\"", L"null", L"\"ab\\\"", true},
        {L"{\"a\":1", L"null", L"{\"a\":1", true},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        bool error = !c.error;
        const JsonValue value = parseJsonValue(text, error);
        EXPECT_EQ(std::wstring(c.value), render(value)) << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(std::wstring(c.rest), text) << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.error, error) << ::testing::PrintToString(std::wstring(c.text));
    }
}

TEST(ParseJsonValue, NumberViews)
{
    struct Case {
        const wchar_t* text;
        double f64;
        std::int32_t i32;
        float f32;
    };
    const float floatInfinity = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {L"-2.75", -2.75, -2, -2.75f},
        {L"0.1", 0.1, 0, 0.1f},
        {L"3000000000", 3e9, std::numeric_limits<std::int32_t>::max(), 3e9f},
        {L"-3000000000", -3e9, std::numeric_limits<std::int32_t>::min(), -3e9f},
        {L"1e39", 1e39, std::numeric_limits<std::int32_t>::max(), floatInfinity},
        {L"1e999", std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max(), floatInfinity},
        {L"-1e999", -std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::min(), -floatInfinity},
        {L"1e-999", 0.0, 0, 0.0f},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        bool error = true;
        const JsonValue value = parseJsonValue(text, error);
        ASSERT_EQ(JsonKind::Double, value.kind) << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.f64, value.f64) << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.i32, value.i32) << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.f32, value.f32) << ::testing::PrintToString(std::wstring(c.text));
    }
}

TEST(ParseJsonObjectAndArray, DirectCalls)
{
    // The object reader drops the first and last characters unseen.
    EXPECT_EQ(1u, parseJsonObject(L"x\"a\":1x").size());
    EXPECT_TRUE(parseJsonObject(L"").empty());
    EXPECT_TRUE(parseJsonObject(L"{").empty());
    // The array reader insists on its brackets.
    EXPECT_TRUE(parseJsonArray(L"1,2").empty());
    EXPECT_EQ(2u, parseJsonArray(L" [1,2] ").size());
}

TEST(UnescapeJson, Escapes)
{
    EXPECT_EQ(L"\"/\\\b\f\n\r\t", unescapeJson(L"\\\"\\/\\\\\\b\\f\\n\\r\\t"));
    EXPECT_EQ(L"u0041x", unescapeJson(L"\\u0041\\x"));
    EXPECT_EQ(L"end", unescapeJson(L"end\\"));
    EXPECT_EQ(L"", unescapeJson(L""));
}

TEST(GetStringMember, CopiesOnlyNonEmptyStrings)
{
    const JsonMembers members = parseJson(L"{\"s\":\"text\",\"e\":\"\",\"n\":5,\"b\":true}").members;
    for (const wchar_t* key : {L"e", L"n", L"b", L"missing"}) {
        std::wstring out = L"kept";
        getStringMember(members, key, out);
        EXPECT_EQ(L"kept", out) << ::testing::PrintToString(std::wstring(key));
    }
    std::wstring out = L"kept";
    getStringMember(members, L"s", out);
    EXPECT_EQ(L"text", out);
}

TEST(JsonWhiteSpace, IsWhatWindowsCallsSpace)
{
    for (const wchar_t c : {L' ', L'\t', L'\n', L'\v', L'\f', L'\r', L'\u00A0', L'\u2000', L'\u200A', L'\u3000'}) {
        EXPECT_TRUE(isJsonSpace(c)) << static_cast<int>(c);
    }
    for (const wchar_t c : {L'\0', L'x', L'\u0085', L'\u200B', L'\uFEFF'}) {
        EXPECT_FALSE(isJsonSpace(c)) << static_cast<int>(c);
    }
    EXPECT_EQ(L"{a:1}", render(parseJson(L"\u3000{\"a\":1}\u00A0")));
}

JsonValue nestedArrays(int depth)
{
    return parseJson(std::wstring(static_cast<std::size_t>(depth), L'[') + L"1" +
                     std::wstring(static_cast<std::size_t>(depth), L']'));
}

// The array at `level` (1 is the document) of a chain of single-element arrays.
const JsonValue* arrayAtLevel(const JsonValue& document, int level)
{
    const JsonValue* value = &document;
    for (int i = 1; i < level; ++i) {
        if (value->kind != JsonKind::Array || value->elements.empty()) {
            return nullptr;
        }
        value = &value->elements.front();
    }
    return value;
}

TEST(JsonDepth, NestingUpToTheLimitIsRead)
{
    const JsonValue document = nestedArrays(kJsonMaxDepth);
    const JsonValue* deepest = arrayAtLevel(document, kJsonMaxDepth);
    ASSERT_NE(nullptr, deepest);
    EXPECT_EQ(L"[1]", render(*deepest));
}

TEST(JsonDepth, OneLevelTooDeepEmptiesTheDeepestAllowedLevel)
{
    const JsonValue document = nestedArrays(kJsonMaxDepth + 1);
    const JsonValue* deepest = arrayAtLevel(document, kJsonMaxDepth);
    ASSERT_NE(nullptr, deepest);
    EXPECT_EQ(L"[]", render(*deepest));
    EXPECT_EQ(L"[[]]", render(*arrayAtLevel(document, kJsonMaxDepth - 1)));
}

TEST(JsonDepth, ObjectsCountLikeArrays)
{
    std::wstring text;
    for (int i = 0; i < kJsonMaxDepth + 1; ++i) {
        text += L"{\"a\":";
    }
    text += L"1";
    text += std::wstring(kJsonMaxDepth + 1, L'}');
    JsonValue document = parseJson(text);
    const JsonValue* value = &document;
    int levels = 0;
    while (value->kind == JsonKind::Object && !value->members.empty()) {
        value = &value->members.begin()->second;
        ++levels;
    }
    // Levels 1 to 511 hold a member each; level 512 is empty.
    EXPECT_EQ(kJsonMaxDepth - 1, levels);
    EXPECT_EQ(JsonKind::Object, value->kind);
}

TEST(JsonDepth, VeryDeepInputNeitherOverflowsTheStackNorStalls)
{
    const int depth = 200000;
    const JsonValue document = nestedArrays(depth);
    EXPECT_EQ(L"[]", render(*arrayAtLevel(document, kJsonMaxDepth)));
    std::wstring unterminated(static_cast<std::size_t>(depth), L'[');
    bool error = false;
    parseJsonValue(unterminated, error);
    EXPECT_TRUE(error);
    std::wstring mixed;
    for (int i = 0; i < depth; ++i) {
        mixed += L"{\"k\":[";
    }
    EXPECT_EQ(JsonKind::Null, parseJson(mixed).kind);
    mixed += L"1";
    for (int i = 0; i < depth; ++i) {
        mixed += L"]}";
    }
    EXPECT_EQ(JsonKind::Object, parseJson(mixed).kind);
}

TEST(JsonReader, LongFlatDocumentsWithManySmallValues)
{
    // Many values in a row, each of which a reader that copies the remaining
    // text would copy again.
    std::wstring array = L"[";
    std::wstring object = L"{";
    for (int i = 0; i < 30000; ++i) {
        array += L"\"s\",{\"a\":[1]},";
        object += L"\"k" + std::to_wstring(i) + L"\":[\"v\",2],";
    }
    array += L"3]";
    object += L"\"last\":1}";
    const JsonValue arrayValue = parseJson(array);
    EXPECT_EQ(60001u, arrayValue.elements.size());
    const JsonValue objectValue = parseJson(object);
    EXPECT_EQ(30001u, objectValue.members.size());
}

}  // namespace
}  // namespace vantor
