#include "support/DebugCapture.h"

namespace {
QStringList captured;
QtMessageHandler previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg)
        captured << message;
    else if (previous)
        previous(type, context, message);
}
} // namespace

DebugCapture::DebugCapture()
{
    captured.clear();
    previous = qInstallMessageHandler(capture);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previous);
}

QStringList DebugCapture::lines() const
{
    return captured;
}

void DebugCapture::clear()
{
    captured.clear();
}
