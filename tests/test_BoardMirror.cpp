// The mirror of a board's block without a port: what a store reports changed, what it
// makes current and what it takes of bytes that run past the block.
#include "core/BoardMirror.h"

#include <QTest>

using namespace SharedVariables;

namespace {

struct Store
{
    int address;
    int count;
    bool current;
    bool report;
};

} // namespace

Q_DECLARE_METATYPE(QList<Store>)

class TestBoardMirror : public QObject
{
    Q_OBJECT

private slots:
    void stores_data()
    {
        QTest::addColumn<QList<Store>>("stores"); // each of bytes 0x11, 0x12, ...
        QTest::addColumn<QStringList>("reported");
        const int speedMax = address(1, SpeedMax);
        QTest::newRow("a reply") << QList<Store>{{speedMax, 2, true, true}}
                                 << QStringList{"changed 1.SpeedMax", "current 1.SpeedMax"};
        QTest::newRow("half a variable is not current")
            << QList<Store>{{speedMax + 1, 1, true, true}} << QStringList{"changed 1.SpeedMax"};
        QTest::newRow("unasked bytes over current ones")
            << QList<Store>{{speedMax, 2, true, true}, {speedMax, 1, false, true}}
            << QStringList{"changed 1.SpeedMax", "current 1.SpeedMax", "not current 1.SpeedMax"};
        QTest::newRow("the same bytes again") << QList<Store>{{speedMax, 2, false, true}, {speedMax, 2, false, true}}
                                              << QStringList{"changed 1.SpeedMax"};
        QTest::newRow("live values wait for a reply")
            << QList<Store>{{address(0, Speed), 2, true, false}, {address(3, CtrlMode), 1, false, true}}
            << QStringList{"current 0.Speed", "changed 0.Speed", "changed 3.CtrlMode"};
        QTest::newRow("the shared area") << QList<Store>{{LoopTimeAddress, 2, true, true}}
                                         << QStringList{"changed LoopTime", "current LoopTime"};
        QTest::newRow("past the block's end") << QList<Store>{{BlockSize - 1, 8, true, true}} << QStringList{};
        QTest::newRow("before the block") << QList<Store>{{-1, 8, true, true}} << QStringList{};
    }

    void stores()
    {
        QFETCH(QList<Store>, stores);
        QFETCH(QStringList, reported);
        BoardMirror mirror;
        QStringList log;
        connect(&mirror, &BoardMirror::variableChanged, this, [&](int motor, Index index) {
            log << QStringLiteral("changed %1.%2").arg(motor).arg(variable(index).name);
        });
        connect(&mirror, &BoardMirror::freshnessChanged, this, [&](int motor, Index index, bool current) {
            log << QStringLiteral("%1 %2.%3").arg(current ? "current" : "not current").arg(motor).arg(variable(index).name);
        });
        connect(&mirror, &BoardMirror::loopTimeChanged, this, [&] { log << "changed LoopTime"; });
        connect(&mirror, &BoardMirror::loopTimeFreshnessChanged, this,
                [&](bool current) { log << (current ? "current LoopTime" : "not current LoopTime"); });
        const uint8_t bytes[8] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
        for (const Store& store : stores)
            mirror.store(store.address, bytes, store.count, store.current, store.report);
        QCOMPARE(log, reported);
        // Only what lies inside the block is taken.
        QCOMPARE(mirror.block().u8(BlockSize - 1), uint8_t(stores.first().address == BlockSize - 1 ? 0x11 : 0));
    }

    // A Connect, a board switch or a silence: nothing read before is current, all is still known.
    void forgettingReads()
    {
        BoardMirror mirror;
        const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        mirror.store(address(2, pid_Kp), bytes, 4, true, true);
        mirror.store(LoopTimeAddress, bytes, 2, true, true);
        QVERIFY(mirror.isCurrent(2, pid_Kp) && mirror.isLoopTimeCurrent());
        int stale = 0;
        connect(&mirror, &BoardMirror::freshnessChanged, this, [&](int motor, Index index, bool current) {
            stale += motor == 2 && index == pid_Kp && !current;
        });
        mirror.forgetReads();
        QCOMPARE(stale, 1);
        QVERIFY(!mirror.isLoopTimeCurrent());
        QCOMPARE(mirror.block().u8(address(2, pid_Kp) + 3), uint8_t(4));
    }
};

QTEST_GUILESS_MAIN(TestBoardMirror)
#include "test_BoardMirror.moc"
