// The registry operations through the JNI host, against Wine's registry,
// each test in a sandbox key of its own under HKEY_CURRENT_USER.
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vantor::jnihost {
namespace {

constexpr int kCurrentUser = 4;
constexpr int kCurrentConfig = 2;

std::string bytesOf(const std::wstring& text, bool withTerminator)
{
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (withTerminator) {
        bytes.append(2, '\0');
    }
    return bytes;
}

class RegistryAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = &m_host.load();
        ASSERT_TRUE(threwNothing(m_library->call("initialise")));
    }

    // Path of a key below the sandbox, relative to HKEY_CURRENT_USER.
    std::wstring path(const std::wstring& below = {}) const
    {
        return below.empty() ? m_sandbox.subKey() : m_sandbox.subKey() + L"\\" + below;
    }

    // Stores data exactly as given. RegSetValueExW would add a terminator
    // to text data that lacks one, so the native call does the writing.
    void setRaw(const std::wstring& name, DWORD type, const std::string& bytes, const std::wstring& below = {})
    {
        using SetValueKey = LONG(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID, ULONG);
        const auto setValueKey = reinterpret_cast<SetValueKey>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
        ASSERT_NE(nullptr, setValueKey);
        win::RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, key.put(), nullptr));
        UNICODE_STRING valueName;
        valueName.Buffer = const_cast<wchar_t*>(name.c_str());
        valueName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        valueName.MaximumLength = valueName.Length;
        EXPECT_EQ(0, setValueKey(key.get(), &valueName, 0, type, const_cast<char*>(bytes.data()),
                                 static_cast<ULONG>(bytes.size())));
    }

    void createKey(const std::wstring& below)
    {
        win::RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, key.put(), nullptr));
    }

    bool keyExists(const std::wstring& below = {}) const
    {
        win::RegKey key;
        return RegOpenKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }

    // The stored value: its type and bytes; type 0 when it is missing.
    std::pair<DWORD, std::string> stored(const std::wstring& name, const std::wstring& below = {}) const
    {
        DWORD type = 0;
        std::string bytes(70000, '\0');
        DWORD size = static_cast<DWORD>(bytes.size());
        if (RegGetValueW(HKEY_CURRENT_USER, path(below).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                         bytes.data(), &size) != ERROR_SUCCESS) {
            return {0, {}};
        }
        bytes.resize(size);
        return {type, bytes};
    }

    CallResult readString(const std::wstring& name)
    {
        return m_library->call("readStringValue", {kCurrentUser, path(), name});
    }

    JniHost m_host;
    NativeLibrary* m_library = nullptr;
    testing::RegistrySandbox m_sandbox;
};

// --- reading texts -------------------------------------------------------------------

TEST_F(RegistryAccess, ReadsTextAndTheFirstTextOfAList)
{
    m_sandbox.setString(L"text", L"value one");
    setRaw(L"list", REG_MULTI_SZ, bytesOf(std::wstring(L"a\0b\0", 4), true));
    EXPECT_EQ(Value::ofString(L"value one"), readString(L"text").value);
    EXPECT_EQ(Value::ofString(L"a"), readString(L"list").value);
    // The default value of the key itself: a null name.
    m_sandbox.setString(L"", L"default");
    EXPECT_EQ(Value::ofString(L"default"), m_library->call("readStringValue", {kCurrentUser, path(), nullptr}).value);
}

TEST_F(RegistryAccess, ExpandsEnvironmentReferences)
{
    m_sandbox.setString(L"expand", L"%SystemRoot%\\fonts", REG_EXPAND_SZ);
    wchar_t expected[MAX_PATH];
    ExpandEnvironmentStringsW(L"%SystemRoot%\\fonts", expected, MAX_PATH);
    ASSERT_NE(std::wstring(expected), L"%SystemRoot%\\fonts");
    EXPECT_EQ(Value::ofString(expected), readString(L"expand").value);
    EXPECT_EQ(Value::ofString(expected),
              m_library->callNarrow("readStringValue", {kCurrentUser, path(), L"expand"}).value);
}

