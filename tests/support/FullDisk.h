#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A small file system with no room left, private to one process: a tmpfs mounted by
// `unshare -m` for a process that then sleeps, reached through that process's root in
// /proc. It goes with this object, and with it the mount.
class FullDisk
{
public:
    // Holds the files given, then is filled up, but for about `room` bytes.
    explicit FullDisk(const QMap<QString, QByteArray>& files, int room = 0);
    ~FullDisk();

    // Why there is no full disk (unshare or mount not permitted); empty when there is.
    QString failure() const { return why; }
    QString filePath(const QString& name) const { return root + QLatin1Char('/') + name; }
    QByteArray contents(const QString& name) const;
    // The names in it but the filler's.
    QStringList names() const;

private:
    QTemporaryDir mountPoint;
    QProcess keeper;
    QString root;
    QString why;
};
