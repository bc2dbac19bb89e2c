#include "support/Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed: %s", strerror(errno));
    termios raw {};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    path = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    closeMaster();
    if (slave >= 0)
        ::close(slave);
}

void Pty::write(const QByteArray& bytes)
{
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < bytes.size() && clock.elapsed() < 10000) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += int(n);
        else
            QTest::qWait(1);
    }
}

QByteArray Pty::readAvailable()
{
    QByteArray out;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        out.append(chunk, int(n));
    }
    return out;
}

QByteArray Pty::read(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += readAvailable();
        if (out.size() < count)
            QTest::qSleep(1);
    }
    return out;
}

QByteArray Pty::readFor(int waitMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < waitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += readAvailable();
        QTest::qSleep(1);
    }
    return out + readAvailable();
}

void Pty::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
