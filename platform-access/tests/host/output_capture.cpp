// Capturing standard output and standard error of the test process.
#include "platform-access/tests/host/jni_host.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace vantor::jnihost {

struct OutputCapture::Stream {
    Stream(int descriptor, DWORD standardHandle, FILE* file)
        : m_descriptor(descriptor), m_standardHandle(standardHandle), m_file(file)
    {
        std::fflush(m_file);
        wchar_t folder[MAX_PATH];
        wchar_t path[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"out", 0, path);
        m_path = path;
        const HANDLE handle =
            CreateFileW(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "cannot create the capture file";
            return;
        }
        // Binary, so that the bytes are those the program wrote (no CR
        // added before LF).
        const int captured = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        m_saved = _dup(m_descriptor);
        _dup2(captured, m_descriptor);
        _close(captured);
        m_savedHandle = GetStdHandle(m_standardHandle);
        SetStdHandle(m_standardHandle, reinterpret_cast<HANDLE>(_get_osfhandle(m_descriptor)));
    }

    ~Stream()
    {
        std::fflush(m_file);
        if (m_saved >= 0) {
            _dup2(m_saved, m_descriptor);
            _close(m_saved);
        }
        SetStdHandle(m_standardHandle, m_savedHandle);
        DeleteFileW(m_path.c_str());
    }

    std::string text()
    {
        std::fflush(m_file);
        std::string bytes;
        const HANDLE file =
            CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return bytes;
        }
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            bytes.append(buffer, read);
        }
        CloseHandle(file);
        return bytes;
    }

    int m_descriptor;
    DWORD m_standardHandle;
    FILE* m_file;
    std::wstring m_path;
    int m_saved = -1;
    HANDLE m_savedHandle = nullptr;
};

OutputCapture::OutputCapture()
    : m_out(std::make_unique<Stream>(1, STD_OUTPUT_HANDLE, stdout)),
      m_error(std::make_unique<Stream>(2, STD_ERROR_HANDLE, stderr))
{
}

OutputCapture::~OutputCapture() = default;

std::string OutputCapture::standardOutput()
{
    return m_out->text();
}

std::string OutputCapture::standardError()
{
    return m_error->text();
}

}  // namespace vantor::jnihost
