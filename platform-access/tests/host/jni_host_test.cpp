// Tests of the JNI test host itself: that correct JNI code runs as in a JVM,
// and that each kind of misuse is caught (a host that let misuse through
// would make every library test that relies on it worthless).
#include "platform-access/tests/host/jni_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace vantor::jnihost {
namespace {

bool mentions(const std::vector<std::string>& violations, const std::string& text)
{
    return std::any_of(violations.begin(), violations.end(),
                       [&](const std::string& v) { return v.find(text) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& violations)
{
    std::string text;
    for (const std::string& v : violations) {
        text += "\n  " + v;
    }
    return text;
}

class JniHostTest : public ::testing::Test {
protected:
    // Runs `body` as a native method and returns the violations it caused.
    std::vector<std::string> misuse(const std::function<jobject(JNIEnv*, jclass)>& body)
    {
        m_host.setViolationMode(ViolationMode::Collect);
        m_host.runNative(body);
        return m_host.takeViolations();
    }

    JniHost m_host;
};

TEST_F(JniHostTest, CollectionsNumbersAndFilesBehaveAsInJava)
{
    const CallResult result = m_host.runNative([](JNIEnv* env, jclass) -> jobject {
        jclass mapClass = env->FindClass("java/util/HashMap");
        jobject map = env->NewObject(mapClass, env->GetMethodID(mapClass, "<init>", "()V"));
        jmethodID put = env->GetMethodID(mapClass, "put", "(Ljava/lang/Object;Ljava/lang/Object;)Ljava/lang/Object;");

        jclass longClass = env->FindClass("java/lang/Long");
        jobject number = env->NewObject(longClass, env->GetMethodID(longClass, "<init>", "(J)V"), jlong{-5});
        jstring key = env->NewStringUTF("DiskSize");
        jobject previous = env->CallObjectMethod(map, put, key, number);
        EXPECT_EQ(nullptr, previous);

        jclass listClass = env->FindClass("java/util/ArrayList");
        jobject list = env->NewObject(listClass, env->GetMethodID(listClass, "<init>", "()V"));
        jclass fileClass = env->FindClass("java/io/File");
        jstring path = env->NewStringUTF("c:\\");
        jobject file = env->NewObject(fileClass, env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;)V"), path);
        EXPECT_TRUE(env->CallBooleanMethod(list, env->GetMethodID(listClass, "add", "(Ljava/lang/Object;)Z"), file));
        jstring listKey = env->NewStringUTF("Drives");
        // Same key again: put replaces the value and returns the old one.
        env->CallObjectMethod(map, put, listKey, number);
        jobject replaced = env->CallObjectMethod(map, put, listKey, list);
        EXPECT_TRUE(env->IsSameObject(replaced, number));

        for (jobject local :
             {static_cast<jobject>(mapClass), static_cast<jobject>(longClass), number, static_cast<jobject>(key),
              static_cast<jobject>(listClass), list, static_cast<jobject>(fileClass), static_cast<jobject>(path), file,
              static_cast<jobject>(listKey), replaced}) {
            env->DeleteLocalRef(local);
        }
        return map;
    });
    EXPECT_TRUE(result.violations.empty()) << joined(result.violations);
    ASSERT_EQ(Value::Kind::HashMap, result.value.kind());
    ASSERT_EQ(2u, result.value.entries().size());
    EXPECT_EQ(-5, result.value.get(L"DiskSize")->longValue());
    const Value* drives = result.value.get(L"Drives");
    ASSERT_NE(nullptr, drives);
    ASSERT_EQ(1u, drives->elements().size());
    EXPECT_EQ(Value::Kind::File, drives->elements()[0].kind());
    EXPECT_EQ(L"c:\\", drives->elements()[0].string());
}

TEST_F(JniHostTest, ObjectArraysCheckBoundsAndElementTypes)
{
    const CallResult result = m_host.runNative([](JNIEnv* env, jclass) -> jobject {
        jclass stringClass = env->FindClass("java/lang/String");
        jobjectArray array = env->NewObjectArray(2, stringClass, nullptr);
        jstring text = env->NewStringUTF("a");
        env->SetObjectArrayElement(array, 1, text);
        env->SetObjectArrayElement(array, 2, text);
        EXPECT_TRUE(env->ExceptionCheck());  // ArrayIndexOutOfBoundsException
        env->ExceptionClear();
        jclass integerClass = env->FindClass("java/lang/Integer");
        jobject number = env->NewObject(integerClass, env->GetMethodID(integerClass, "<init>", "(I)V"), 7);
        env->SetObjectArrayElement(array, 0, number);  // not a String
        jthrowable stored = env->ExceptionOccurred();
        env->ExceptionClear();
        jclass storeError = env->FindClass("java/lang/ArrayStoreException");
        EXPECT_TRUE(env->IsInstanceOf(stored, storeError));
        EXPECT_EQ(2, env->GetArrayLength(array));
        for (jobject local :
             {static_cast<jobject>(stringClass), static_cast<jobject>(text), static_cast<jobject>(integerClass), number,
              static_cast<jobject>(stored), static_cast<jobject>(storeError)}) {
            env->DeleteLocalRef(local);
        }
        return array;
    });
    EXPECT_TRUE(result.violations.empty()) << joined(result.violations);
    ASSERT_EQ(Value::Kind::ObjectArray, result.value.kind());
    EXPECT_EQ("[Ljava/lang/String;", result.value.className());
    ASSERT_EQ(2u, result.value.elements().size());
    EXPECT_TRUE(result.value.elements()[0].isNull());
    EXPECT_EQ(L"a", result.value.elements()[1].string());
}

TEST_F(JniHostTest, FailedLookupsLeaveTheJvmErrorsPending)
{
    const CallResult missingClass = m_host.runNative([](JNIEnv* env, jclass) -> jobject {
        EXPECT_EQ(nullptr, env->FindClass("ru/vantor/Missing"));
        return nullptr;
    });
    ASSERT_TRUE(missingClass.exception);
    EXPECT_EQ("java/lang/NoClassDefFoundError", missingClass.exception->className);

    const CallResult missingMethod = m_host.runNative([](JNIEnv* env, jclass clazz) -> jobject {
        EXPECT_EQ(nullptr, env->GetStaticMethodID(clazz, "callback", "(II)J"));
        return nullptr;
    });
    ASSERT_TRUE(missingMethod.exception);
    EXPECT_EQ("java/lang/NoSuchMethodError", missingMethod.exception->className);
}

TEST_F(JniHostTest, CallingWhileAnExceptionIsPendingIsCaught)
{
    const std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->FindClass("ru/vantor/Missing");
        // Allowed while pending:
        env->ExceptionCheck();
        jthrowable pending = env->ExceptionOccurred();
        env->DeleteLocalRef(pending);
        // Not allowed:
        jstring text = env->NewStringUTF("x");
        env->DeleteLocalRef(text);
        return nullptr;
    });
    ASSERT_EQ(1u, violations.size()) << joined(violations);
    EXPECT_TRUE(mentions(violations, "NewStringUTF: called with an exception pending")) << joined(violations);
}

TEST_F(JniHostTest, LeakedLocalReferencesAndFramesAreCaught)
{
    std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->NewStringUTF("kept");
        return env->NewStringUTF("returned");  // the returned one is fine
    });
    ASSERT_EQ(1u, violations.size()) << joined(violations);
    EXPECT_TRUE(mentions(violations, "still live when it returned: NewStringUTF")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->PushLocalFrame(4);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "1 local frame(s) pushed and not popped")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->PushLocalFrame(4);
        jstring inner = env->NewStringUTF("inner");
        return env->PopLocalFrame(inner);  // moved to the outer frame and returned: no leak
    });
    EXPECT_TRUE(violations.empty()) << joined(violations);
}

