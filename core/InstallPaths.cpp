#include "core/InstallPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace InstallPaths {

QString simulatorProgram()
{
    return simulatorProgram(QCoreApplication::applicationDirPath());
}

QString exampleScriptsFolder()
{
    return exampleScriptsFolder(QCoreApplication::applicationDirPath());
}

QString simulatorProgram(const QString& executableDir)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("drive-sim"), {executableDir});
    return program.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("drive-sim")) : program;
}

QString exampleScriptsFolder(const QString& executableDir)
{
    const QString installed = QDir::cleanPath(executableDir + QStringLiteral("/../share/drive-setup/scripts"));
    if (QFileInfo(installed).isDir())
        return installed;
#ifdef DRIVE_SETUP_SOURCE_DIR
    // An executable in the build tree has no share/ beside it; its scripts are still in
    // the source tree it was built from.
    const QString source = QStringLiteral(DRIVE_SETUP_SOURCE_DIR "/scripts");
    if (QFileInfo(source).isDir())
        return source;
#endif
    return {};
}

} // namespace InstallPaths
