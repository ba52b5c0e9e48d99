#include "updater/jvm/jvm_properties.h"

#include "updater/jvm/jvm_chooser.h"
#include "updater/jvm/launcher_stop.h"

namespace vantor {

JVMProperties::~JVMProperties() = default;

void JVMProperties::loadProperties(const std::wstring& programFolder, const std::wstring& probeJarPath,
                                   DiagnosticsLog& log)
{
    try {
        JVMChooser chooser(*this);
        m_bestJvm = chooser.getBestJVM(programFolder, probeJarPath, log);
    } catch (const LauncherStopped&) {
        throw;
    } catch (...) {
        // The chooser turns its own errors into "none"; this keeps even a
        // failure to copy the result from reaching the update flow.
        m_bestJvm.reset();
    }
}

}  // namespace vantor
