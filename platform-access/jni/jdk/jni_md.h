/* Machine-dependent part of the JNI header for 64-bit Windows.
 *
 * The library is built against the JDK's own jni.h, which includes this file
 * for the definitions that depend on the target: how exports are marked, the
 * calling convention, and the widths of the Java integer types. A JDK's
 * Linux copy of this file must not be used for a Windows build: its jint and
 * jlong would give different decorated names to the C++-linkage exports and
 * its export marking would not export anything from a DLL. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

/* long is 32 bits wide on Windows (also in 64-bit builds). */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
