// The fault points of the test build of the library: a test arms one site
// with the exception it is to throw, through an export that only this build
// has (see fault_point.h).
#include "platform-access/jni/fault_point.h"

#include <jni.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

namespace vantor::access {
namespace {

// The hook thread reaches its sites while a test thread arms them.
std::mutex armedMutex;
std::string armedSite;
FaultKind armedKind = FaultKind::None;
bool armedThrown = false;

// A type of no standard exception hierarchy, as a foreign library might
// throw.
struct ForeignFailure {
    int code;
};

}  // namespace

void faultPoint(const char* site)
{
    FaultKind kind = FaultKind::None;
    {
        const std::lock_guard<std::mutex> lock(armedMutex);
        if (armedKind == FaultKind::None || armedSite != site) {
            return;
        }
        kind = armedKind;
        armedKind = FaultKind::None;
        armedThrown = true;
    }
    switch (kind) {
    case FaultKind::OutOfMemory: throw std::bad_alloc();
    case FaultKind::StandardException: throw std::length_error("fault point");
    default: throw ForeignFailure{static_cast<int>(kind)};
    }
}

}  // namespace vantor::access

using namespace vantor::access;

extern "C" JNIEXPORT void vreg64ArmFault(const char* site, int kind)
{
    const std::lock_guard<std::mutex> lock(armedMutex);
    armedSite = site != nullptr ? site : "";
    armedKind = static_cast<FaultKind>(kind);
    armedThrown = false;
}

extern "C" JNIEXPORT int vreg64FaultThrown()
{
    const std::lock_guard<std::mutex> lock(armedMutex);
    return armedThrown ? 1 : 0;
}
