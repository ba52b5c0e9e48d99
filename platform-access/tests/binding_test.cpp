// The binding between the Java class and the library: the native methods of
// OvWin32AccessInterface as javac declares them are the table the library
// implements, and every one of them is exported under its JNI name, together
// with the narrow and wide C++ forms and the class CVreg.
#include "platform-access/tests/host/jni_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace vantor::jnihost {
namespace {

const std::string kPrefix = "Java_ru_vantor_platform_win32_access_impl_OvWin32AccessInterface_";

struct TableRow {
    const char* method;
    const char* signature;
    const char* pair;  // name of the A/W implementations, or null
};

// The export table of the library.
const TableRow kTable[] = {
    {"initialise", "()V", nullptr},
    {"destroy", "()V", nullptr},
    {"getVersion", "()Ljava/lang/String;", "getVersion"},
    {"getModuleName", "()Ljava/lang/String;", "getModuleName"},
    {"testNativeAvailability", "(Ljava/lang/String;)Z", "testNativeAvailability"},
    {"readStringValue", "(ILjava/lang/String;Ljava/lang/String;)Ljava/lang/String;", "readStringValue"},
    {"readWordValue", "(ILjava/lang/String;Ljava/lang/String;)I", "readWordValue"},
    {"writeStringValue", "(ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", "writeStringValue"},
    {"writeWordValue", "(ILjava/lang/String;Ljava/lang/String;I)V", "writeWordValue"},
    {"deleteKey", "(ILjava/lang/String;Z)V", "deleteKey"},
    {"deleteValue", "(ILjava/lang/String;Ljava/lang/String;)V", "deleteValue"},
    {"getRegSubKeys", "(ILjava/lang/String;)[Ljava/lang/String;", nullptr},
    {"getRegKeyValues", "(ILjava/lang/String;)[Ljava/lang/Object;", nullptr},
    {"getFileAttributes", "(Ljava/lang/String;)I", nullptr},
    {"setFileAttributes", "(Ljava/lang/String;I)Z", nullptr},
    {"getFileInfo", "(Ljava/lang/String;)Ljava/util/HashMap;", nullptr},
    {"getLongPathName", "(Ljava/lang/String;)Ljava/lang/String;", nullptr},
    {"getShortPathName", "(Ljava/lang/String;)Ljava/lang/String;", nullptr},
    {"moveToRecycleBin", "(Ljava/lang/String;)V", "moveToRecycleBin"},
    {"copyPermission", "(Ljava/lang/String;Ljava/lang/String;)V", "copyPermission"},
    {"createProcess", "(Ljava/lang/String;Z)V", "createProcess"},
    {"shellExecute", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)I", "shellExecute"},
    {"shellExecuteAndWait", "(Ljava/lang/String;Ljava/lang/String;)I", "shellExecAndWait"},
    {"getProcessId", "(I)I", nullptr},
    {"createMutex", "(Ljava/lang/String;)J", nullptr},
    {"getUserAppData", "()Ljava/lang/String;", nullptr},
    {"getComputerName", "()Ljava/lang/String;", nullptr},
    {"getAvailableDrives", "()Ljava/util/ArrayList;", nullptr},
    {"getDriveInfo", "(C)Ljava/util/HashMap;", nullptr},
    {"traceRoute", "(IIIILjava/lang/Object;)V", nullptr},
    {"startBroadcast", "(ILjava/lang/String;)J", nullptr},
    {"shellNotifyIcon", "(IIIIILjava/lang/String;IILjava/lang/String;Ljava/lang/String;II)Z", nullptr},
    {"setThreadExecutionState", "(I)I", nullptr},
    {"enableScreenSaver", "()I", nullptr},
    {"disableScreenSaver", "()I", nullptr},
    {"disableScreenSaver2", "()J", nullptr},
    {"SHChangeNotify", "()V", nullptr},
    {"isWin7OrLater", "()Z", nullptr},
    {"isCorrectOSVersion", "(Ljava/lang/String;)Z", nullptr},
};

// How the compiler spells a JNI parameter type in a demangled C++ name. On
// Windows jint is long, so these are also the types that MSVC decorates.
std::string demangledType(const std::string& cType)
{
    static const std::map<std::string, std::string> kTypes = {
        {"JNIEnv *", "JNIEnv_*"}, {"jclass", "_jclass*"}, {"jstring", "_jstring*"},      {"jobject", "_jobject*"},
        {"jint", "long"},         {"jlong", "long long"}, {"jboolean", "unsigned char"}, {"jchar", "unsigned short"},
    };
    const auto found = kTypes.find(cType);
    return found == kTypes.end() ? "?" + cType : found->second;
}

std::string cppSignature(const std::string& function, const DeclaredNative& native)
{
    std::string text = function + "(";
    for (std::size_t i = 0; i < native.cTypes.size(); ++i) {
        text += (i ? ", " : "") + demangledType(native.cTypes[i]);
    }
    return text + ")";
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_natives = readJniHeader(interfaceHeaderPath());
        ASSERT_FALSE(m_natives.empty()) << "no generated header at " << narrow(interfaceHeaderPath());
    }

