// The outcome of the runtime choice, as the update flow reads it.
#pragma once

#include "updater/jvm/jvm_info.h"
#include "updater/startup/diagnostics_log.h"

#include <optional>
#include <string>

namespace vantor {

class JVMProperties {
public:
    JVMProperties() = default;
    virtual ~JVMProperties();
    JVMProperties(const JVMProperties&) = delete;
    JVMProperties& operator=(const JVMProperties&) = delete;

    // Chooses the runtime (JVMChooser::getBestJVM) for the program folder,
    // the probe jar `<program folder>\utils.jar` and the log, and keeps the
    // result in m_bestJvm (none when no runtime was chosen). Raises nothing:
    // the failures that the choice does not turn into "none" end the
    // program through the launcher stop (exit status 1, nothing shown).
    void loadProperties(const std::wstring& programFolder, const std::wstring& probeJarPath, DiagnosticsLog& log);

    // The chosen runtime, or none; none until loadProperties.
    std::optional<JVMInfo> m_bestJvm;
};

}  // namespace vantor
