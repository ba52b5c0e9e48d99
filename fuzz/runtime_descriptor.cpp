// What the runtime descriptor fetch makes of a downloaded document: the bytes
// decoded from UTF-8, then applied to a descriptor that starts as a fresh run
// has it.
//
// Properties: the only error that leaves the application of a document is
// VersionParseError; the package URL is the initial one or the non-empty
// string member "packedJreEbzUrl"; a minimum version that was taken is the
// parse of the document's "minVersion" text and keeps that text.
#include "fuzz/fuzz_support.h"

#include "updater/download/json_reader.h"
#include "updater/download/runtime_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring document = vantor::fuzz::decodeUtf8(data, size);
    const vantor::RuntimeDescriptor initial = vantor::initialRuntimeDescriptor(vantor::kDefaultRuntimeServer);
    vantor::RuntimeDescriptor descriptor = initial;

    const vantor::JsonValue parsed = vantor::parseJson(document);
    std::wstring expectedUrl = initial.packageUrl;
    std::wstring expectedVersionText;
    if (parsed.kind == vantor::JsonKind::Object) {
        vantor::getStringMember(parsed.members, L"packedJreEbzUrl", expectedUrl);
        vantor::getStringMember(parsed.members, L"minVersion", expectedVersionText);
    }

    bool raised = false;
    try {
        vantor::applyRuntimeDescriptor(descriptor, document);
    } catch (const vantor::VersionParseError&) {
        raised = true;
    }
    FUZZ_CHECK(descriptor.packageUrl == expectedUrl);
    FUZZ_CHECK(!descriptor.packageUrl.empty());
    if (parsed.kind != vantor::JsonKind::Object) {
        FUZZ_CHECK(!raised);
        FUZZ_CHECK(descriptor.minVersion.text.empty() && descriptor.minVersion.major == 0 &&
                   descriptor.minVersion.minor == 0);
        return 0;
    }
    if (raised) {
        FUZZ_CHECK(descriptor.minVersion.text.empty());
    } else {
        FUZZ_CHECK(descriptor.minVersion.text == expectedVersionText);
        FUZZ_CHECK(descriptor.minVersion.major >= 0 && descriptor.minVersion.minor >= 0);
    }
    return 0;
}