    std::vector<DeclaredNative> m_natives;
};

TEST_F(Binding, TheJavaClassDeclaresExactlyTheExportTable)
{
    std::map<std::string, std::string> declared;
    for (const DeclaredNative& native : m_natives) {
        EXPECT_TRUE(declared.emplace(native.method, native.signature).second) << "overloaded: " << native.method;
        EXPECT_EQ(kPrefix + native.method, native.function);
    }
    std::map<std::string, std::string> table;
    for (const TableRow& row : kTable) {
        table.emplace(row.method, row.signature);
    }
    EXPECT_EQ(table, declared);
}

TEST_F(Binding, EveryNativeOfTheJavaClassIsExportedUnderItsJniName)
{
    JniHost host;  // fails the test for every native it cannot bind
    NativeLibrary& library = host.load();
    ASSERT_NE(nullptr, library.module());
    for (const DeclaredNative& native : m_natives) {
        EXPECT_TRUE(library.isBound(native.method)) << native.method;
        EXPECT_NE(nullptr, GetProcAddress(library.module(), native.function.c_str())) << native.function;
    }
}

TEST_F(Binding, NarrowAndWideFormsAreExportedWithTheJavaMethodsParameters)
{
    JniHost host;
    NativeLibrary& library = host.load();
    std::set<std::string> demangled;
    for (const NativeLibrary::Export& entry : library.exports()) {
        demangled.insert(entry.demangled);
    }
    std::set<std::string> expected;
    for (const TableRow& row : kTable) {
        if (row.pair == nullptr) {
            continue;
        }
        const auto native = std::find_if(m_natives.begin(), m_natives.end(),
                                         [&](const DeclaredNative& n) { return n.method == row.method; });
        ASSERT_NE(m_natives.end(), native) << row.method;
        for (const char* suffix : {"A", "W"}) {
            expected.insert(cppSignature(kPrefix + row.pair + suffix, *native));
        }
        if (std::string(row.method) == "getModuleName") {
            // The entry point under its C++ name as well.
            expected.insert(cppSignature(kPrefix + row.method, *native));
        }
    }
    expected.insert("CVreg::CVreg()");
    expected.insert("CVreg::operator=(CVreg const&)");
    for (const std::string& name : expected) {
        EXPECT_EQ(1u, demangled.count(name)) << "not exported: " << name;
    }

    // Nothing else: every export is a JNI entry point or one of the above.
    std::set<std::string> entryPoints;
    for (const DeclaredNative& native : m_natives) {
        entryPoints.insert(native.function);
    }
    for (const std::string& name : demangled) {
        EXPECT_TRUE(entryPoints.count(name) || expected.count(name)) << "unexpected export: " << name;
    }
}

}  // namespace
}  // namespace vantor::jnihost
