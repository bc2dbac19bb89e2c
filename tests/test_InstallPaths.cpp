#include "core/InstallPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void makeExecutable(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

} // namespace

// A scratch prefix: bin/ for the executable, and whatever each test puts beside it.
class TestInstallPaths : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        prefix.reset(new QTemporaryDir);
        QVERIFY(QDir(prefix->path()).mkdir(QStringLiteral("bin")));
        bin = prefix->filePath(QStringLiteral("bin"));
        savedPath = qgetenv("PATH");
    }
    void cleanup() { qputenv("PATH", savedPath); }

    void simulatorBesideTheExecutableComesFirst()
    {
        makeExecutable(bin + QStringLiteral("/drive-sim"));
        QCOMPARE(InstallPaths::simulatorProgram(bin), bin + QStringLiteral("/drive-sim"));
    }

    void simulatorFromPathOtherwise()
    {
        QTemporaryDir elsewhere;
        makeExecutable(elsewhere.filePath(QStringLiteral("drive-sim")));
        qputenv("PATH", QFile::encodeName(elsewhere.path()));
        QCOMPARE(InstallPaths::simulatorProgram(bin), elsewhere.filePath(QStringLiteral("drive-sim")));
        qputenv("PATH", QFile::encodeName(prefix->path()));
        QCOMPARE(InstallPaths::simulatorProgram(bin), QString());
    }

    void installedScriptsComeFirst()
    {
        const QString scripts = prefix->filePath(QStringLiteral("share/drive-setup/scripts"));
        QVERIFY(QDir().mkpath(scripts));
        QCOMPARE(InstallPaths::exampleScriptsFolder(bin), scripts);
    }

    void buildTreeFindsTheSourceScripts()
    {
        const QString scripts = InstallPaths::exampleScriptsFolder(bin);
        QVERIFY(!scripts.startsWith(prefix->path()));
        QVERIFY(QFileInfo::exists(scripts + QStringLiteral("/README.md")));
    }

private:
    std::unique_ptr<QTemporaryDir> prefix;
    QString bin;
    QByteArray savedPath;
};

QTEST_GUILESS_MAIN(TestInstallPaths)
#include "test_InstallPaths.moc"