TEST_F(RegistryAccess, ExpansionThatDoesNotFitIsAFailureNotACutText)
{
    // 2,047 characters fit; one more does not.
    SetEnvironmentVariableW(L"VANTOR_TEST_LONG", std::wstring(2047 - 4, L'x').c_str());
    m_sandbox.setString(L"fits", L"abcd%VANTOR_TEST_LONG%", REG_EXPAND_SZ);
    m_sandbox.setString(L"over", L"abcde%VANTOR_TEST_LONG%", REG_EXPAND_SZ);
    CallResult result = readString(L"fits");
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ(2047u, result.value.string().size());
    result = readString(L"over");
    EXPECT_TRUE(threwAccess(result, L"readStringValue", L"ExpandEnvironmentStrings failed"));
    EXPECT_TRUE(result.value.isNull());
    SetEnvironmentVariableW(L"VANTOR_TEST_LONG", nullptr);
}

TEST_F(RegistryAccess, BinaryDataReadsAsUnitsInTheWideFormOnly)
{
    setRaw(L"binary", REG_BINARY, std::string("\x41\x01\x42", 3));
    // Three bytes: one unit (0x0141), the odd byte dropped.
    EXPECT_EQ(Value::ofString(L"\u0141"), readString(L"binary").value);
    const CallResult narrow = m_library->callNarrow("readStringValue", {kCurrentUser, path(), L"binary"});
    EXPECT_TRUE(threwAccess(narrow, L"readValue", L"type mismach"));
    EXPECT_TRUE(narrow.value.isNull());
    // Zeros inside binary data are kept: the length is the data's.
    setRaw(L"zeros", REG_BINARY, std::string("a\0\0\0b\0", 6));
    EXPECT_EQ(Value::ofString(std::wstring(L"a\0b", 3)), readString(L"zeros").value);
}

TEST_F(RegistryAccess, TextWithoutTerminatorIsReadWithinItsData)
{
    // 1,024 bytes of text fill the whole buffer and end without a
    // terminator; nothing after them may be read.
    setRaw(L"full", REG_SZ, bytesOf(std::wstring(512, L'x'), false));
    EXPECT_EQ(Value::ofString(std::wstring(512, L'x')), readString(L"full").value);
    EXPECT_EQ(Value::ofString(std::wstring(512, L'x')),
              m_library->callNarrow("readStringValue", {kCurrentUser, path(), L"full"}).value);
    // An odd byte count: the half unit at the end is dropped.
    setRaw(L"odd", REG_SZ, bytesOf(L"ab", false) + "c");
    EXPECT_EQ(Value::ofString(L"ab"), readString(L"odd").value);
    // A list without its terminators.
    setRaw(L"list", REG_MULTI_SZ, bytesOf(L"only", false));
    EXPECT_EQ(Value::ofString(L"only"), readString(L"list").value);
    setRaw(L"expand", REG_EXPAND_SZ, bytesOf(L"%SystemRoot%", false));
    wchar_t expected[MAX_PATH];
    ExpandEnvironmentStringsW(L"%SystemRoot%", expected, MAX_PATH);
    EXPECT_EQ(Value::ofString(expected), readString(L"expand").value);
}

TEST_F(RegistryAccess, ReadLimitIsTheBufferOf1024Bytes)
{
    setRaw(L"fits", REG_BINARY, std::string(1024, 'a'));
    setRaw(L"over", REG_BINARY, std::string(1025, 'a'));
    EXPECT_EQ(512u, readString(L"fits").value.string().size());
    const CallResult result = readString(L"over");
    EXPECT_TRUE(threwAccess(result, L"readStringValue", L"RegQueryValueEx failed"));
    EXPECT_TRUE(result.value.isNull());
}

