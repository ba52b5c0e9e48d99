#include "platform-access/core/version_names.h"

namespace vantor::access {
namespace {

constexpr VersionRequirement kRequirements[] = {
    {L"IsWindowsXPSP1OrGreater", 5, 1, 1},
    {L"IsWindowsXPSP2OrGreater", 5, 1, 2},
    {L"IsWindowsXPSP3OrGreater", 5, 1, 3},
    {L"IsWindowsVistaSP1OrGreater", 6, 0, 1},
    {L"IsWindowsVistaSP2OrGreater", 6, 0, 2},
    {L"IsWindows7SP1OrGreater", 6, 1, 1},
    {L"IsWindows8OrGreater", 6, 2, 0},
    {L"IsWindows8Point1OrGreater", 6, 3, 0},
    {L"IsWindows10OrGreater", 10, 0, 0},
};

}  // namespace

const VersionRequirement* findVersionRequirement(std::wstring_view name) noexcept
{
    for (const VersionRequirement& requirement : kRequirements) {
        if (name == requirement.name) {
            return &requirement;
        }
    }
    return nullptr;
}

}  // namespace vantor::access
