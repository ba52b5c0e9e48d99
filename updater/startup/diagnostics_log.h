// The updater's diagnostics log: "VantorUpdater.log" in the account's
// temporary folder, one line per event, opened and closed for every line.
#pragma once

#include "common/win/lock.h"

#include <windows.h>

#include <string>

namespace vantor {

class DiagnosticsLog {
public:
    // File path := the temporary folder (GetTempPathW, which ends with a
    // separator) followed by `fileName`. The tag starts as "DEF". No file is
    // touched until the first line. When the temporary folder cannot be
    // determined, every line is lost.
    explicit DiagnosticsLog(const wchar_t* fileName);

    DiagnosticsLog(const DiagnosticsLog&) = delete;
    DiagnosticsLog& operator=(const DiagnosticsLog&) = delete;

    void setTag(const wchar_t* tag);

    // Appends one line at `level` ("INFO", "WARNING", "ERROR"). A null message
    // writes nothing. Never reports a failure: a line that cannot be written
    // is lost silently. Safe to call from every thread of the process; keeps
    // the calling thread's last-error value.
    //
    // Only a plain disk file with a single name is written: a log name that
    // is a reparse point (a link), a hard link to another file or a device
    // loses its lines. Once the file holds 205,824 bytes it is emptied
    // through the opened handle and starts again with the line.
    void write(const wchar_t* level, const wchar_t* message);
    void write(const wchar_t* level, const std::wstring& message) { write(level, message.c_str()); }

    // Logs the calling thread's last Windows error and the system's text for
    // it at "ERROR": "LastErrorCode #<code>, ErrorText: <text>".
    void writeLastError();

    const std::wstring& filePath() const { return m_filePath; }

private:
    HANDLE openForAppend() const;

    win::CriticalSection m_lock;
    std::wstring m_filePath;
    std::wstring m_tag = L"DEF";
};

// The process-wide log, set by the entry before the runtime choice starts;
// the runtime choice and the downloader write through it.
extern DiagnosticsLog* currentLog;

}  // namespace vantor
