#pragma once

#include <QStringList>

// Collects the debug lines written while it lives.
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    QStringList lines() const;
    void clear();
};
