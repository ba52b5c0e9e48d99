#include "tests/support/download_test_support.h"
#include "updater/download/fetch_runtime_descriptor.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

using namespace vantor::testing;

class FetchRuntimeDescriptorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.running()); }
    void TearDown() override { SetEnvironmentVariableW(kRuntimeServerVariable, nullptr); }

    // Serves `document` as <base>/<folder>/java2.json and points the
    // variable at <base>/<folder>.
    void serve(const std::wstring& folder, const std::string& document)
    {
        m_server.putFile(folder + L"/java2.json", document);
        SetEnvironmentVariableW(kRuntimeServerVariable, m_server.url(L"/" + folder).c_str());
    }

    LoopbackServer m_server;
    TestLog m_log;
};

TEST_F(FetchRuntimeDescriptorTest, DocumentReplacesBothValues)
{
    serve(L"good", "{\n  \"packedJreEbzUrl\": \"http://mirror.test/jre2_packed.ebz\",\n  \"minVersion\": \"1.8.0\"\n}\n");
    RuntimeDescriptor descriptor = defaultRuntimeDescriptor();
    EXPECT_EQ(m_server.url(L"/good/jre2_packed.ebz"), descriptor.packageUrl);
    fetchRuntimeDescriptor(descriptor, m_log.log());
    EXPECT_EQ(L"http://mirror.test/jre2_packed.ebz", descriptor.packageUrl);
    EXPECT_EQ(L"1.8.0", descriptor.minVersion.text);
    EXPECT_EQ(1, descriptor.minVersion.major);
    EXPECT_EQ(800, descriptor.minVersion.minor);

    const std::vector<std::string> requests = m_server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /good/java2.json -", requests[0]);
    EXPECT_EQ(1u, m_log.messagesStartingWith("Start download JAVA_PARAMS").size());
}

TEST_F(FetchRuntimeDescriptorTest, MissingMinimumVersionRaisesTheParseError)
{
    serve(L"noversion", "{\"packedJreEbzUrl\":\"http://mirror.test/p.ebz\"}");
    RuntimeDescriptor descriptor = defaultRuntimeDescriptor();
    EXPECT_THROW(fetchRuntimeDescriptor(descriptor, m_log.log()), VersionParseError);
    EXPECT_EQ(L"http://mirror.test/p.ebz", descriptor.packageUrl);
}

TEST_F(FetchRuntimeDescriptorTest, NoObjectOrNoTextChangesNothing)
{
    serve(L"page", "<html><body>502 Bad Gateway</body></html>");
    RuntimeDescriptor descriptor = defaultRuntimeDescriptor();
    EXPECT_NO_THROW(fetchRuntimeDescriptor(descriptor, m_log.log()));
    EXPECT_EQ(m_server.url(L"/page/jre2_packed.ebz"), descriptor.packageUrl);
    EXPECT_EQ(L"", descriptor.minVersion.text);

    // An empty body is a failed download.
    serve(L"empty", "");
    descriptor = defaultRuntimeDescriptor();
    EXPECT_NO_THROW(fetchRuntimeDescriptor(descriptor, m_log.log()));
    EXPECT_EQ(m_server.url(L"/empty/jre2_packed.ebz"), descriptor.packageUrl);
    EXPECT_EQ(1u, m_log.messagesStartingWith("Download [" + narrow(m_server.url(L"/empty/java2.json")) + "] is FAILED")
                      .size());
}

TEST_F(FetchRuntimeDescriptorTest, ServerComesFromTheVariable)
{
    SetEnvironmentVariableW(kRuntimeServerVariable, nullptr);
    EXPECT_EQ(std::wstring(kDefaultRuntimeServer), configuredRuntimeServer());
    EXPECT_EQ(std::wstring(kDefaultRuntimeServer) + L"/jre2_packed.ebz", defaultRuntimeDescriptor().packageUrl);
    SetEnvironmentVariableW(kRuntimeServerVariable, L"");
    EXPECT_EQ(std::wstring(kDefaultRuntimeServer), configuredRuntimeServer());
    SetEnvironmentVariableW(kRuntimeServerVariable, L"http://127.0.0.1:8080/");
    EXPECT_EQ(L"http://127.0.0.1:8080", configuredRuntimeServer());
}

}  // namespace
}  // namespace vantor
