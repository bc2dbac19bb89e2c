// The session against a board played on a pseudo-terminal: what it writes, a read-back
// that first answers a request sent before the write, a board that keeps its old value,
// one that does not answer, a port lost after the write, and the EEPROM save only when
// every value verified.
#include "core/BoardSettingsSession.h"
#include "core/DriveLink.h"
#include "support/FakeBoard.h"

#include <QTimer>
#include <QtTest>

using namespace SharedVariables;
using Failure = BoardSettingsSession::Failure;
using Outcome = BoardSettingsSession::Outcome;

namespace {

const QString SpeedMax100 = "63616e0020029a016400000000000000";
const QString SaveEeprom = "63616e0120016101" "0100000000000000";

} // namespace

class TestBoardSettingsSession : public QObject
{
    Q_OBJECT

private slots:
    void applyWithReadBack_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("stored") << int(FakeBoard::None) << 100 << int(Failure::None) << "written and verified"
                                << QStringList{SpeedMax100, SaveEeprom};
        QTest::newRow("already held") << int(FakeBoard::None) << 30 << int(Failure::None) << "unchanged"
                                      << QStringList{SaveEeprom};
        QTest::newRow("first read-back stale") << int(FakeBoard::StaleReply) << 100 << int(Failure::None)
                                               << "written and verified" << QStringList{SpeedMax100, SaveEeprom};
        QTest::newRow("board keeps its value") << int(FakeBoard::KeepsValue) << 100 << int(Failure::None)
                                               << "failed: the board holds 30" << QStringList{SpeedMax100};
        QTest::newRow("port lost after the write") << int(FakeBoard::HangsUpAfterWrite) << 100 << int(Failure::PortLost)
                                                   << "written, not verified" << QStringList{SpeedMax100};
        QTest::newRow("board silent") << int(FakeBoard::Silent) << 100 << int(Failure::NoAnswer) << "not written"
                                      << QStringList{};
    }

    // A value that is not a number, as a board holding one would give Copy to other board,
    // is never written, and nothing is saved.
    void nonFiniteValuesAreNotWritten_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << qQNaN();
        QTest::newRow("infinity") << qInf();
        QTest::newRow("-infinity") << -qInf();
    }

    void nonFiniteValuesAreNotWritten()
    {
        QFETCH(double, value);
        FakeBoard board{FakeBoard::None};
        DriveLink link;
        QVERIFY(link.open(board.pty.slavePath()));
        BoardSettingsSession session(link);
        QSignalSpy finished(&session, &BoardSettingsSession::finished);
        session.apply({{1, pid_Kp, value}, {1, SpeedMax, 100}}, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 4 * BoardSettingsSession::TimeoutMs * BoardSettingsSession::Attempts);
        QCOMPARE(BoardSettingsSession::outcomeText(session.results().first()), QStringLiteral("not written"));
        QCOMPARE(board.writes, QStringList{SpeedMax100});
    }

    void applyWithReadBack()
    {
        QFETCH(int, fault);
        QFETCH(int, value);
        QFETCH(int, failure);
        QFETCH(QString, outcome);
        QFETCH(QStringList, writes);
        FakeBoard board{FakeBoard::Fault(fault)};
        DriveLink link;
        QVERIFY(link.open(board.pty.slavePath()));
        BoardSettingsSession session(link);
        QSignalSpy finished(&session, &BoardSettingsSession::finished);
        session.apply({{1, SpeedMax, double(value)}}, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 4 * BoardSettingsSession::TimeoutMs * BoardSettingsSession::Attempts);
        QCOMPARE(int(session.failure()), failure);
        QCOMPARE(BoardSettingsSession::outcomeText(session.results().first()), outcome);
        QTRY_COMPARE(board.writes, writes);
    }

    // The board acknowledges no save: it counts as saved only when the board answers
    // after it, and a silent board is not asked to save.
    void eepromSaveWaitsForAnAnswer_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("answers") << int(FakeBoard::None) << true << "" << QStringList{SaveEeprom};
        QTest::newRow("silent") << int(FakeBoard::Silent) << false << "Board 1 did not answer." << QStringList{};
        QTest::newRow("silent after the save") << int(FakeBoard::SilentAfterSave) << false
                                               << "the save is not confirmed" << QStringList{SaveEeprom};
    }

    void eepromSaveWaitsForAnAnswer()
    {
        QFETCH(int, fault);
        QFETCH(bool, saved);
        QFETCH(QString, failure);
        QFETCH(QStringList, writes);
        FakeBoard board{FakeBoard::Fault(fault)};
        DriveLink link;
        QVERIFY(link.open(board.pty.slavePath()));
        BoardSettingsSession session(link);
        QSignalSpy finished(&session, &BoardSettingsSession::finished);
        session.saveEeprom();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 4 * BoardSettingsSession::TimeoutMs * BoardSettingsSession::Attempts);
        QCOMPARE(session.eepromSaved(), saved);
        QVERIFY2(session.failureText().contains(failure) && failure.isEmpty() == session.failureText().isEmpty(),
                 qPrintable(session.failureText()));
        QTRY_COMPARE(board.writes, writes);
    }
};

QTEST_GUILESS_MAIN(TestBoardSettingsSession)
#include "test_BoardSettingsSession.moc"
