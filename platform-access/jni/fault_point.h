// Fault points: places in the operations and on the hook thread where the
// test build of the library (vreg64_faults.dll) can make a C++ exception
// appear, to show that none leaves the library whatever the operation holds
// at that moment. In the library as shipped they do nothing: it is linked
// with fault_point.cpp, whose faultPoint is empty, and has no way to arm
// one. The test build is linked with fault_point_armed.cpp instead, which
// adds the two exports below.
#pragma once

namespace vantor::access {

// Throws the exception that a test armed for `site`, once; otherwise does
// nothing.
void faultPoint(const char* site);

// What an armed fault point throws.
enum class FaultKind : int {
    None = 0,
    OutOfMemory = 1,        // std::bad_alloc
    StandardException = 2,  // std::length_error, as a string operation throws it
    OtherException = 3,     // an object of no standard exception class
};

// The exports of the test build, found by name:
//   void vreg64ArmFault(const char* site, int kind)
//     arms `site` to throw `kind` (a FaultKind) the next time it is reached;
//     FaultKind::None disarms;
//   int vreg64FaultThrown()
//     1 when the fault armed last has been thrown, otherwise 0.
inline constexpr char kArmFaultExport[] = "vreg64ArmFault";
inline constexpr char kFaultThrownExport[] = "vreg64FaultThrown";
using ArmFaultFunction = void (*)(const char* site, int kind);
using FaultThrownFunction = int (*)();

}  // namespace vantor::access
