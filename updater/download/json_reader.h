// The small JSON reader of the runtime descriptor. Pure: no Windows calls.
//
// It reads the subset of JSON that the descriptor server sends and is
// deliberately lenient and quirky, and callers rely on its exact results:
//   - a value that is not an object, array or string is a bare token: it runs
//     up to the first comma, right bracket or right brace, white space inside
//     it is dropped, true/false/null are matched ignoring case, and anything
//     else is read as a decimal number (0 when there is none);
//   - brackets and braces are matched by depth outside strings, where a
//     double quote that a backslash escapes does not open or close a string
//     (a backslash escapes the character after it, so "\\" is one escaped
//     backslash and the quote after it closes the string);
//   - an array element is cut at the first comma or right bracket, even
//     inside a string, and Null elements are not kept;
//   - object keys are taken as they stand (escapes are not resolved), a later
//     duplicate key replaces an earlier one, and a trailing comma (or any
//     other syntax error) empties the enclosing object or array.
// Syntax errors never raise; they empty the object or array they occur in.
// Nesting is bounded to kJsonMaxDepth levels; a deeper value is a syntax
// error of its level. Reading takes time linear in the length of the text:
// no text is copied per value, and a nested value's matching bracket is
// found by the scan of its enclosing one (only where the enclosing scan saw
// the bracket inside a string does it scan again, at most once per level).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

enum class JsonKind {
    Null = 0,
    String = 1,
    Int = 2,    // never produced by the reader
    Float = 3,  // never produced by the reader
    Double = 4,
    Object = 5,
    Array = 6,
    Bool = 7,
};

struct JsonValue;

// Members ordered by the UTF-16 code units of their keys.
using JsonMembers = std::map<std::wstring, JsonValue>;
using JsonElements = std::vector<JsonValue>;

// The small fields come first, so that the flag fills the gap before the
// double instead of padding the end: every member of an object is a map node
// that holds a value, and a document holds many.
struct JsonValue {
    JsonKind kind = JsonKind::Null;
    std::int32_t i32 = 0;  // Double: the value truncated toward zero (saturated at the 32-bit limits)
    float f32 = 0;         // Double: the value in single precision
    bool flag = false;     // Bool
    double f64 = 0;        // Double: the value
    std::wstring text;     // String
    JsonMembers members;   // Object
    JsonElements elements;  // Array
};

// Objects and arrays nested deeper than this are syntax errors.
constexpr int kJsonMaxDepth = 512;

// The white space of the reader: what Windows' wide-character classification
// (iswspace) calls space.
bool isJsonSpace(wchar_t c) noexcept;
std::wstring_view trimJson(std::wstring_view text) noexcept;

// A whole document: an Object when the trimmed text begins with "{" and ends
// with "}", else an Array when it begins with "[" and ends with "]", else
// Null.
JsonValue parseJson(std::wstring_view text);

// Reads one value from the front of `text` (trimmed first) and leaves the
// rest of the text in it. On a syntax error (an unterminated string, object
// or array, or one nested too deeply) sets `error`, returns Null and leaves
// the trimmed text.
JsonValue parseJsonValue(std::wstring& text, bool& error);

// The members of "{...}" (the first and last characters of the trimmed text
// are dropped unseen); empty on any syntax error.
JsonMembers parseJsonObject(std::wstring_view text);

// The elements of "[...]"; empty when the trimmed text is not bracketed or
// on any syntax error.
JsonElements parseJsonArray(std::wstring_view text);

// Resolves the escapes of a string body: \" \/ \\ \b \f \n \r \t; any other
// escaped character stands for itself (so \u0041 gives "u0041"); a lone
// backslash at the end is dropped.
std::wstring unescapeJson(std::wstring_view body);

// Copies the member `key` into `out` when it is a non-empty String; else
// leaves `out` as it is.
void getStringMember(const JsonMembers& members, const std::wstring& key, std::wstring& out);

}  // namespace vantor
