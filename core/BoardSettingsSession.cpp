#include "core/BoardSettingsSession.h"

#include "core/DriveLink.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

using namespace SharedVariables;

namespace {

int windowOf(int blockAddress)
{
    return blockAddress / WindowSize * WindowSize;
}

int windowOf(const ParameterValue& parameter)
{
    return windowOf(address(parameter.motor, parameter.index));
}

} // namespace

bool BoardSettingsSession::Result::holdsWanted(double value) const
{
    Block wantedBytes;
    Block boardBytes;
    wantedBytes.setValue(wanted.motor, wanted.variable(), wanted.value);
    boardBytes.setValue(wanted.motor, wanted.variable(), value);
    const int at = address(wanted.motor, wanted.index);
    return std::memcmp(wantedBytes.data() + at, boardBytes.data() + at, size_t(width(wanted.variable().type))) == 0;
}

BoardSettingsSession::BoardSettingsSession(DriveLink& link, QObject* parent)
    : QObject(parent), link(link)
{
    timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(TimeoutMs);
    connect(timer, &QTimer::timeout, this, &BoardSettingsSession::timeOut);
    connect(&link, &DriveLink::windowRead, this, &BoardSettingsSession::receiveWindow);
    connect(&link, &DriveLink::frameSent, this, &BoardSettingsSession::noteFrameSent);
    connect(&link, &DriveLink::boardAnswered, this, &BoardSettingsSession::watchSaving);
    connect(&link, &DriveLink::disconnected, this, [this] {
        if (phase != Phase::Idle)
            finish(Failure::PortLost);
    });
    connect(&link, &DriveLink::boardSelected, this, [this](int selected) {
        if (phase != Phase::Idle && selected != boardAddress)
            finish(Failure::BoardChanged);
    });
}

void BoardSettingsSession::readAddresses(const QVector<int>& addresses)
{
    reset();
    QVector<int> windows;
    for (int blockAddress : addresses)
        windows.append(windowOf(blockAddress));
    readWindows(windows);
}

void BoardSettingsSession::compare(const QVector<ParameterValue>& wanted)
{
    readParameters(wanted, false, false);
}

void BoardSettingsSession::apply(const QVector<ParameterValue>& wanted, bool saveEeprom)
{
    readParameters(wanted, true, saveEeprom);
}

void BoardSettingsSession::readParameters(const QVector<ParameterValue>& wanted, bool write, bool saveEeprom)
{
    reset();
    applying = write;
    saveAtEnd = saveEeprom;
    QVector<int> windows;
    outcomes.resize(wanted.size());
    for (int i = 0; i < wanted.size(); ++i) {
        outcomes[i].wanted = wanted[i];
        windows.append(windowOf(wanted[i]));
    }
    readWindows(windows);
}

void BoardSettingsSession::saveEeprom()
{
    reset();
    saveAtEnd = true;
    // Nothing could confirm a save on a board that does not answer: it is not asked to.
    readWindows({windowOf(LoopTimeAddress)});
}

void BoardSettingsSession::reset()
{
    timer->stop();
    phase = Phase::Idle;
    applying = saveAtEnd = saved = false;
    saveFrame = 0;
    boardAddress = link.board();
    attempt = done = total = 0;
    pending.clear();
    read = Block();
    outcomes.clear();
    failed = Failure::None;
}

void BoardSettingsSession::readWindows(const QVector<int>& windows)
{
    if (!link.isConnected()) {
        finish(Failure::NotConnected);
        return;
    }
    phase = Phase::Reading;
    requestWindows(windows);
}

void BoardSettingsSession::requestWindows(const QVector<int>& windows)
{
    for (int window : windows) {
        if (!pending.contains(window)) {
            pending.insert(window, 0);
            ++total;
            link.requestWindow(window);
        }
    }
    emit progress(done, total);
    if (pending.isEmpty())
        advance();
    else
        timer->start();
}

void BoardSettingsSession::receiveWindow(int board, int window)
{
    if ((phase != Phase::Reading && phase != Phase::Verifying) || board != boardAddress || !pending.contains(window))
        return;
    // Taken at once: live values and later replies change the mirror.
    read.store(window, link.mirror().data() + window, std::min(WindowSize, BlockSize - window));
    attempt = 0;
    timer->start();
    if (phase == Phase::Verifying)
        verifyWindow(window);
    else
        completeWindow(window);
}

void BoardSettingsSession::verifyWindow(int window)
{
    // A reply that came before all of the window's writes left answers an older request;
    // the read-back asked for is queued behind them.
    for (const Result& result : outcomes) {
        if (result.outcome == Outcome::NotWritten && result.frame > 0 && windowOf(result.wanted) == window)
            return;
    }
    bool verified = true;
    for (Result& result : outcomes) {
        if (result.outcome != Outcome::NotVerified || windowOf(result.wanted) != window)
            continue;
        result.readBack = read.value(result.wanted.motor, result.wanted.variable());
        verified = verified && result.holdsWanted(result.readBack);
    }
    // The first reply may answer a request sent before the write went out (the polling
    // sweep's): a value that differs is read again before it counts as a failure.
    if (!verified && ++pending[window] < Attempts) {
        link.requestWindow(window);
        return;
    }
    for (Result& result : outcomes) {
        if (result.outcome == Outcome::NotVerified && windowOf(result.wanted) == window)
            result.outcome = result.holdsWanted(result.readBack) ? Outcome::Verified : Outcome::Mismatch;
    }
    completeWindow(window);
}

