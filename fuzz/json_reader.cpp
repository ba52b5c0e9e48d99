// The JSON reader on whatever a download server may send: the bytes are
// decoded from UTF-8 as the downloaded document is, and read as a whole
// document and as a single value.
//
// Properties:
//  - no read past the text (it lies in a block of exactly its length);
//  - no value nests deeper than kJsonMaxDepth;
//  - the value read, written back compactly and written back indented (each
//    member and element on a line of its own), reads back to itself from
//    both forms;
//  - parseJsonValue leaves a tail of its trimmed input, and on an error the
//    whole trimmed input and Null.
#include "fuzz/fuzz_support.h"

#include "updater/download/json_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using vantor::JsonKind;
using vantor::JsonValue;

int depthOf(const JsonValue& value)
{
    int deepest = 0;
    if (value.kind == JsonKind::Object) {
        for (const auto& member : value.members) {
            const int depth = depthOf(member.second);
            deepest = depth > deepest ? depth : deepest;
        }
        return deepest + 1;
    }
    if (value.kind == JsonKind::Array) {
        for (const JsonValue& element : value.elements) {
            const int depth = depthOf(element);
            deepest = depth > deepest ? depth : deepest;
        }
        return deepest + 1;
    }
    return 0;
}

bool sameValue(const JsonValue& a, const JsonValue& b)
{
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
    case JsonKind::Null: return true;
    case JsonKind::Bool: return a.flag == b.flag;
    case JsonKind::String: return a.text == b.text;
    case JsonKind::Double:
        return a.f64 == b.f64 && a.i32 == b.i32 && (a.f32 == b.f32 || (std::isnan(a.f32) && std::isnan(b.f32)));
    case JsonKind::Object:
        if (a.members.size() != b.members.size()) {
            return false;
        }
        for (auto i = a.members.begin(), j = b.members.begin(); i != a.members.end(); ++i, ++j) {
            if (i->first != j->first || !sameValue(i->second, j->second)) {
                return false;
            }
        }
        return true;
    case JsonKind::Array:
        if (a.elements.size() != b.elements.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.elements.size(); ++i) {
            if (!sameValue(a.elements[i], b.elements[i])) {
                return false;
            }
        }
        return true;
    default: return false;
    }
}

// Writes a value back as JSON text. Keys are written as they were read (the
// reader keeps them unescaped); string values escape the quote and the
// backslash, and the control characters that have a short escape, so that
// they survive the trimming of the indented form. Numbers are written with
// enough digits to read back to the same double; the infinities as exponents
// too large for a double.
class Writer {
public:
    explicit Writer(bool indented) : m_indented(indented) {}

    std::wstring write(const JsonValue& value)
    {
        m_text.clear();
        value_(value, 0);
        return m_text;
    }

private:
    void newLine(int level)
    {
        if (m_indented) {
            m_text += L"\r\n";
            m_text.append(static_cast<std::size_t>(level) * 2, L' ');
        }
    }

    void value_(const JsonValue& value, int level)
    {
        switch (value.kind) {
        case JsonKind::Null: m_text += L"null"; break;
        case JsonKind::Bool: m_text += value.flag ? L"true" : L"false"; break;
        case JsonKind::Double: number(value.f64); break;
        case JsonKind::String: string(value.text); break;
        case JsonKind::Object: {
            m_text += L'{';
            bool first = true;
            for (const auto& member : value.members) {
                if (!first) {
                    m_text += L',';
                }
                first = false;
                newLine(level + 1);
                m_text += L'"';
                m_text += member.first;
                m_text += m_indented ? L"\" : " : L"\":";
                value_(member.second, level + 1);
            }
            if (!value.members.empty()) {
                newLine(level);
            }
            m_text += L'}';
            break;
        }
        case JsonKind::Array: {
            m_text += L'[';
            bool first = true;
            for (const JsonValue& element : value.elements) {
                if (!first) {
                    m_text += L',';
                }
                first = false;
                newLine(level + 1);
                value_(element, level + 1);
            }
            if (!value.elements.empty()) {
                newLine(level);
            }
            m_text += L']';
            break;
        }
        default: m_text += L"null"; break;
        }
    }

    void number(double value)
    {
        if (std::isinf(value)) {
            m_text += value < 0 ? L"-1e999" : L"1e999";
            return;
        }
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", value);
        for (const char* c = buffer; *c != '\0'; ++c) {
            m_text += static_cast<wchar_t>(*c);
        }
    }

    void string(const std::wstring& text)
    {
        m_text += L'"';
        for (const wchar_t c : text) {
            switch (c) {
            case L'"': m_text += L"\\\""; break;
            case L'\\': m_text += L"\\\\"; break;
            case L'\b': m_text += L"\\b"; break;
            case L'\f': m_text += L"\\f"; break;
            case L'\n': m_text += L"\\n"; break;
            case L'\r': m_text += L"\\r"; break;
            case L'\t': m_text += L"\\t"; break;
            default: m_text += c; break;
            }
        }
        m_text += L'"';
    }

    bool m_indented;
    std::wstring m_text;
};

void checkRoundTrip(const JsonValue& value)
{
    if (value.kind != JsonKind::Object && value.kind != JsonKind::Array) {
        return;
    }
    const std::wstring compact = Writer(false).write(value);
    const std::wstring indented = Writer(true).write(value);
    const vantor::fuzz::ExactText compactText(compact);
    const vantor::fuzz::ExactText indentedText(indented);
    FUZZ_CHECK(sameValue(vantor::parseJson(compactText.view()), value));
    FUZZ_CHECK(sameValue(vantor::parseJson(indentedText.view()), value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring decoded = vantor::fuzz::decodeUtf8(data, size);
    const vantor::fuzz::ExactText text(decoded);

    const JsonValue document = vantor::parseJson(text.view());
    FUZZ_CHECK(depthOf(document) <= vantor::kJsonMaxDepth);
    checkRoundTrip(document);

    std::wstring rest = decoded;
    bool error = false;
    const JsonValue front = vantor::parseJsonValue(rest, error);
    FUZZ_CHECK(depthOf(front) <= vantor::kJsonMaxDepth);
    const std::wstring_view trimmed = vantor::trimJson(decoded);
    FUZZ_CHECK(rest.size() <= trimmed.size());
    FUZZ_CHECK(trimmed.substr(trimmed.size() - rest.size()) == rest);
    if (error) {
        FUZZ_CHECK(front.kind == JsonKind::Null);
        FUZZ_CHECK(rest == trimmed);
    }
    checkRoundTrip(front);

    // The parts on their own, as the reader's callers may use them.
    const vantor::JsonElements elements = vantor::parseJsonArray(text.view());
    for (const JsonValue& element : elements) {
        FUZZ_CHECK(element.kind != JsonKind::Null);
    }
    vantor::parseJsonObject(text.view());
    const std::wstring unescaped = vantor::unescapeJson(text.view());
    FUZZ_CHECK(unescaped.size() <= decoded.size());
    return 0;
}
