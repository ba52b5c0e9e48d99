#include "updater/download/http_header_values.h"

#include <gtest/gtest.h>

namespace vantor::download {
namespace {

TEST(IsHttps, OnlyAllLowerOrAllUpperScheme)
{
    EXPECT_TRUE(isHttps(L"https://host/"));
    EXPECT_TRUE(isHttps(L"HTTPS://HOST/"));
    EXPECT_TRUE(isHttps(L"https"));
    EXPECT_FALSE(isHttps(L"Https://host/"));
    EXPECT_FALSE(isHttps(L"http://host/"));
    EXPECT_FALSE(isHttps(L"http"));
    EXPECT_FALSE(isHttps(L""));
    EXPECT_EQ(kSecureRequestFlags, requestFlags(L"https://host/"));
    EXPECT_EQ(kPlainRequestFlags, requestFlags(L"hTTPS://host/"));
    EXPECT_EQ(0x04E0F000u, kSecureRequestFlags);
    EXPECT_EQ(0x0460C000u, kPlainRequestFlags);
}

TEST(AcceptRanges, OnlyTheExactWordBytes)
{
    EXPECT_TRUE(acceptsByteRanges(L"bytes"));
    for (const wchar_t* value : {L"Bytes", L"none", L"bytes ", L" bytes", L"bytes, none", L""}) {
        EXPECT_FALSE(acceptsByteRanges(value)) << ::testing::PrintToString(std::wstring(value));
    }
}

TEST(ContentLength, ReadsLeadingDigits)
{
    struct Case {
        const wchar_t* value;
        std::uint32_t length;
    };
    const Case cases[] = {
        {L"1000", 1000},           {L"  42", 42},
        {L"\t7x", 7},              {L"12 34", 12},
        {L"", 0},                  {L"abc", 0},
        {L"-5", 0},                {L"0", 0},
        {L"4294967294", 4294967294u}, {L"4294967295", kNoLength},
        {L"4294967296", kNoLength}, {L"99999999999999999999999", kNoLength},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.length, parseContentLength(c.value)) << ::testing::PrintToString(std::wstring(c.value));
    }
}

TEST(ContentDisposition, FileNamePattern)
{
    struct Case {
        const wchar_t* value;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"attachment; filename=jre.ebz", L"jre.ebz"},
        {L"attachment; filename=\"my file.json\"", L"my file.json"},
        {L"attachment; filename=  \"quoted\" ; size=3", L"quoted"},
        {L"attachment; filename=report.pdf; size=3", L"report.pdf"},
        {L"attachment; filename=a.b  ", L"a.b"},
        {L"filename=name.txt.", L"name.txt"},
        // One character is not enough: the name needs a word character at
        // both ends.
        {L"attachment; filename=x", L""},
        {L"attachment; filename=\"x\"", L""},
        {L"attachment; filename=.hidden", L""},
        {L"attachment; filename=", L""},
        {L"attachment; FILENAME=upper.txt", L""},
        {L"inline", L""},
        // The first occurrence that makes a name wins.
        {L"filename=\"x\"; filename=second.bin", L"second.bin"},
        {L"xfilename=inner.bin", L"inner.bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.name), contentDispositionFileName(c.value))
            << ::testing::PrintToString(std::wstring(c.value));
    }
}

TEST(RangeHeader, WhenAndWhat)
{
    // Nothing for the whole resource.
    EXPECT_EQ(L"", rangeHeader(false, kNoLength, 0));
    EXPECT_EQ(L"", rangeHeader(true, kNoLength, 0));
    EXPECT_EQ(L"Range: bytes=0-999", rangeHeader(true, 1000, 0));
    EXPECT_EQ(L"Range: bytes=0-999", rangeHeader(false, 1000, 0));
    // A resumed single stream: the rest of the open-ended range.
    EXPECT_EQ(L"Range: bytes=500-4294967294", rangeHeader(false, kNoLength - 500, 500));
    // Accepted ranges and an offset with an open end: 32-bit arithmetic wraps.
    EXPECT_EQ(L"Range: bytes=500-498", rangeHeader(true, kNoLength, 500));
    EXPECT_EQ(L"", rangeHeader(false, kNoLength, 500));
    // 32-bit arithmetic: an empty range at 0 wraps.
    EXPECT_EQ(L"Range: bytes=0-4294967295", rangeHeader(false, 0, 0));
}

TEST(AbsoluteUrl, SchemeAndSeparator)
{
    EXPECT_TRUE(isAbsoluteUrl(L"http://host/x"));
    EXPECT_TRUE(isAbsoluteUrl(L"HTTPS://host"));
    EXPECT_TRUE(isAbsoluteUrl(L"svn+ssh://host"));
    EXPECT_FALSE(isAbsoluteUrl(L"/path/x"));
    EXPECT_FALSE(isAbsoluteUrl(L"other"));
    EXPECT_FALSE(isAbsoluteUrl(L"//host/x"));
    EXPECT_FALSE(isAbsoluteUrl(L"/x?u=http://host"));
    EXPECT_FALSE(isAbsoluteUrl(L"://host"));
}

}  // namespace
}  // namespace vantor::download
