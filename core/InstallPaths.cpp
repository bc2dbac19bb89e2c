#include "core/InstallPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString exampleScriptsFolder()
{
    const QString candidates[] = {
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/drive-setup/scripts")),
        QStringLiteral(DRIVE_SETUP_SOURCE_DIR "/scripts"),
    };
    for (const QString& folder : candidates) {
        if (QFileInfo(folder).isDir())
            return QDir::cleanPath(folder);
    }
    return QString();
}
