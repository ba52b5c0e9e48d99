// Values, arguments and assertions of the JNI test host.
#include "platform-access/tests/host/jni_host.h"

#include <sstream>

namespace vantor::jnihost {

namespace {

const char* kindName(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Void: return "void";
    case Value::Kind::Null: return "null";
    case Value::Kind::Boolean: return "boolean";
    case Value::Kind::Char: return "char";
    case Value::Kind::Int: return "int";
    case Value::Kind::Long: return "long";
    case Value::Kind::String: return "String";
    case Value::Kind::ObjectArray: return "object array";
    case Value::Kind::ArrayList: return "ArrayList";
    case Value::Kind::HashMap: return "HashMap";
    case Value::Kind::File: return "File";
    case Value::Kind::LongObject: return "Long";
    case Value::Kind::IntegerObject: return "Integer";
    case Value::Kind::Throwable: return "Throwable";
    case Value::Kind::Object: return "object";
    }
    return "?";
}

bool wrongKind(const Value& value, const char* wanted)
{
    ADD_FAILURE() << "expected " << wanted << ", got " << kindName(value.kind()) << ": " << value.describe();
    return false;
}

}  // namespace

Value Value::ofKind(Kind kind, std::string className)
{
    Value value;
    value.m_kind = kind;
    value.m_className = std::move(className);
    return value;
}

Value Value::ofBoolean(bool flag)
{
    Value value = ofKind(Kind::Boolean);
    value.m_number = flag ? 1 : 0;
    return value;
}

Value Value::ofChar(wchar_t character)
{
    Value value = ofKind(Kind::Char);
    value.m_number = static_cast<std::uint16_t>(character);
    return value;
}

Value Value::ofInt(std::int32_t number)
{
    Value value = ofKind(Kind::Int);
    value.m_number = number;
    return value;
}

Value Value::ofLong(std::int64_t number)
{
    Value value = ofKind(Kind::Long);
    value.m_number = number;
    return value;
}

Value Value::ofString(std::wstring text)
{
    Value value = ofKind(Kind::String, "java/lang/String");
    value.m_text = std::move(text);
    return value;
}

bool Value::boolean() const
{
    return m_kind == Kind::Boolean ? m_number != 0 : wrongKind(*this, "boolean");
}

wchar_t Value::character() const
{
    if (m_kind != Kind::Char) {
        wrongKind(*this, "char");
        return 0;
    }
    return static_cast<wchar_t>(m_number);
}

std::int32_t Value::intValue() const
{
    if (m_kind != Kind::Int && m_kind != Kind::IntegerObject) {
        wrongKind(*this, "int");
        return 0;
    }
    return static_cast<std::int32_t>(m_number);
}

std::int64_t Value::longValue() const
{
    if (m_kind != Kind::Long && m_kind != Kind::LongObject && m_kind != Kind::Int && m_kind != Kind::IntegerObject) {
        wrongKind(*this, "long");
        return 0;
    }
    return m_number;
}

const std::wstring& Value::string() const
{
    static const std::wstring empty;
    if (m_kind != Kind::String && m_kind != Kind::File && m_kind != Kind::Throwable) {
        wrongKind(*this, "String");
        return empty;
    }
    return m_text;
}

const std::vector<Value>& Value::elements() const
{
    static const std::vector<Value> none;
    if (m_kind != Kind::ObjectArray && m_kind != Kind::ArrayList) {
        wrongKind(*this, "array or list");
        return none;
    }
    return m_elements;
}

const std::vector<std::pair<Value, Value>>& Value::entries() const
{
    static const std::vector<std::pair<Value, Value>> none;
    if (m_kind != Kind::HashMap) {
        wrongKind(*this, "HashMap");
        return none;
    }
    return m_entries;
}

const Value* Value::get(const std::wstring& key) const
{
    for (const auto& entry : entries()) {
        if (entry.first.kind() == Kind::String && entry.first.m_text == key) {
            return &entry.second;
        }
    }
    return nullptr;
}

std::string Value::describe() const
{
    std::ostringstream out;
    switch (m_kind) {
    case Kind::Void: out << "(void)"; break;
    case Kind::Null: out << "null"; break;
    case Kind::Boolean: out << (m_number ? "true" : "false"); break;
    case Kind::Char: out << "'" << narrow(std::wstring(1, static_cast<wchar_t>(m_number))) << "'"; break;
    case Kind::Int: out << m_number; break;
    case Kind::Long: out << m_number << "L"; break;
    case Kind::String: out << '"' << narrow(m_text) << '"'; break;
    case Kind::ObjectArray:
    case Kind::ArrayList: {
        out << (m_kind == Kind::ObjectArray ? "[" : "ArrayList[");
        for (std::size_t i = 0; i < m_elements.size(); ++i) {
            out << (i ? ", " : "") << m_elements[i].describe();
        }
        out << "]";
        break;
    }
    case Kind::HashMap: {
        out << "{";
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            out << (i ? ", " : "") << m_entries[i].first.describe() << "=" << m_entries[i].second.describe();
        }
        out << "}";
        break;
    }
    case Kind::File: out << "File(" << narrow(m_text) << ")"; break;
    case Kind::LongObject: out << "Long(" << m_number << ")"; break;
    case Kind::IntegerObject: out << "Integer(" << m_number << ")"; break;
    case Kind::Throwable: out << m_className << ": " << narrow(m_text); break;
    case Kind::Object: out << m_className << " object"; break;
    }
    return out.str();
}

bool operator==(const Value& a, const Value& b)
{
    if (a.m_kind != b.m_kind) {
        return false;
    }
    switch (a.m_kind) {
    case Value::Kind::Void:
    case Value::Kind::Null: return true;
    case Value::Kind::Object: return a.m_className == b.m_className;
    default:
        return a.m_number == b.m_number && a.m_text == b.m_text && a.m_elements == b.m_elements &&
               a.m_entries == b.m_entries;
    }
}

void PrintTo(const Value& value, std::ostream* out)
{
    *out << value.describe();
}

std::string Thrown::describe() const
{
    return className + ": " + narrow(operation) + ": " + narrow(message);
}

std::string Arg::describe() const
{
    switch (m_kind) {
    case Kind::Null: return "null";
    case Kind::Boolean: return m_number ? "true" : "false";
    case Kind::Char: return "char " + std::to_string(m_number);
    case Kind::Int: return "int " + std::to_string(m_number);
    case Kind::Long: return "long " + std::to_string(m_number);
    case Kind::String: return "\"" + narrow(m_text) + "\"";
    case Kind::Object: return "object #" + std::to_string(m_number);
    }
    return "?";
}

::testing::AssertionResult threwAccess(const CallResult& result, const std::wstring& operation,
                                       const std::wstring& message)
{
    if (!result.exception) {
        return ::testing::AssertionFailure() << "no exception; the call returned " << result.value.describe();
    }
    const Thrown& thrown = *result.exception;
    if (thrown.className != kAccessExceptionClass || thrown.operation != operation || thrown.message != message) {
        return ::testing::AssertionFailure()
               << "threw " << thrown.describe() << "\n  expected " << kAccessExceptionClass << ": " << narrow(operation)
               << ": " << narrow(message);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult threwNothing(const CallResult& result)
{
    if (result.exception) {
        return ::testing::AssertionFailure() << "threw " << result.exception->describe();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace vantor::jnihost