TEST_F(RegistryAccess, ReadFailuresOfStringValues)
{
    CallResult result = m_library->call("readStringValue", {kCurrentUser, path(L"missing"), L"x"});
    EXPECT_TRUE(threwAccess(result, L"readStringValue", L"RegOpenKey failed"));
    EXPECT_TRUE(result.value.isNull());
    result = readString(L"missing");
    EXPECT_TRUE(threwAccess(result, L"readStringValue", L"RegQueryValueEx failed"));
    const DWORD number = 7;
    m_sandbox.setValue(L"number", REG_DWORD, &number, sizeof number);
    result = readString(L"number");
    EXPECT_TRUE(threwAccess(result, L"readValue", L"type mismach"));
    EXPECT_TRUE(result.value.isNull());
    result = m_library->callNarrow("readStringValue", {kCurrentUser, path(L"missing"), L"x"});
    EXPECT_TRUE(threwAccess(result, L"readStringValue", L"RegOpenKey failed"));
}

// --- numbers --------------------------------------------------------------------------

TEST_F(RegistryAccess, ReadsAndWritesNumbers)
{
    const DWORD number = 0x12345678;
    m_sandbox.setValue(L"number", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(Value::ofInt(0x12345678), m_library->call("readWordValue", {kCurrentUser, path(), L"number"}).value);

    for (const int value : {-5, 0, 2147483647, static_cast<int>(0x80000000)}) {
        EXPECT_TRUE(threwNothing(m_library->call("writeWordValue", {kCurrentUser, path(L"new"), L"n", value})));
        EXPECT_EQ(Value::ofInt(value), m_library->call("readWordValue", {kCurrentUser, path(L"new"), L"n"}).value);
        EXPECT_EQ(Value::ofInt(value),
                  m_library->callNarrow("readWordValue", {kCurrentUser, path(L"new"), L"n"}).value);
    }
    const auto [type, bytes] = stored(L"n", L"new");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x00\x00\x00\x80", 4), bytes);

    EXPECT_TRUE(threwNothing(m_library->callNarrow("writeWordValue", {kCurrentUser, path(), L"narrow", 0x0A0B0C0D})));
    EXPECT_EQ(std::string("\x0D\x0C\x0B\x0A", 4), stored(L"narrow").second);
}

TEST_F(RegistryAccess, ShortNumberDataIsReadWithinItsBytes)
{
    setRaw(L"short", REG_DWORD, std::string("\x34\x12", 2));
    EXPECT_EQ(Value::ofInt(0x1234), m_library->call("readWordValue", {kCurrentUser, path(), L"short"}).value);
}

TEST_F(RegistryAccess, ReadFailuresOfNumbers)
{
    m_sandbox.setString(L"text", L"12");
    CallResult result = m_library->call("readWordValue", {kCurrentUser, path(), L"text"});
    EXPECT_TRUE(threwAccess(result, L"readValue", L"type mismach"));
    EXPECT_EQ(Value::ofInt(0), result.value);
    result = m_library->call("readWordValue", {kCurrentUser, path(), L"missing"});
    EXPECT_TRUE(threwAccess(result, L"readWordValue", L"RegQueryValueEx failed"));
    result = m_library->call("readWordValue", {kCurrentUser, path(L"missing"), L"x"});
    EXPECT_TRUE(threwAccess(result, L"readWordValue", L"RegOpenKey failed"));
    EXPECT_EQ(Value::ofInt(0), result.value);
}

// --- writing texts ---------------------------------------------------------------------

TEST_F(RegistryAccess, WritesTextWithItsTerminatorCreatingTheKeys)
{
    EXPECT_TRUE(threwNothing(m_library->call("writeStringValue", {kCurrentUser, path(L"a\\b"), L"name", L"Wert ü"})));
    EXPECT_EQ(std::make_pair(static_cast<DWORD>(REG_SZ), bytesOf(L"Wert ü", true)), stored(L"name", L"a\\b"));
    // A null value writes the empty text.
    EXPECT_TRUE(threwNothing(m_library->call("writeStringValue", {kCurrentUser, path(), L"empty", nullptr})));
    EXPECT_EQ(std::make_pair(static_cast<DWORD>(REG_SZ), bytesOf(L"", true)), stored(L"empty"));
}

TEST_F(RegistryAccess, NarrowFormsKeepTheLowByteOfEachCharacter)
{
    // U+0141 becomes 0x41; U+0100 becomes a zero byte, which ends the text.
    EXPECT_TRUE(threwNothing(m_library->callNarrow("writeStringValue", {kCurrentUser, path(), L"low", L"x\u0141y"})));
    EXPECT_EQ(Value::ofString(L"xAy"), readString(L"low").value);
    EXPECT_TRUE(threwNothing(m_library->callNarrow("writeStringValue", {kCurrentUser, path(), L"cut", L"ab\u0100cd"})));
    EXPECT_EQ(Value::ofString(L"ab"), readString(L"cut").value);
    EXPECT_EQ(Value::ofString(L"ab"), m_library->callNarrow("readStringValue", {kCurrentUser, path(), L"cut"}).value);
}

TEST_F(RegistryAccess, TextLimitsAreInclusive)
{
    const std::wstring longest(1023, L't');
    EXPECT_TRUE(threwNothing(m_library->call("writeStringValue", {kCurrentUser, path(), L"v", longest})));
    // The text fits the write, though not the 1,024-byte buffer of a read.
    EXPECT_EQ(std::make_pair(static_cast<DWORD>(REG_SZ), bytesOf(longest, true)), stored(L"v"));
    const CallResult tooLong =
        m_library->call("writeStringValue", {kCurrentUser, path(), L"w", std::wstring(1024, L't')});
    EXPECT_TRUE(threwAccess(tooLong, L"jstringToChars", L"jstring truncation occurred"));
    EXPECT_EQ(0u, stored(L"w").first);

    const std::wstring longestName(1023, L'n');
    EXPECT_TRUE(threwNothing(m_library->call("writeWordValue", {kCurrentUser, path(), longestName, 1})));
    EXPECT_TRUE(threwAccess(m_library->call("writeWordValue", {kCurrentUser, path(), longestName + L"n", 1}),
                            L"jstringToChars", L"jstring truncation occurred"));
}

TEST_F(RegistryAccess, OverLongSubKeyTouchesNothing)
{
    // A path of 1,024 characters: refused before anything is opened. (Its
    // parts stay below the registry's 255 characters per key name.)
    std::wstring over = path(L"deep");
    while (over.size() < 1024) {
        over += L"\\" + std::wstring(std::min<std::size_t>(200, 1024 - over.size() - 1), L'k');
    }
    ASSERT_EQ(1024u, over.size());
    for (const char* method : {"writeStringValue", "writeWordValue"}) {
        const std::vector<Arg> args = std::string(method) == "writeStringValue"
                                          ? std::vector<Arg>{kCurrentUser, over, L"v", L"x"}
                                          : std::vector<Arg>{kCurrentUser, over, L"v", 1};
        EXPECT_TRUE(threwAccess(m_library->call(method, args), L"jstringToChars", L"jstring truncation occurred"));
        EXPECT_TRUE(
            threwAccess(m_library->callNarrow(method, args), L"jstringToChars", L"jstring truncation occurred"));
    }
    EXPECT_FALSE(keyExists(L"deep"));
    EXPECT_TRUE(threwAccess(m_library->call("getRegSubKeys", {kCurrentUser, over}), L"jstringToChars",
                            L"jstring truncation occurred"));

    // 1,023 characters are accepted.
    const std::wstring longest = over.substr(0, 1023);
    EXPECT_TRUE(threwNothing(m_library->call("writeWordValue", {kCurrentUser, longest, L"v", 1})));
    EXPECT_TRUE(keyExists(L"deep"));
}

// --- unknown roots -------------------------------------------------------------------------

TEST_F(RegistryAccess, UnknownRootsFailEveryOperationAndTouchNothing)
{
    for (const int root : {0, 6}) {
        const std::vector<std::pair<std::string, std::vector<Arg>>> calls = {
            {"readStringValue", {root, L"Software", L"x"}},
            {"readWordValue", {root, L"Software", L"x"}},
            {"writeStringValue", {root, path(L"w"), L"x", L"y"}},
            {"writeWordValue", {root, path(L"w"), L"x", 1}},
            {"deleteKey", {root, path(), true}},
            {"deleteValue", {root, path(), L"x"}},
        };
        for (const auto& [method, args] : calls) {
            EXPECT_TRUE(threwAccess(m_library->call(method, args), L"readValue", L"unsupported type")) << method;
            EXPECT_TRUE(threwAccess(m_library->callNarrow(method, args), L"readValue", L"unsupported type")) << method;
        }
        for (const char* method : {"getRegSubKeys", "getRegKeyValues"}) {
            const CallResult listed = m_library->call(method, {root, L"Software"});
            EXPECT_TRUE(threwAccess(listed, L"readValue", L"unsupported type")) << method;
            ASSERT_EQ(Value::Kind::ObjectArray, listed.value.kind()) << method;
            EXPECT_TRUE(listed.value.elements().empty());
        }
    }
    EXPECT_TRUE(keyExists());
    EXPECT_FALSE(keyExists(L"w"));
}

// --- deleting -------------------------------------------------------------------------------

TEST_F(RegistryAccess, DeletingAMissingKeyIsNotAnError)
{
    EXPECT_TRUE(threwNothing(m_library->call("deleteKey", {kCurrentUser, path(L"missing"), false})));
    EXPECT_TRUE(threwNothing(m_library->call("deleteKey", {kCurrentUser, path(L"missing"), true})));
    EXPECT_TRUE(threwNothing(m_library->call("deleteValue", {kCurrentUser, path(L"missing"), L"x"})));
}

TEST_F(RegistryAccess, PlainDeletionRefusesAKeyWithSubKeys)
{
    createKey(L"parent\\child");
    CallResult result = m_library->call("deleteKey", {kCurrentUser, path(L"parent"), false});
    EXPECT_TRUE(threwAccess(result, L"deleteKey", L"RegDeleteKey failed"));
    EXPECT_TRUE(keyExists(L"parent\\child"));

    EXPECT_TRUE(threwNothing(m_library->call("deleteKey", {kCurrentUser, path(L"parent\\child"), false})));
    EXPECT_FALSE(keyExists(L"parent\\child"));
    EXPECT_TRUE(keyExists(L"parent"));
    EXPECT_TRUE(threwNothing(m_library->callNarrow("deleteKey", {kCurrentUser, path(L"parent"), false})));
    EXPECT_FALSE(keyExists(L"parent"));
}

TEST_F(RegistryAccess, RecursiveDeletionRemovesEverythingBelow)
{
    createKey(L"tree\\a\\b");
    createKey(L"tree\\c");
    m_sandbox.setString(L"kept", L"1");
    EXPECT_TRUE(threwNothing(m_library->call("deleteKey", {kCurrentUser, path(L"tree"), true})));
    EXPECT_FALSE(keyExists(L"tree"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored(L"kept").first);
    createKey(L"tree2\\x");
    EXPECT_TRUE(threwNothing(m_library->callNarrow("deleteKey", {kCurrentUser, path(L"tree2"), true})));
    EXPECT_FALSE(keyExists(L"tree2"));
}

TEST_F(RegistryAccess, AnEmptySubKeyNeverEmptiesARootKey)
{
    // An empty path opens the root itself; deleting "it" recursively would
    // remove everything below the root. The current-configuration root is
    // used here because it would do the least harm should that happen.
    win::RegKey root;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_CONFIG, L"", 0, KEY_READ, root.put()));
    DWORD before = 0;
    RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &before, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    root.reset();

    EXPECT_TRUE(
        threwAccess(m_library->call("deleteKey", {kCurrentConfig, L"", true}), L"deleteKey", L"SHDeleteKey failed"));
    EXPECT_TRUE(threwAccess(m_library->callNarrow("deleteKey", {kCurrentConfig, nullptr, true}), L"deleteKey",
                            L"SHDeleteKey failed"));
    EXPECT_TRUE(threwAccess(m_library->call("deleteKey", {kCurrentConfig, nullptr, false}), L"deleteKey",
                            L"RegDeleteKey failed"));

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_CONFIG, L"", 0, KEY_READ, root.put()));
    DWORD after = 0;
    RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &after, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(before, after);
}

