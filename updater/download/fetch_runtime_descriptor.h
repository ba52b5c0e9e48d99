// Fetching the runtime descriptor from the runtime download server.
#pragma once

#include "updater/download/runtime_descriptor.h"

#include <string>

namespace vantor {

class DiagnosticsLog;

// The runtime download server's base URL: VANTOR_RUNTIME_SERVER when it is
// set and not empty, else the built-in server.
std::wstring configuredRuntimeServer();

// A descriptor before any document, for the configured server.
RuntimeDescriptor defaultRuntimeDescriptor();

// Downloads <server>/java2.json (download id "JAVA_PARAMS", waiting at most
// 10 seconds) and applies it to the descriptor. A failed or late download,
// or a document that is not a JSON object, leaves the descriptor as it is.
// Raises VersionParseError when the document's "minVersion" cannot be
// parsed, and nothing else.
void fetchRuntimeDescriptor(RuntimeDescriptor& descriptor, DiagnosticsLog& log);

}  // namespace vantor
