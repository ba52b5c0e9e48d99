// File queries of the launcher.
#pragma once

#include <string>

namespace vantor {

class LocalUtilites {
public:
    // True when a file-system search for `path` finds an entry, a file or a
    // folder; the path is used unchanged, wildcards included. A path that
    // cannot be handed to the system unchanged (it holds a NUL character)
    // raises std::invalid_argument after the line "Exception in
    // LocalUtilites.fileExists()" on currentLog; the caller's handling
    // applies then.
    static bool fileExists(const std::wstring& path);

    // True when `path` names an existing file; false when it is missing or a
    // folder.
    static bool isExistingFile(const std::wstring& path);

    // The whole content of the file at `path`. False, with `bytes` left
    // empty, when it cannot be opened or read.
    static bool readWholeFile(const std::wstring& path, std::string& bytes);
};

}  // namespace vantor