TEST_F(RegistryAccess, DeletesValuesAndReportsMissingOnes)
{
    m_sandbox.setString(L"gone", L"x");
    m_sandbox.setString(L"narrow", L"x");
    EXPECT_TRUE(threwNothing(m_library->call("deleteValue", {kCurrentUser, path(), L"gone"})));
    EXPECT_EQ(0u, stored(L"gone").first);
    EXPECT_TRUE(threwNothing(m_library->callNarrow("deleteValue", {kCurrentUser, path(), L"narrow"})));
    EXPECT_EQ(0u, stored(L"narrow").first);
    EXPECT_TRUE(threwAccess(m_library->call("deleteValue", {kCurrentUser, path(), L"gone"}), L"deleteValue",
                            L"SHDeleteValue failed"));
    EXPECT_TRUE(keyExists());
}

// --- listings --------------------------------------------------------------------------------

std::vector<std::wstring> sortedTexts(const Value& array)
{
    std::vector<std::wstring> texts;
    for (const Value& element : array.elements()) {
        texts.push_back(element.isNull() ? L"<null>" : element.string());
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

TEST_F(RegistryAccess, ListsSubKeys)
{
    createKey(L"list\\beta\\deeper");
    createKey(L"list\\alpha");
    const CallResult result = m_library->call("getRegSubKeys", {kCurrentUser, path(L"list")});
    EXPECT_TRUE(threwNothing(result));
    EXPECT_EQ("[Ljava/lang/String;", result.value.className());
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"beta"}), sortedTexts(result.value));

    const CallResult empty = m_library->call("getRegSubKeys", {kCurrentUser, path(L"list\\alpha")});
    EXPECT_TRUE(empty.value.elements().empty());
}

