#include "core/RegularFile.h"

#include <QFileInfo>

bool isSpecialFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}
