// The fault points of the library as shipped: they do nothing (see
// fault_point.h).
#include "platform-access/jni/fault_point.h"

namespace vantor::access {

void faultPoint(const char*) {}

}  // namespace vantor::access
