#include "ui/MotorPages.h"

#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/SetPointLimits.h"

#include <QScrollArea>
#include <QVBoxLayout>

using namespace SharedVariables;

MotorPages::MotorPages(DriveLink& link, QVBoxLayout* const (&layouts)[MotorCount], QObject* parent)
    : QObject(parent), link(link)
{
    for (int motor = 0; motor < MotorCount; ++motor) {
        // The view scrolls rather than being cut off where the screen is too small for it.
        auto* scrollArea = new QScrollArea(layouts[motor]->parentWidget());
        scrollArea->setWidgetResizable(true);
        scrollArea->setFrameShape(QFrame::NoFrame);
        views[motor] = new DriveView(scrollArea, motor);
        scrollArea->setWidget(views[motor]);
        layouts[motor]->addWidget(scrollArea);
        // Every parameter of every motor reaches the link here, and only here.
        connect(views[motor], &DriveView::parameterEntered, this, [this](Index index, int motor, double value) {
            if (confirmSetPointLimits(*views[motor], index, value))
                writeEntered(index, motor, value);
        });
        for (int index = 0; index < VariableCount; ++index)
            showFreshness(motor, Index(index), link.isCurrent(motor, Index(index)));
    }
    showLinkState();

    connect(&link, &DriveLink::variableChanged, this, &MotorPages::showVariable);
    connect(&link, &DriveLink::freshnessChanged, this, &MotorPages::showFreshness);
    connect(&link, &DriveLink::windowRead, this, &MotorPages::confirmWrites);
    connect(&link, &DriveLink::connected, this, &MotorPages::showLinkState);
    connect(&link, &DriveLink::disconnected, this, &MotorPages::showLinkState);
    connect(&link, &DriveLink::boardSelected, this, &MotorPages::showLinkState);
    connect(&link, &DriveLink::samplesAppended, this, [this] {
        for (DriveView* view : views)
            view->drawSamples(this->link.samples(view->motorNumber()));
    });
    connect(&link, &DriveLink::samplesCleared, this, [this] {
        for (DriveView* view : views)
            view->resetGraph();
    });
}

QString MotorPages::notReadText(const DriveLink& link)
{
    return tr("not read yet from board %1").arg(DriveLink::boardName(link.board()));
}

void MotorPages::showLinkState()
{
    for (DriveView* view : views) {
        view->setConnected(link.isConnected());
        view->setBoardName(DriveLink::boardName(link.board()));
    }
}

// The entered value, as the board would hold it, shows as pending until confirmWrites.
void MotorPages::writeEntered(Index index, int motor, double value)
{
    const qint64 frame = link.writeParameter(index, motor, value);
    if (frame == 0)
        return;
    pendingWrites.add(motor, index, frame);
    Block written = link.mirror();
    written.setValue(motor, variable(index), value);
    views[motor]->showPending(index, written.format(motor, variable(index)));
}

void MotorPages::confirmWrites(int board, int window)
{
    if (board != link.board())
        return;
    for (const PendingWrites::Variable& written : pendingWrites.confirm(window, link.answeredRequest()))
        showFreshness(written.motor, written.index, link.isCurrent(written.motor, written.index));
}

void MotorPages::showFreshness(int motor, Index index, bool current)
{
    if (!current) {
        pendingWrites.remove(motor, index);
        views[motor]->showNotCurrent(index, notReadText(link));
    } else if (!pendingWrites.contains(motor, index)) {
        views[motor]->showValue(index, link.mirror().format(motor, variable(index)));
    }
}

void MotorPages::showVariable(int motor, Index index)
{
    // A reply to a read that left before the write would show the value it replaces.
    if (!link.isCurrent(motor, index) || pendingWrites.contains(motor, index))
        return;
    views[motor]->showValue(index, link.mirror().format(motor, variable(index)));
}
