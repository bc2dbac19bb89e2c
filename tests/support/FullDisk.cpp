#include "support/FullDisk.h"

#include <QDir>
#include <QFile>

namespace {

const QString Filler = QStringLiteral(".filler");

} // namespace

FullDisk::FullDisk(const QMap<QString, QByteArray>& files, int room)
{
    keeper.start(QStringLiteral("unshare"),
                 {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                  QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$0\" && echo mounted && exec sleep 3600"),
                  mountPoint.path()});
    if (!keeper.waitForReadyRead(30000) || !keeper.readAllStandardOutput().startsWith("mounted")) {
        why = QStringLiteral("no private tmpfs: ") + QString::fromLocal8Bit(keeper.readAllStandardError());
        return;
    }
    root = QStringLiteral("/proc/%1/root%2").arg(keeper.processId()).arg(mountPoint.path());
    for (auto file = files.begin(); file != files.end(); ++file) {
        QFile placed(filePath(file.key()));
        if (!placed.open(QIODevice::WriteOnly) || placed.write(file.value()) != file.value().size() || !placed.flush())
            why = QStringLiteral("cannot place ") + file.key();
    }
    // A page at a time without a buffer, until the system says there is no room left.
    QFile filler(filePath(Filler));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    const QByteArray page(4096, 'x');
    while (filler.write(page) == page.size()) {
    }
    filler.close();
    if (room > 0)
        filler.resize(filler.size() - room);
}

FullDisk::~FullDisk()
{
    keeper.kill();
    keeper.waitForFinished();
}

QByteArray FullDisk::contents(const QString& name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList FullDisk::names() const
{
    QStringList names = QDir(root).entryList(QDir::Files | QDir::System | QDir::Hidden);
    names.removeOne(Filler);
    return names;
}
