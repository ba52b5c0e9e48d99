// The runtime descriptor: where the packed Java runtime is and which runtime
// version the application needs at least, as the runtime download server's
// "java2.json" says. Pure: no Windows calls (the fetch is in
// fetch_runtime_descriptor.h).
#pragma once

#include "updater/jvm/java_version.h"

#include <string>
#include <string_view>

namespace vantor {

// The runtime download server of a normal installation. The environment
// variable VANTOR_RUNTIME_SERVER, when set to a non-empty text, replaces it
// (for example with http://127.0.0.1:8080 for a local test server).
inline constexpr std::wstring_view kDefaultRuntimeServer = L"http://update.vantor.ru";
inline constexpr const wchar_t* kRuntimeServerVariable = L"VANTOR_RUNTIME_SERVER";

struct RuntimeDescriptor {
    std::wstring packageUrl;  // the packed runtime "jre2_packed.ebz"
    JavaVersion minVersion;   // empty text and zeros until a document gives one
};

// The server's base URL: the variable's value when it is set and not empty,
// else the built-in server; trailing slashes are dropped so that the
// documents' paths can be appended.
std::wstring runtimeServerBase(const wchar_t* variableValue);

// <base>/java2.json and <base>/jre2_packed.ebz.
std::wstring runtimeDescriptorUrl(std::wstring_view base);
std::wstring runtimePackageUrl(std::wstring_view base);

// A descriptor before any document: the package at the server's root and an
// empty minimum version.
RuntimeDescriptor initialRuntimeDescriptor(std::wstring_view base);

// Applies a downloaded document. An empty text, or one that is not a JSON
// object, leaves the descriptor as it is. Otherwise a non-empty string
// "packedJreEbzUrl" becomes the package URL, and then "minVersion" is parsed
// into the minimum version; when that member is missing, not a non-empty
// string, or holds no group of three numbers, VersionParseError is raised
// (the package URL has been taken by then).
void applyRuntimeDescriptor(RuntimeDescriptor& descriptor, const std::wstring& document);

}  // namespace vantor
