// Where a download's bytes go.
#pragma once

#include <cstdint>
#include <string>

namespace vantor::download {

// The destination of a download. The operations keep this slot order.
// There is no virtual destructor: an output is always destroyed through its
// own class, by the shared ownership that was created with it
// (std::make_shared of the concrete class).
class IDownloadOutput {
public:
    // Prepares the destination for a resource of that file name; false when
    // it cannot.
    virtual bool openOutput(const std::wstring& fileName) = 0;
    // The digest text of what the output holds, compared with the server's
    // Content-MD5 value; empty when the output keeps no digest (the check is
    // then skipped).
    virtual std::wstring md5() = 0;
    // The bytes held: the end of the furthest write.
    virtual std::uint32_t size() = 0;
    // Stores `length` bytes of `buffer` at byte `position`. Called from
    // several threads at once.
    virtual void write(const std::uint8_t* buffer, std::uint32_t position, std::uint32_t length) = 0;
    // Marks the download as finished, with its success.
    virtual void setComplete(bool success) = 0;
    // The output's name for log lines.
    virtual std::wstring name() = 0;
    virtual bool isComplete() = 0;

protected:
    IDownloadOutput() = default;
    ~IDownloadOutput() = default;
    IDownloadOutput(const IDownloadOutput&) = default;
    IDownloadOutput& operator=(const IDownloadOutput&) = default;
};

}  // namespace vantor::download
