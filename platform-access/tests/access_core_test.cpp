#include "platform-access/core/error_text.h"
#include "platform-access/core/registry_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vantor::access {
namespace {

TEST(RegistryValue, RootNumbersOneToFive)
{
    EXPECT_FALSE(isKnownRootNumber(0));
    for (int number = 1; number <= 5; ++number) {
        EXPECT_TRUE(isKnownRootNumber(number)) << number;
    }
    EXPECT_FALSE(isKnownRootNumber(6));
    EXPECT_FALSE(isKnownRootNumber(-1));
}

TEST(RegistryValue, StringReadingByType)
{
    EXPECT_EQ(StringReading::FirstText, stringReadingFor(kRegText, true));
    EXPECT_EQ(StringReading::FirstText, stringReadingFor(kRegTextList, false));
    EXPECT_EQ(StringReading::ExpandedText, stringReadingFor(kRegExpandText, false));
    EXPECT_EQ(StringReading::RawUnits, stringReadingFor(kRegBinary, true));
    EXPECT_EQ(StringReading::TypeMismatch, stringReadingFor(kRegBinary, false));
    EXPECT_EQ(StringReading::TypeMismatch, stringReadingFor(kRegNumber, true));
    EXPECT_EQ(StringReading::TypeMismatch, stringReadingFor(11, true));  // REG_QWORD
}

TEST(RegistryValue, NumberFromShortOrLongData)
{
    const unsigned char data[] = {0x78, 0x56, 0x34, 0x12, 0xFF};
    EXPECT_EQ(0x12345678u, storedNumber(data, 4));
    EXPECT_EQ(0x12345678u, storedNumber(data, 5));  // extra bytes ignored
    EXPECT_EQ(0x5678u, storedNumber(data, 2));      // missing bytes are zero
    EXPECT_EQ(0u, storedNumber(data, 0));
}

TEST(RegistryValue, HexTwoLowerCaseDigitsPerByte)
{
    const unsigned char data[] = {0x0A, 0xFF, 0x00, 0x9c};
    wchar_t out[9];
    EXPECT_EQ(8u, formatHex(data, 4, out, 9));
    EXPECT_EQ(std::wstring(L"0aff009c"), out);
    EXPECT_EQ(0u, formatHex(data, 0, out, 1));
    EXPECT_EQ(std::wstring(), out);
}

TEST(RegistryValue, HexRefusesATooSmallBuffer)
{
    const unsigned char data[] = {1, 2};
    wchar_t out[4] = {L'k', L'k', L'k', L'k'};
    EXPECT_EQ(0u, formatHex(data, 2, out, 4));
    EXPECT_EQ(L'k', out[0]);
    EXPECT_EQ(0u, formatHex(data, 2, out, 0));
}

TEST(ErrorText, CodeAppendedAsSignedDecimal)
{
    char out[64];
    EXPECT_EQ(std::strlen("ShellExecW failed (error_code=2)"),
              formatErrorCodeMessage(out, sizeof out, "ShellExecW failed", 2));
    EXPECT_STREQ("ShellExecW failed (error_code=2)", out);
    formatErrorCodeMessage(out, sizeof out, "GetFileSecurity", static_cast<long>(static_cast<int>(0x80070005)));
    EXPECT_STREQ("GetFileSecurity (error_code=-2147024891)", out);
}

TEST(ErrorText, LongMessageIsCutAndTerminated)
{
    const std::string message(kMaxCodedMessageLength + 100, 'm');
    char out[kMaxCodedMessageLength + 1];
    EXPECT_EQ(kMaxCodedMessageLength, formatErrorCodeMessage(out, sizeof out, message.c_str(), 5));
    EXPECT_EQ(std::string(kMaxCodedMessageLength, 'm'), out);

    char tiny[1] = {'x'};
    EXPECT_EQ(0u, formatErrorCodeMessage(tiny, 1, "abc", 1));
    EXPECT_EQ('\0', tiny[0]);
}

}  // namespace
}  // namespace vantor::access