void BoardSettingsSession::completeWindow(int window)
{
    pending.remove(window);
    ++done;
    emit progress(done, total);
    if (pending.isEmpty())
        advance();
}

void BoardSettingsSession::advance()
{
    if (phase == Phase::Reading) {
        for (Result& result : outcomes) {
            result.onBoard = read.value(result.wanted.motor, result.wanted.variable());
            result.known = true;
        }
        if (applying)
            writeDifferences();
        else if (saveAtEnd)
            startSaving();
        else
            finish(Failure::None);
        return;
    }
    const bool allVerified = std::all_of(outcomes.begin(), outcomes.end(), [](const Result& result) {
        return result.outcome == Outcome::Unchanged || result.outcome == Outcome::Verified;
    });
    if (saveAtEnd && allVerified)
        startSaving();
    else
        finish(Failure::None);
}

void BoardSettingsSession::writeDifferences()
{
    phase = Phase::Verifying;
    QVector<int> windows;
    for (Result& result : outcomes) {
        if (!result.differs()) {
            result.outcome = Outcome::Unchanged;
            continue;
        }
        result.frame = link.writeParameter(result.wanted.index, result.wanted.motor, result.wanted.value);
        // A value the link refuses (not finite) stays not written.
        if (!result.frame)
            continue;
        windows.append(windowOf(result.wanted));
    }
    // Queued behind the writes, so the board answers after it has stored them.
    requestWindows(windows);
}

void BoardSettingsSession::startSaving()
{
    phase = Phase::Saving;
    attempt = 0;
    saveFrame = link.saveEeprom();
    // The board sends nothing for the save: a reply to a request behind it shows that
    // the frame left and the board was there to take it.
    link.requestWindow(windowOf(LoopTimeAddress));
    timer->start();
}

// A write counts as written once its frame was handed to the port.
void BoardSettingsSession::noteFrameSent()
{
    if (phase != Phase::Verifying)
        return;
    for (Result& result : outcomes) {
        if (result.outcome == Outcome::NotWritten && result.frame > 0 && result.frame <= link.lastSentFrame())
            result.outcome = Outcome::NotVerified;
    }
}

void BoardSettingsSession::watchSaving(qint64 answeredFrame)
{
    if (phase != Phase::Saving || answeredFrame <= saveFrame)
        return;
    saved = true;
    finish(Failure::None);
}

void BoardSettingsSession::timeOut()
{
    if (++attempt >= Attempts) {
        finish(Failure::NoAnswer);
        return;
    }
    if (phase == Phase::Saving)
        link.requestWindow(windowOf(LoopTimeAddress));
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        link.requestWindow(it.key());
    timer->start();
}

void BoardSettingsSession::finish(Failure failure)
{
    timer->stop();
    phase = Phase::Idle;
    failed = failure;
    emit finished();
}

QString BoardSettingsSession::failureText() const
{
    switch (failed) {
    case Failure::None:
        return QString();
    case Failure::NotConnected:
        return tr("Not connected. Connect to the boards first, then try again.");
    case Failure::PortLost:
        return tr("The connection to board %1 was lost.").arg(boardAddress);
    case Failure::NoAnswer:
        if (saveFrame != 0)
            return tr("The request to save to EEPROM was sent to board %1, but the board did not answer after it, "
                      "so the save is not confirmed. Check that it is powered and connected, then save again.")
                .arg(boardAddress);
        return tr("Board %1 did not answer. Check that it is powered and connected, and that its address is right.")
            .arg(boardAddress);
    case Failure::BoardChanged:
        return tr("Another board was selected while board %1 was being read or written.").arg(boardAddress);
    }
    return QString();
}

QVector<ParameterValue> BoardSettingsSession::allParameters()
{
    QVector<ParameterValue> all;
    for (int motor = 0; motor < MotorCount; ++motor) {
        for (Index index : settingParameters())
            all.append({motor, index, 0});
    }
    return all;
}

QString BoardSettingsSession::outcomeText(const Result& result)
{
    switch (result.outcome) {
    case Outcome::NotWritten:
        return tr("not written");
    case Outcome::Unchanged:
        return tr("unchanged");
    case Outcome::NotVerified:
        return tr("written, not verified");
    case Outcome::Verified:
        return tr("written and verified");
    case Outcome::Mismatch:
        return tr("failed: the board holds %1").arg(BoardSettingsFile::exactText(result.wanted.variable(), result.readBack));
    }
    return QString();
}