TEST_F(RegistryAccess, ListingAMissingKeyGivesAnEmptyArrayWithoutException)
{
    for (const char* method : {"getRegSubKeys", "getRegKeyValues"}) {
        const CallResult result = m_library->call(method, {kCurrentUser, path(L"missing")});
        EXPECT_TRUE(threwNothing(result)) << method;
        ASSERT_EQ(Value::Kind::ObjectArray, result.value.kind()) << method;
        EXPECT_TRUE(result.value.elements().empty()) << method;
    }
    EXPECT_EQ("[Ljava/lang/Object;",
              m_library->call("getRegKeyValues", {kCurrentUser, path(L"missing")}).value.className());
}

TEST_F(RegistryAccess, ListsValuesAsNameAndDataPairs)
{
    const DWORD number = 5;
    m_sandbox.setValue(L"number", REG_DWORD, &number, sizeof number);
    m_sandbox.setString(L"text", L"hello");
    setRaw(L"binary", REG_BINARY, std::string("\x0A\xFF", 2));
    setRaw(L"bare", REG_SZ, bytesOf(L"no end", false));
    m_sandbox.setString(L"expand", L"%x%", REG_EXPAND_SZ);
    setRaw(L"big", REG_BINARY, std::string(1025, 'b'));

    const CallResult result = m_library->call("getRegKeyValues", {kCurrentUser, path()});
    EXPECT_TRUE(threwNothing(result));
    const std::vector<Value>& elements = result.value.elements();
    ASSERT_EQ(12u, elements.size());
    std::map<std::wstring, Value> values;
    for (std::size_t i = 0; i < elements.size(); i += 2) {
        values[elements[i].string()] = elements[i + 1];
    }
    EXPECT_TRUE(values[L"number"].isNull());
    EXPECT_EQ(Value::ofString(L"hello"), values[L"text"]);
    EXPECT_EQ(Value::ofString(L"0aff"), values[L"binary"]);
    EXPECT_EQ(Value::ofString(L"no end"), values[L"bare"]);
    EXPECT_TRUE(values[L"expand"].isNull());
    // Data over the 1,024-byte buffer: the name is listed, the data is not.
    ASSERT_EQ(1u, values.count(L"big"));
    EXPECT_TRUE(values[L"big"].isNull());
}

