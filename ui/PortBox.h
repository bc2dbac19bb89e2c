#pragma once

#include "core/PortList.h"

#include <QObject>
#include <QStringList>

class QComboBox;
class QTimer;

// The window's port box. While it is enabled (disconnected) it looks at the system's
// ports every second, so an adapter plugged in appears and one pulled out goes; the
// chosen entry stays chosen while it is there, and is listed as missing when it is not.
// It is editable: any device path can be typed and opened.
class PortBox : public QObject
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 1000;
    // The simulator's port lives only as long as this run: it is not remembered.
    enum class Lifetime { Remembered, ThisRun };

    PortBox(QComboBox& box, QObject* parent = nullptr);

    // Adds name for the rest of the run, unless an entry opens it already, and chooses it.
    void addPort(const QString& name, Lifetime lifetime = Lifetime::Remembered);
    // Chooses the entry that opens name; when none does, name is listed as missing.
    void choose(const QString& name);
    // What Connect opens: the chosen entry's port, or the path typed into the box.
    QString selectedPort() const;
    // The selected port, unless it lives only as long as this run; empty then.
    QString portToRemember() const;

    // Looks at the system's ports again and shows what changed: the timer's, and the tests'.
    void refresh();
    PortList& list() { return ports; }

protected:
    // Refreshes while the box is enabled, which the window does while disconnected.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isTyped() const;
    void showPorts(const QList<OfferedPort>& offered, const QString& chosen);

    QComboBox& box;
    PortList ports;
    QList<OfferedPort> shown;
    QStringList thisRunOnly;
    QTimer* timer = nullptr;
};
