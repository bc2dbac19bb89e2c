#pragma once

#include <QObject>

// Ends the event loop on SIGINT, SIGTERM and SIGHUP, so that the program closes what it
// holds (its port, the link of the simulator, the simulator) as on a normal exit. The
// handler only writes a byte to a socket pair; the quit happens in the event loop, where
// it is safe.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;
};
