#include "updater/download/runtime_descriptor.h"

#include "updater/download/json_reader.h"

namespace vantor {

std::wstring runtimeServerBase(const wchar_t* variableValue)
{
    std::wstring base(variableValue != nullptr && *variableValue != L'\0' ? std::wstring_view(variableValue)
                                                                          : kDefaultRuntimeServer);
    while (!base.empty() && base.back() == L'/') {
        base.pop_back();
    }
    return base;
}

std::wstring runtimeDescriptorUrl(std::wstring_view base)
{
    return std::wstring(base) + L"/java2.json";
}

std::wstring runtimePackageUrl(std::wstring_view base)
{
    return std::wstring(base) + L"/jre2_packed.ebz";
}

RuntimeDescriptor initialRuntimeDescriptor(std::wstring_view base)
{
    RuntimeDescriptor descriptor;
    descriptor.packageUrl = runtimePackageUrl(base);
    return descriptor;
}

void applyRuntimeDescriptor(RuntimeDescriptor& descriptor, const std::wstring& document)
{
    if (document.empty()) {
        return;
    }
    const JsonValue parsed = parseJson(document);
    if (parsed.kind != JsonKind::Object) {
        return;
    }
    getStringMember(parsed.members, L"packedJreEbzUrl", descriptor.packageUrl);
    // Runs even without the member: the empty text then fails to parse, and
    // so does the whole fetch, which the JVM chooser treats as the failure of
    // its step.
    std::wstring minVersion;
    getStringMember(parsed.members, L"minVersion", minVersion);
    descriptor.minVersion = parseVersion(minVersion);
}

}  // namespace vantor
