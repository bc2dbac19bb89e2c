#include "core/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPair[2] = {-1, -1};
const int quitSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPair[0], &byte, 1);
}

} // namespace

QuitOnSignal::QuitOnSignal(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0) {
        qWarning("%s: cannot watch for SIGINT, SIGTERM and SIGHUP", qPrintable(QCoreApplication::applicationName()));
        return;
    }
    auto* notifier = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [notifier] {
        char byte;
        [[maybe_unused]] const ssize_t ignored = ::read(signalPair[1], &byte, 1);
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int quitSignal : quitSignals)
        sigaction(quitSignal, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal()
{
    for (int quitSignal : quitSignals)
        std::signal(quitSignal, SIG_DFL);
    for (int& fd : signalPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
