#include "updater/startup/diagnostics_log.h"

#include "common/win/system_library.h"
#include "common/win/unique_handle.h"
#include "updater/startup/log_line.h"

#include <vector>

namespace vantor {

DiagnosticsLog* currentLog = nullptr;

namespace {

// The client and the elevated server append to the same file, each opening it
// for one line while allowing others only to read. The one that comes second
// sees a sharing violation (or, while a file of that name is being deleted,
// an access denial); it waits a little and tries again, so that no line
// is lost to an ordinary collision. After about a second it gives up and the
// line is dropped.
constexpr int kOpenAttempts = 100;
constexpr DWORD kOpenPauseMs = 10;

bool isPassingCollision(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Largest converted line, terminator included.
constexpr int kAnsiLineCapacity = 262144;

std::string toAnsiLine(const std::wstring& line)
{
    // The terminator is converted with the text, as it would be into a fixed
    // buffer; a line that does not fit that buffer is replaced by nothing.
    const int needed = WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0 || needed > kAnsiLineCapacity) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, bytes.data(), needed, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(needed) - 1);
    return bytes;
}

using FileInformationByHandleExFn = BOOL WINAPI(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// GetFileInformationByHandleEx, which systems before 6.0 lack.
FileInformationByHandleExFn* fileInformationByHandleEx()
{
    static FileInformationByHandleExFn* const function = win::procAddress<FileInformationByHandleExFn>(
        GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx");
    return function;
}

// What the log needs to know of its opened file before it writes a line.
struct LogFileFacts {
    bool plain = false;      // a disk file, no reparse point, no directory, one name
    bool sizeKnown = false;  // an unknown size never restarts the file
    unsigned long long size = 0;
};

// The log lies in the user's temporary folder, where any program of the user
// can put a link under its name; the elevated copy writes it too. Only a
// plain disk file with one name is written, so that the log can never be
// turned into a way to append to, or empty, some other file.
//
// Where the system has them, two narrow queries answer this, the size
// included: GetFileInformationByHandle also fetches the volume's serial
// number, which can cost many times what the line itself costs.
LogFileFacts inspectLogFile(HANDLE file)
{
    LogFileFacts facts;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return facts;
    }
    constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    if (FileInformationByHandleExFn* query = fileInformationByHandleEx()) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        FILE_STANDARD_INFO standard{};
        facts.plain = query(file, FileAttributeTagInfo, &tag, sizeof tag) && (tag.FileAttributes & kNotPlain) == 0 &&
                      query(file, FileStandardInfo, &standard, sizeof standard) && !standard.Directory &&
                      standard.NumberOfLinks == 1;
        facts.sizeKnown = facts.plain;
        facts.size = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    facts.plain = GetFileInformationByHandle(file, &information) &&
                  (information.dwFileAttributes & kNotPlain) == 0 && information.nNumberOfLinks == 1;
    LARGE_INTEGER size{};
    facts.sizeKnown = facts.plain && GetFileSizeEx(file, &size);
    facts.size = static_cast<unsigned long long>(size.QuadPart);
    return facts;
}

}  // namespace

DiagnosticsLog::DiagnosticsLog(const wchar_t* fileName)
{
    wchar_t folder[2048];
    const DWORD length = GetTempPathW(2048, folder);
    if (length > 0 && length < 2048) {
        m_filePath.assign(folder, length);
        m_filePath += fileName ? fileName : L"";
    }
}

void DiagnosticsLog::setTag(const wchar_t* tag)
{
    win::CriticalSectionLock guard(m_lock);
    m_tag = tag ? tag : L"";
}

HANDLE DiagnosticsLog::openForAppend() const
{
    for (int attempt = 1;; ++attempt) {
        // A link is opened as itself, never followed; see inspectLogFile.
        HANDLE file = CreateFileW(m_filePath.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        const DWORD error = GetLastError();
        if (attempt >= kOpenAttempts || !isPassingCollision(error)) {
            return INVALID_HANDLE_VALUE;
        }
        Sleep(kOpenPauseMs);
    }
}

void DiagnosticsLog::write(const wchar_t* level, const wchar_t* message)
{
    if (message == nullptr) {
        return;
    }
    const DWORD savedError = GetLastError();
    {
        win::CriticalSectionLock guard(m_lock);
        if (!m_filePath.empty()) {
            win::Handle file(openForAppend());
            const LogFileFacts facts = file ? inspectLogFile(file.get()) : LogFileFacts{};
            if (!facts.plain) {
                file.reset();
            }
            if (file && facts.sizeKnown && logNeedsRestart(facts.size)) {
                // Started afresh through the handle: a name can be swapped
                // for a link between two calls, an open handle cannot.
                const LARGE_INTEGER start{};
                if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
                    file.reset();
                }
            }
            if (file) {
                SYSTEMTIME now;
                GetSystemTime(&now);
                const LogTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                   now.wMilliseconds};
                const std::string bytes = toAnsiLine(formatLogLine(time, level ? level : L"", m_tag, message));
                LARGE_INTEGER zero{};
                DWORD written = 0;
                if (SetFilePointerEx(file.get(), zero, nullptr, FILE_END) && !bytes.empty()) {
                    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
                }
            }
        }
    }
    SetLastError(savedError);
}

void DiagnosticsLog::writeLastError()
{
    const DWORD code = GetLastError();
    wchar_t* systemText = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&systemText),
                   0, nullptr);
    win::LocalMemory owner(systemText);

    std::wstring text = L"LastErrorCode #" + std::to_wstring(static_cast<int>(code));
    if (systemText != nullptr) {
        text += L", ErrorText: ";
        text += systemText;
    }
    constexpr std::size_t kCapacity = 512;
    if (text.size() > kCapacity - 1) {
        text.resize(kCapacity - 1);
    }
    write(L"ERROR", text.c_str());
    SetLastError(code);
}

}  // namespace vantor