TEST_F(RegistryAccess, ListingFullBinaryBufferGivesAllItsDigits)
{
    std::string data(1024, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i);
    }
    setRaw(L"full", REG_BINARY, data);
    const CallResult result = m_library->call("getRegKeyValues", {kCurrentUser, path()});
    ASSERT_EQ(2u, result.value.elements().size());
    const std::wstring& hex = result.value.elements()[1].string();
    ASSERT_EQ(2048u, hex.size());
    EXPECT_EQ(L"000102", hex.substr(0, 6));
    EXPECT_EQ(L"fdfeff", hex.substr(2042));
}

TEST_F(RegistryAccess, AValueWhoseEnumerationFailsIsListedAsNulls)
{
    // A value name longer than the 1,023 characters the listing can take
    // cannot be enumerated: both its elements stay null, the others are
    // listed as usual.
    m_sandbox.setString(std::wstring(1100, L'n'), L"x");
    m_sandbox.setString(L"short", L"y");
    const CallResult result = m_library->call("getRegKeyValues", {kCurrentUser, path()});
    EXPECT_TRUE(threwNothing(result));
    ASSERT_EQ(4u, result.value.elements().size());
    int nulls = 0;
    for (std::size_t i = 0; i < 4; i += 2) {
        if (result.value.elements()[i].isNull()) {
            ++nulls;
            EXPECT_TRUE(result.value.elements()[i + 1].isNull());
        } else {
            EXPECT_EQ(L"short", result.value.elements()[i].string());
            EXPECT_EQ(L"y", result.value.elements()[i + 1].string());
        }
    }
    EXPECT_EQ(1, nulls);
}

TEST_F(RegistryAccess, ListsManyEntriesWithinTheLocalReferenceBudget)
{
    // The host fails the test when more than 16 local references are live at
    // once, so a listing that kept one per element would be caught here.
    for (int i = 0; i < 40; ++i) {
        createKey(L"many\\k" + std::to_wstring(i));
        m_sandbox.setString(L"v" + std::to_wstring(i), L"x");
    }
    EXPECT_EQ(40u, m_library->call("getRegSubKeys", {kCurrentUser, path(L"many")}).value.elements().size());
    EXPECT_EQ(80u, m_library->call("getRegKeyValues", {kCurrentUser, path()}).value.elements().size());
}

TEST_F(RegistryAccess, EntryPointsUseTheWideFormsOnThisSystem)
{
    // narrowMode is clear on every NT system: the entry point reads binary
    // data as the wide form does, where the narrow one would refuse it.
    setRaw(L"binary", REG_BINARY, std::string("\x41\x00", 2));
    EXPECT_EQ(Value::ofString(L"A"), readString(L"binary").value);
    EXPECT_EQ(Value::ofString(L"A"), m_library->callWide("readStringValue", {kCurrentUser, path(), L"binary"}).value);
}

}  // namespace
}  // namespace vantor::jnihost
