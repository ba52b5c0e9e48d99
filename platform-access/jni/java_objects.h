// The Java objects that operations build and hand to Java: a java.util.HashMap
// filled with boxed numbers and strings, and a java.util.ArrayList of
// java.io.File objects.
//
// Every JNI call that can fail is checked. After a failure the VM's exception
// (or the one a Java method threw) is pending, the builder refuses any further
// call that is not allowed then, and the operation returns what it has: the
// object (if it was made) or null, with the exception pending for Java to
// see. Each builder deletes every local reference it made, except the object
// handed out by take().
#pragma once

#include "platform-access/core/drive_facts.h"

#include <jni.h>

#include <cstdint>
#include <string>

namespace vantor::access {

class JavaMap {
public:
    // Which boxed number the map's numeric values are.
    enum class Numbers { Integer, Long };

    // Creates an empty java.util.HashMap and looks up its "put" method and
    // the constructor of the boxed number.
    JavaMap(JNIEnv* env, Numbers numbers);
    ~JavaMap();
    JavaMap(const JavaMap&) = delete;
    JavaMap& operator=(const JavaMap&) = delete;

    // False when the map or a lookup could not be made (the VM's exception
    // is pending).
    bool ready() const { return m_map != nullptr && m_put != nullptr && m_numberConstructor != nullptr; }

    // Each put is made only while nothing has failed; it returns false when
    // it could not be made or failed (with an exception pending).
    bool putNumber(const char* key, std::int64_t number);
    bool putText(const char* key, const std::wstring& text);
    // Puts every entry of `facts` in order, numbers as the map's boxed kind.
    bool putAll(const DriveFacts& facts);

    // Hands over the map (null when it could not be made).
    jobject take();

private:
    bool put(const char* key, jobject value);

    JNIEnv* m_env;
    Numbers m_numbers;
    jclass m_mapClass = nullptr;
    jobject m_map = nullptr;
    jmethodID m_put = nullptr;
    jclass m_numberClass = nullptr;
    jmethodID m_numberConstructor = nullptr;
    bool m_failed = false;
};

class JavaFileList {
public:
    // Creates an empty java.util.ArrayList and looks up its "add" method and
    // the java.io.File constructor that takes a path.
    explicit JavaFileList(JNIEnv* env);
    ~JavaFileList();
    JavaFileList(const JavaFileList&) = delete;
    JavaFileList& operator=(const JavaFileList&) = delete;

    bool ready() const { return m_list != nullptr && m_add != nullptr && m_fileConstructor != nullptr; }

    // Adds a java.io.File of `path`; false as for JavaMap's puts.
    bool addFile(const std::wstring& path);

    jobject take();

private:
    JNIEnv* m_env;
    jclass m_listClass = nullptr;
    jobject m_list = nullptr;
    jmethodID m_add = nullptr;
    jclass m_fileClass = nullptr;
    jmethodID m_fileConstructor = nullptr;
    bool m_failed = false;
};

}  // namespace vantor::access
