#pragma once

#include "core/PendingWrites.h"
#include "protocol/SharedVariables.h"

#include <QObject>

class DriveLink;
class DriveView;
class QVBoxLayout;

// The four motor pages: each shows its motor's variables on the selected board as the
// link reports them (a value not current as such, an entered one pending until read
// back) with its graph, and hands the values the operator enters to the link.
class MotorPages : public QObject
{
    Q_OBJECT

public:
    using Views = DriveView* [SharedVariables::MotorCount];

    // Each page's view goes into its layout, in a scroll area.
    MotorPages(DriveLink& link, QVBoxLayout* const (&layouts)[SharedVariables::MotorCount], QObject* parent);

    DriveView* view(int motor) const { return views[motor]; }
    const Views& allViews() const { return views; }
    // Why a value of the selected board is not shown.
    static QString notReadText(const DriveLink& link);

private:
    void writeEntered(SharedVariables::Index index, int motor, double value);
    void confirmWrites(int board, int window);
    void showFreshness(int motor, SharedVariables::Index index, bool current);
    void showVariable(int motor, SharedVariables::Index index);
    void showLinkState();

    DriveLink& link;
    Views views = {};
    PendingWrites pendingWrites;
};
