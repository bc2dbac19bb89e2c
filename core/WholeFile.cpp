#include "core/WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace WholeFile {

bool isSpecial(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}

QString refusal(const QString& path)
{
    // A folder is refused by the system, in its own words.
    const QFileInfo target(path);
    if (!target.exists() || target.isFile() || target.isDir())
        return {};
    return QStringLiteral("It is not a regular file but a device, a pipe or a socket, which is left as it is");
}

QString write(const QString& path, const QByteArray& content)
{
    QString reason = refusal(path);
    if (!reason.isEmpty())
        return reason;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Through the descriptor, not QSaveFile's buffer: its commit does not count a failed
    // flush and renames a short file over the old one; QFile reports a write cut short
    // (a disk filling up) without the system's reason; and its sync ignores errors. The
    // temporary file is removed when not committed.
    const char* data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t done = ::write(file.handle(), data, size_t(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return qt_error_string(errno);
        data += done;
        left -= done;
    }
    if (::fsync(file.handle()) != 0)
        return qt_error_string(errno);
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace WholeFile