TEST_F(JniHostTest, DeletedAndForeignReferencesAreCaught)
{
    std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        jstring text = env->NewStringUTF("x");
        env->DeleteLocalRef(text);
        env->GetStringLength(text);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "GetStringLength: reference already deleted")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        int notAReference = 0;
        env->GetStringLength(reinterpret_cast<jstring>(&notAReference));
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "foreign reference")) << joined(violations);

    // A reference of one VM is foreign to another.
    JniHost other;
    jobject global = nullptr;
    other.runNative([&](JNIEnv* env, jclass clazz) -> jobject {
        global = env->NewGlobalRef(clazz);
        return nullptr;
    });
    violations = misuse([&](JNIEnv* env, jclass) -> jobject {
        env->GetObjectClass(global);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "foreign reference")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass clazz) -> jobject {
        env->DeleteGlobalRef(clazz);  // a local reference
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "DeleteGlobalRef: given a reference of another kind")) << joined(violations);
}

TEST_F(JniHostTest, ReferencesAndEnvironmentsAreBoundToTheirThread)
{
    const std::vector<std::string> violations = misuse([&](JNIEnv* env, jclass) -> jobject {
        jstring local = env->NewStringUTF("x");
        JavaVM* vm = nullptr;
        env->GetJavaVM(&vm);
        std::thread other([&] {
            JNIEnv* otherEnv = nullptr;
            env->GetVersion();  // the JNIEnv of another thread
            ASSERT_EQ(JNI_OK, vm->AttachCurrentThread(reinterpret_cast<void**>(&otherEnv), nullptr));
            otherEnv->GetStringLength(local);  // another thread's local reference
            EXPECT_EQ(JNI_OK, vm->DetachCurrentThread());
        });
        other.join();
        env->DeleteLocalRef(local);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "GetVersion: JNIEnv of thread")) << joined(violations);
    EXPECT_TRUE(mentions(violations, "GetStringLength: local reference of thread")) << joined(violations);
}

