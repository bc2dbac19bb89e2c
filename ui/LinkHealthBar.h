#pragma once

#include "core/LinkHealth.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

class DriveLink;

// The status bar's account of the line while connected: frames a second each way,
// replies missing, noise dropped, frames waiting and how long ago the selected board
// last answered. Read from the link twice a second, so it costs nothing per frame.
class LinkHealthBar : public QLabel
{
    Q_OBJECT

public:
    static constexpr int UpdateIntervalMs = 500;

    LinkHealthBar(const DriveLink& link, QWidget* parent);

    // Reads the link and shows its figures now; the timer's, and the tests'.
    void refresh();

private:
    const DriveLink& link;
    QTimer timer;
    QElapsedTimer sinceLast;
    LinkHealth last;
};
