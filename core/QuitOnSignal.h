#pragma once

#include <QObject>

// Ends the event loop on SIGINT and SIGTERM. The handler only writes a byte to a socket
// pair; the quit happens in the event loop, where it is safe.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;
};
