#pragma once

#include <QString>

// Where the tool finds the programs and files that come with it, whether it runs from a
// build folder's bin/ or from an installed prefix (bin/ beside share/drive-setup/).
namespace InstallPaths {

// drive-sim beside the running executable, else the one in PATH; empty when neither
// exists.
QString simulatorProgram();
// The example robot scripts: share/drive-setup/scripts of the prefix the executable is
// installed in, else the source tree's scripts/ for a build that still has its source
// tree; empty when neither exists.
QString exampleScriptsFolder();

// The same for an executable in executableDir.
QString simulatorProgram(const QString& executableDir);
QString exampleScriptsFolder(const QString& executableDir);

} // namespace InstallPaths
