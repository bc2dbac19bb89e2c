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
};

QTEST_GUILESS_MAIN(TestBoardSettingsSession)
#include "test_BoardSettingsSession.moc"
