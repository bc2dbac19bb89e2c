// A value entered shows as pending until a read of its window, answered after the
// write, shows what the board made of it.
#include "core/PendingWrites.h"

#include <QTest>

using namespace SharedVariables;

namespace {

// "motor name" as a variable of PendingWrites.
PendingWrites::Variable parsed(const QString& text)
{
    const QStringList parts = text.split(' ');
    return {parts[0].toInt(), findVariable(parts[1])};
}

} // namespace

class TestPendingWrites : public QObject
{
    Q_OBJECT

private slots:
    void confirm_data()
    {
        QTest::addColumn<QStringList>("writes"); // "motor name request", in the order entered
        QTest::addColumn<QString>("read");       // the variable whose window is read
        QTest::addColumn<int>("answered");
        QTest::addColumn<QStringList>("confirmed");

        QTest::newRow("answered after the write") << QStringList{"1 SpeedMax 5"} << "1 SpeedMax" << 5
                                                  << QStringList{"1 SpeedMax"};
        QTest::newRow("answered before the write") << QStringList{"1 SpeedMax 5"} << "1 SpeedMax" << 4 << QStringList{};
        QTest::newRow("same variable, other motor") << QStringList{"1 SpeedMax 5"} << "2 SpeedMax" << 9 << QStringList{};
        QTest::newRow("two of one window") << QStringList{"0 SpeedMax 3", "0 AccelerationStep 4", "0 pid_Kp 2"}
                                           << "0 AccelerationStep" << 4
                                           << QStringList{"0 SpeedMax", "0 AccelerationStep"};
        QTest::newRow("written again: the later write counts")
            << QStringList{"3 CtrlMode 5", "3 CtrlMode 8"} << "3 CtrlMode" << 7 << QStringList{};
    }

    void confirm()
    {
        QFETCH(QStringList, writes);
        QFETCH(QString, read);
        QFETCH(int, answered);
        QFETCH(QStringList, confirmed);

        PendingWrites pending;
        for (const QString& write : writes) {
            const PendingWrites::Variable variable = parsed(write.section(' ', 0, 1));
            pending.add(variable.motor, variable.index, write.section(' ', 2).toLongLong());
        }
        const PendingWrites::Variable readVariable = parsed(read);
        const int window = address(readVariable.motor, readVariable.index) / WindowSize * WindowSize;
        QVector<PendingWrites::Variable> expected;
        for (const QString& variable : confirmed)
            expected << parsed(variable);
        QCOMPARE(pending.confirm(window, answered), expected);
        for (const QString& write : writes) {
            const PendingWrites::Variable variable = parsed(write.section(' ', 0, 1));
            QCOMPARE(pending.contains(variable.motor, variable.index), !expected.contains(variable));
        }
    }
};

QTEST_MAIN(TestPendingWrites)
#include "test_PendingWrites.moc"
