// Capturing standard output and standard error of the test process.
#include "platform-access/tests/host/jni_host.h"
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

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
        return testing::readFileBytes(m_path);
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

struct PipeReader::State {
    int descriptor = -1;
    DWORD standardHandle = 0;
    FILE* file = nullptr;
    win::Handle readEnd;
    int saved = -1;
    HANDLE savedHandle = nullptr;
    std::thread reader;
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::string text;

    // Reads what is in the pipe, polling rather than waiting in ReadFile:
    // the writing end may live on in a process that Wine starts meanwhile
    // (the desktop process of the first window inherits the standard
    // handles), so the end of the pipe cannot be what ends the reader.
    void read()
    {
        for (;;) {
            const bool last = stop.load();
            DWORD available = 0;
            while (PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                char buffer[4096];
                DWORD got = 0;
                if (!ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) || got == 0) {
                    break;
                }
                std::lock_guard<std::mutex> lock(mutex);
                text.append(buffer, got);
                arrived.notify_all();
            }
            if (last) {
                return;
            }
            Sleep(1);
        }
    }
};

PipeReader::PipeReader(Stream stream) : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    const bool output = stream == Stream::Output;
    state.descriptor = output ? 1 : 2;
    state.standardHandle = output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    state.file = output ? stdout : stderr;
    // What the stream holds from before goes where it was meant to go.
    std::fflush(state.file);

    HANDLE writeEnd = nullptr;
    if (!CreatePipe(state.readEnd.put(), &writeEnd, nullptr, 0)) {
        ADD_FAILURE() << "cannot create the pipe";
        return;
    }
    // Binary, so that the bytes are those the program wrote.
    const int piped = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    state.saved = _dup(state.descriptor);
    _dup2(piped, state.descriptor);
    _close(piped);
    state.savedHandle = GetStdHandle(state.standardHandle);
    SetStdHandle(state.standardHandle, reinterpret_cast<HANDLE>(_get_osfhandle(state.descriptor)));
    state.reader = std::thread([&state] { state.read(); });
}

PipeReader::~PipeReader()
{
    State& state = *m_state;
    if (!state.readEnd) {
        return;
    }
    std::fflush(state.file);
    _dup2(state.saved, state.descriptor);
    _close(state.saved);
    SetStdHandle(state.standardHandle, state.savedHandle);
    state.stop = true;
    state.reader.join();
}

bool PipeReader::waitFor(const std::string& text, DWORD timeoutMs, std::size_t count)
{
    State& state = *m_state;
    const auto enough = [&state, &text, count] {
        std::size_t found = 0;
        for (std::size_t at = state.text.find(text); at != std::string::npos && found < count;
             at = state.text.find(text, at + 1)) {
            ++found;
        }
        return found >= count;
    };
    std::unique_lock<std::mutex> lock(state.mutex);
    return state.arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), enough);
}

std::string PipeReader::text() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->text;
}

}  // namespace vantor::jnihost
