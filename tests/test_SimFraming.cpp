#include "sim/LineFramer.h"
#include "protocol/RobotCommandLine.h"

#include <QtTest>

namespace {

QByteArray can(char cmd)
{
    return QByteArray("can\x00\x20\x38", 6) + cmd + QByteArray("\x01\0\0\0\0\0\0\0\0", 9);
}

const QByteArray mla = QByteArray::fromHex("6d6c61" "64002c01c800");
const QByteArray mrn = QByteArray::fromHex("6d726e" "00100000");
const QByteArray mrm = QByteArray::fromHex("6d726d" "0102" "63616e" "060708");

QByteArrayList bytewise(const QByteArray& bytes)
{
    QByteArrayList chunks;
    for (char byte : bytes)
        chunks << QByteArray(1, byte);
    return chunks;
}

} // namespace

class TestSimFraming : public QObject
{
    Q_OBJECT

private slots:
    void framesCut_data();
    void framesCut();
    void robotLine_data();
    void robotLine();
};

void TestSimFraming::framesCut_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("pending");

    const QByteArray meb = QByteArray::fromHex("6d6562" "01020304");
    const QByteArray mre = QByteArray::fromHex("6d7265" "010203040506");
    const QByteArray mra = QByteArray::fromHex("6d7261" "ffff0080c800");
    QTest::newRow("one can frame") << QByteArrayList{can(0)} << QByteArrayList{can(0)} << 0 << 0;
    QTest::newRow("every robot word")
        << QByteArrayList{mla + mra + mrn + mrm + meb + mre}
        << QByteArrayList{mla, mra, mrn, mrm, meb, mre} << 0 << 0;
    QTest::newRow("can frame fed byte by byte") << bytewise(can(8)) << QByteArrayList{can(8)} << 0 << 0;
    QTest::newRow("robot frame fed byte by byte") << bytewise(mla) << QByteArrayList{mla} << 0 << 0;
    QTest::newRow("header split after ca") << QByteArrayList{"ca", can(16).mid(2)} << QByteArrayList{can(16)} << 0 << 0;
    QTest::newRow("garbage before a frame") << QByteArrayList{"xyz" + can(0)} << QByteArrayList{can(0)} << 3 << 0;
    QTest::newRow("stray c before a header") << QByteArrayList{"c" + can(0)} << QByteArrayList{can(0)} << 1 << 0;
    QTest::newRow("stray m before a word") << QByteArrayList{"m" + mrn} << QByteArrayList{mrn} << 1 << 0;
    QTest::newRow("unknown word mrx") << QByteArrayList{"mrx" + mrn} << QByteArrayList{mrn} << 3 << 0;
    QTest::newRow("can inside a robot payload is data") << QByteArrayList{mrm} << QByteArrayList{mrm} << 0 << 0;
    QTest::newRow("mixed frames back to back")
        << QByteArrayList{can(0) + mla + can(8) + mrn} << QByteArrayList{can(0), mla, can(8), mrn} << 0 << 0;
    QTest::newRow("incomplete frame waits") << QByteArrayList{can(0).left(15)} << QByteArrayList{} << 0 << 15;
    QTest::newRow("possible word start waits") << QByteArrayList{mrn + "mr"} << QByteArrayList{mrn} << 0 << 2;
    QTest::newRow("garbage at the end is dropped") << QByteArrayList{mrn + "xy"} << QByteArrayList{mrn} << 2 << 0;
}

void TestSimFraming::framesCut()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, frames);
    QFETCH(int, skipped);
    QFETCH(int, pending);

    LineFramer framer;
    QByteArrayList cut;
    for (const QByteArray& chunk : chunks) {
        for (const SerialMessage& frame : framer.feed(chunk))
            cut << QByteArray(reinterpret_cast<const char*>(frame.bytes), frame.length);
    }
    QCOMPARE(cut, frames);
    QCOMPARE(framer.skipped(), qint64(skipped));
    QCOMPARE(framer.pending(), pending);
}

void TestSimFraming::robotLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");

    QTest::newRow("mla in wire order") << mla << "mla 100 300 200";
    QTest::newRow("mra signed extremes") << QByteArray::fromHex("6d7261" "ffff0080ff7f") << "mra -1 -32768 32767";
    QTest::newRow("mrn") << mrn << "mrn 4096 0";
    QTest::newRow("mrm eight bytes") << mrm << "mrm 1 2 99 97 110 6 7 8";
    QTest::newRow("meb unsigned bytes") << QByteArray::fromHex("6d6562" "ff00807f") << "meb 255 0 128 127";
    QTest::newRow("mre six bytes") << QByteArray::fromHex("6d7265" "010203040506") << "mre 1 2 3 4 5 6";
}

void TestSimFraming::robotLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);

    LineFramer framer;
    const QVector<SerialMessage> frames = framer.feed(bytes);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(robotCommandLine(frames.first()), line);
}

QTEST_GUILESS_MAIN(TestSimFraming)
#include "test_SimFraming.moc"