TEST_F(JniHostTest, AttachedThreadsCallJavaAndDetachClean)
{
    m_host.setCallback([](const CallbackCall& call) { return Answer(call.message == 16 ? 0 : -1); });
    JavaVM* vm = m_host.vm();
    jclass global = nullptr;
    m_host.runNative([&](JNIEnv* env, jclass clazz) -> jobject {
        global = static_cast<jclass>(env->NewGlobalRef(clazz));
        return nullptr;
    });
    jlong answers[2] = {};
    std::thread hook([&] {
        JNIEnv* env = nullptr;
        EXPECT_EQ(JNI_EDETACHED, vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8));
        ASSERT_EQ(JNI_OK, vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr));
        jmethodID callback = env->GetStaticMethodID(global, "callback", "(IIJ)J");
        answers[0] = env->CallStaticLongMethod(global, callback, 16, 0, jlong{0});
        answers[1] = env->CallStaticLongMethod(global, callback, 5, -1, jlong{1} << 40);
        EXPECT_EQ(JNI_OK, vm->DetachCurrentThread());
    });
    hook.join();
    EXPECT_EQ(0, answers[0]);
    EXPECT_EQ(-1, answers[1]);
    const std::vector<CallbackCall> calls = m_host.callbackCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(16, calls[0].message);
    EXPECT_EQ(-1, calls[1].wParam);
    EXPECT_EQ(jlong{1} << 40, calls[1].lParam);
    EXPECT_NE(GetCurrentThreadId(), calls[0].threadId);
    EXPECT_EQ(1, m_host.attachCount());
    EXPECT_EQ(1, m_host.detachCount());
    EXPECT_EQ(1u, m_host.globalReferenceCount());
}

TEST_F(JniHostTest, ListenersRecordTheirMessagesAndAnswerAsProgrammed)
{
    const ObjectHandle listener =
        m_host.newListener([](const std::wstring& text) { return Answer(text == L"stop" ? 0 : 1); });
    const ObjectHandle thrower = m_host.newListener([](const std::wstring&) { return Answer::throwing(L"no"); });
    const ObjectHandle plain = m_host.newPlainObject();
    const CallResult result = m_host.runNative([&](JNIEnv* env, jclass) -> jobject {
        jobject target = m_host.newLocal(listener);
        jclass type = env->GetObjectClass(target);
        jmethodID general = env->GetMethodID(type, "generalMessage", "(Ljava/lang/String;)J");
        jstring hop = env->NewStringUTF("1, -1062731519, 3, 1");
        jstring stop = env->NewStringUTF("stop");
        EXPECT_EQ(1, env->CallLongMethod(target, general, hop));
        EXPECT_EQ(0, env->CallLongMethod(target, general, stop));

        jclass plainType = env->GetObjectClass(m_host.newLocal(plain));
        EXPECT_EQ(nullptr, env->GetMethodID(plainType, "generalMessage", "(Ljava/lang/String;)J"));
        env->ExceptionClear();

        env->CallLongMethod(m_host.newLocal(thrower), general, hop);
        for (jobject local : {static_cast<jobject>(type), static_cast<jobject>(hop), static_cast<jobject>(stop),
                              static_cast<jobject>(plainType)}) {
            env->DeleteLocalRef(local);
        }
        return nullptr;
    });
    EXPECT_TRUE(result.violations.empty()) << joined(result.violations);
    ASSERT_TRUE(result.exception);
    EXPECT_EQ("java/lang/RuntimeException", result.exception->className);
    EXPECT_EQ(L"no", result.exception->message);
    EXPECT_EQ((std::vector<std::wstring>{L"1, -1062731519, 3, 1", L"stop"}), m_host.listenerMessages(listener));
}

