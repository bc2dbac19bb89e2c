#pragma once

#include "core/BoardSettingsFile.h"
#include "protocol/SharedVariables.h"

#include <QMap>
#include <QObject>
#include <QVector>

class DriveLink;
class QTimer;

// Reads and writes the selected board's variables for settings files, the window and
// the command line alike. Reads are fresh: only the replies to read requests it sends
// count. Apply compares first, writes only the values that differ, then reads each
// written window back; it may finish with the Save EEPROM write, when all verified.
//
// One operation at a time; finished() ends each, also when it fails (failure() says
// why, results() what was done until then). It may come before the call returns.
class BoardSettingsSession : public QObject
{
    Q_OBJECT

public:
    // Without any reply for this long, the windows still missing are asked for again,
    // up to Attempts times in all.
    static constexpr int TimeoutMs = 2000;
    static constexpr int Attempts = 3;

    enum class Failure { None, NotConnected, PortLost, NoAnswer, BoardChanged };
    enum class Outcome { NotWritten, Unchanged, NotVerified, Verified, Mismatch };

    struct Result
    {
        ParameterValue wanted;
        double onBoard = 0; // the board's value before any write
        bool known = false; // onBoard was read
        double readBack = 0; // the board's value after the write
        qint64 frame = 0; // the link's number of the write's frame; 0 before it was queued
        // NotWritten until the write's frame has left for the port, whenever the
        // operation ends: interrupted, port lost or done.
        Outcome outcome = Outcome::NotWritten;

        // Whether value has the bytes a write of the wanted value gives: floats compare by bits.
        bool holdsWanted(double value) const;
        bool differs() const { return !known || !holdsWanted(onBoard); }
    };

    explicit BoardSettingsSession(DriveLink& link, QObject* parent = nullptr);

    // Reads the windows that hold these block addresses; snapshot() holds their bytes.
    void readAddresses(const QVector<int>& addresses);
    // Reads the parameters of wanted; results() compares each with the board.
    void compare(const QVector<ParameterValue>& wanted);
    void apply(const QVector<ParameterValue>& wanted, bool saveEeprom);
    // The Save EEPROM write alone, sent only to a board that answers a read first.
    void saveEeprom();

    int board() const { return boardAddress; }
    Failure failure() const { return failed; }
    // Why it failed, in words for the operator.
    QString failureText() const;
    const SharedVariables::Block& snapshot() const { return read; }
    const QVector<Result>& results() const { return outcomes; }
    // The Save EEPROM write went on the line and the board answered a request sent after
    // it. The board acknowledges no save; this is all the tool can see of it.
    bool eepromSaved() const { return saved; }

    // Every settings parameter of every motor, at zero: what a whole board's read asks for.
    static QVector<ParameterValue> allParameters();
    static QString outcomeText(const Result& result);
    // The board a copy from board goes to: the tool drives two, 1 and 2.
    static int otherBoard(int board) { return board == 1 ? 2 : 1; }

signals:
    // Windows answered so far, of total; total grows when written values are read back.
    void progress(int done, int total);
    void finished();

private:
    enum class Phase { Idle, Reading, Verifying, Saving };

    void reset();
    void readParameters(const QVector<ParameterValue>& wanted, bool write, bool saveEeprom);
    void readWindows(const QVector<int>& windows);
    void requestWindows(const QVector<int>& windows);
    void receiveWindow(int board, int window);
    void verifyWindow(int window);
    void completeWindow(int window);
    void advance();
    void writeDifferences();
    void startSaving();
    void noteFrameSent();
    void watchSaving(qint64 answeredFrame);
    void timeOut();
    void finish(Failure failure);

    DriveLink& link;
    QTimer* timer = nullptr;
    Phase phase = Phase::Idle;
    bool applying = false;
    bool saveAtEnd = false;
    bool saved = false;
    qint64 saveFrame = 0; // the link's number of the Save EEPROM frame
    int boardAddress = 0;
    int attempt = 0;
    int done = 0;
    int total = 0;
    // Windows asked for and not yet answered, with the read-backs each has had.
    QMap<int, int> pending;
    SharedVariables::Block read;
    QVector<Result> outcomes;
    Failure failed = Failure::None;
};
