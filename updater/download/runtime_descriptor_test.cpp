#include "updater/download/runtime_descriptor.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

const wchar_t* const kBase = L"http://127.0.0.1:8080";

RuntimeDescriptor initial()
{
    return initialRuntimeDescriptor(kBase);
}

TEST(RuntimeServer, VariableReplacesTheBuiltInServer)
{
    EXPECT_EQ(std::wstring(kDefaultRuntimeServer), runtimeServerBase(nullptr));
    EXPECT_EQ(std::wstring(kDefaultRuntimeServer), runtimeServerBase(L""));
    EXPECT_EQ(L"http://127.0.0.1:8080", runtimeServerBase(L"http://127.0.0.1:8080"));
    EXPECT_EQ(L"http://127.0.0.1:8080/mirror", runtimeServerBase(L"http://127.0.0.1:8080/mirror//"));
    EXPECT_EQ(0u, std::wstring(kDefaultRuntimeServer).find(L"http://"));
    EXPECT_EQ(L"http://h/java2.json", runtimeDescriptorUrl(L"http://h"));
    EXPECT_EQ(L"http://h/jre2_packed.ebz", runtimePackageUrl(L"http://h"));
}

TEST(RuntimeDescriptor, InitialValues)
{
    const RuntimeDescriptor descriptor = initial();
    EXPECT_EQ(L"http://127.0.0.1:8080/jre2_packed.ebz", descriptor.packageUrl);
    EXPECT_EQ(L"", descriptor.minVersion.text);
    EXPECT_EQ(0, descriptor.minVersion.major);
    EXPECT_EQ(0, descriptor.minVersion.minor);
}

TEST(RuntimeDescriptor, DocumentGivesPackageAndMinimumVersion)
{
    for (const wchar_t* document :
         {L"{\"minVersion\":\"1.8.0\",\"packedJreEbzUrl\":\"http://mirror/jre.ebz\",\"other\":[1,2]}",
          L"\r\n{\r\n    \"packedJreEbzUrl\": \"http:\\/\\/mirror\\/jre.ebz\",\r\n    \"minVersion\": \"1.8.0\"\r\n}\r\n"}) {
        RuntimeDescriptor descriptor = initial();
        applyRuntimeDescriptor(descriptor, document);
        EXPECT_EQ(L"http://mirror/jre.ebz", descriptor.packageUrl);
        EXPECT_EQ(L"1.8.0", descriptor.minVersion.text);
        EXPECT_EQ(1, descriptor.minVersion.major);
        EXPECT_EQ(800, descriptor.minVersion.minor);
    }
}

TEST(RuntimeDescriptor, PackageUrlKeptWhenMissingEmptyOrNotAString)
{
    for (const wchar_t* document : {L"{\"minVersion\":\"11.0.2\"}",
                                    L"{\"minVersion\":\"11.0.2\",\"packedJreEbzUrl\":\"\"}",
                                    L"{\"minVersion\":\"11.0.2\",\"packedJreEbzUrl\":42}"}) {
        RuntimeDescriptor descriptor = initial();
        applyRuntimeDescriptor(descriptor, document);
        EXPECT_EQ(L"http://127.0.0.1:8080/jre2_packed.ebz", descriptor.packageUrl);
        EXPECT_EQ(11, descriptor.minVersion.major);
        EXPECT_EQ(2, descriptor.minVersion.minor);
    }
}

TEST(RuntimeDescriptor, NothingChangesWithoutAnObject)
{
    for (const wchar_t* document : {L"", L"<html>502 Bad Gateway</html>", L"[\"1.8.0\"]", L"{\"minVersion\":\"1.8.0\""}) {
        RuntimeDescriptor descriptor = initial();
        EXPECT_NO_THROW(applyRuntimeDescriptor(descriptor, document));
        EXPECT_EQ(L"http://127.0.0.1:8080/jre2_packed.ebz", descriptor.packageUrl);
        EXPECT_EQ(L"", descriptor.minVersion.text);
    }
}

TEST(RuntimeDescriptor, UnusableMinimumVersionRaisesAfterTheUrlWasTaken)
{
    for (const wchar_t* document :
         {L"{\"packedJreEbzUrl\":\"http://mirror/jre.ebz\"}", L"{\"packedJreEbzUrl\":\"http://mirror/jre.ebz\",\"minVersion\":\"1.8\"}",
          L"{\"packedJreEbzUrl\":\"http://mirror/jre.ebz\",\"minVersion\":180}",
          L"{\"packedJreEbzUrl\":\"http://mirror/jre.ebz\",\"minVersion\":\"\"}"}) {
        RuntimeDescriptor descriptor = initial();
        EXPECT_THROW(applyRuntimeDescriptor(descriptor, document), VersionParseError)
            << ::testing::PrintToString(std::wstring(document));
        EXPECT_EQ(L"http://mirror/jre.ebz", descriptor.packageUrl);
    }
    // A trailing comma empties the object, so the version cannot be parsed.
    RuntimeDescriptor descriptor = initial();
    EXPECT_THROW(applyRuntimeDescriptor(descriptor, L"{\"packedJreEbzUrl\":\"http://m/j\",\"minVersion\":\"1.8.0\",}"),
                 VersionParseError);
    EXPECT_EQ(L"http://127.0.0.1:8080/jre2_packed.ebz", descriptor.packageUrl);
}

}  // namespace
}  // namespace vantor