TEST_F(JniHostTest, StringCharactersAreAnUnterminatedCopyThatMustBeReleased)
{
    std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        jstring text = env->NewStringUTF("ab");
        jboolean isCopy = JNI_FALSE;
        const jchar* units = env->GetStringChars(text, &isCopy);
        EXPECT_EQ(JNI_TRUE, isCopy);
        EXPECT_EQ(u'a', units[0]);
        EXPECT_NE(0, units[2]);  // no terminator after the two characters
        env->DeleteLocalRef(text);
        return nullptr;  // never released
    });
    EXPECT_TRUE(mentions(violations, "string characters not released")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        jstring text = env->NewStringUTF("ab");
        const char* bytes = env->GetStringUTFChars(text, nullptr);
        EXPECT_STREQ("ab", bytes);  // modified UTF-8 is terminated
        env->ReleaseStringUTFChars(text, bytes);
        env->ReleaseStringUTFChars(text, bytes);  // twice
        env->DeleteLocalRef(text);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "ReleaseStringUTFChars: characters that were not handed out"))
        << joined(violations);
}

TEST_F(JniHostTest, ModifiedUtf8RoundTrips)
{
    const CallResult result = m_host.runNative([](JNIEnv* env, jclass) -> jobject {
        const jchar units[] = {u'A', 0, 0x0141, 0xFFFF};
        jstring text = env->NewString(units, 4);
        const char* bytes = env->GetStringUTFChars(text, nullptr);
        EXPECT_EQ(8u, std::strlen(bytes));  // 1 + 2 (C0 80 for the zero) + 2 + 3
        jstring copy = env->NewStringUTF(bytes);
        env->ReleaseStringUTFChars(text, bytes);
        env->DeleteLocalRef(text);
        return copy;
    });
    EXPECT_EQ(std::wstring(L"A\0\u0141\uFFFF", 4), result.value.string());
}

TEST_F(JniHostTest, BadClassNamesAndMissingFunctionsAreCaught)
{
    std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        jclass byDescriptor = env->FindClass("Ljava/lang/String;");
        env->DeleteLocalRef(byDescriptor);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "class descriptor \"Ljava/lang/String;\"")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->NewByteArray(3);
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "NewByteArray: not provided by the test host")) << joined(violations);
}

TEST_F(JniHostTest, MethodIdsMustFitTheCall)
{
    const std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        jclass listClass = env->FindClass("java/util/ArrayList");
        jobject list = env->NewObject(listClass, env->GetMethodID(listClass, "<init>", "()V"));
        jmethodID size = env->GetMethodID(listClass, "size", "()I");
        env->CallLongMethod(list, size);  // size returns int
        jclass fileClass = env->FindClass("java/io/File");
        jstring path = env->NewStringUTF("x");
        jobject file = env->NewObject(fileClass, env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;)V"), path);
        env->CallIntMethod(file, size);  // not a method of File
        for (jobject local : {static_cast<jobject>(listClass), list, static_cast<jobject>(fileClass),
                              static_cast<jobject>(path), file}) {
            env->DeleteLocalRef(local);
        }
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "returns int, not long")) << joined(violations);
    EXPECT_TRUE(mentions(violations, "is not an instance method of java/io/File")) << joined(violations);
}

TEST_F(JniHostTest, TooManyLiveLocalsInOneFrameAreCaught)
{
    std::vector<std::string> violations = misuse([](JNIEnv* env, jclass) -> jobject {
        std::vector<jstring> texts;
        for (int i = 0; i < 17; ++i) {
            texts.push_back(env->NewStringUTF("x"));
        }
        for (jstring text : texts) {
            env->DeleteLocalRef(text);
        }
        return nullptr;
    });
    EXPECT_TRUE(mentions(violations, "more than 16 local references live")) << joined(violations);

    violations = misuse([](JNIEnv* env, jclass) -> jobject {
        env->EnsureLocalCapacity(40);
        std::vector<jstring> texts;
        for (int i = 0; i < 40; ++i) {
            texts.push_back(env->NewStringUTF("x"));
        }
        for (jstring text : texts) {
            env->DeleteLocalRef(text);
        }
        return nullptr;
    });
    EXPECT_TRUE(violations.empty()) << joined(violations);
}

TEST_F(JniHostTest, CapturesStandardOutputAndErrorOfTheProcess)
{
    std::string error;
    std::string output;
    {
        OutputCapture capture;
        std::fputs("to error\n", stderr);
        std::printf("to output %d\n", 1);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), "win32\n", 6, &written, nullptr);
        error = capture.standardError();
        output = capture.standardOutput();
    }
    // The C runtime's stream may hold its text until it is flushed, so only
    // the presence of both is certain, not their order.
    EXPECT_EQ(15u, error.size()) << error;
    EXPECT_NE(std::string::npos, error.find("to error\n"));
    EXPECT_NE(std::string::npos, error.find("win32\n"));
    EXPECT_EQ("to output 1\n", output);
}

}  // namespace
}  // namespace vantor::jnihost
