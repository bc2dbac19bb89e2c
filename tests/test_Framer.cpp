// Cutting received bytes into "can" frames: noise, splits, partial headers.
#include "protocol/Framer.h"
#include "support/Frames.h"

#include <QTest>

#include <numeric>

namespace {


QList<QByteArray> feedAll(Framer& framer, const QList<QByteArray>& reads)
{
    QList<QByteArray> frames;
    for (const QByteArray& read : reads) {
        framer.feed(read.constData(), read.size(), [&](const SerialMessage& message) {
            frames << QByteArray(reinterpret_cast<const char*>(message.bytes), SerialMessage::FrameSize);
        });
    }
    return frames;
}

} // namespace

class TestFramer : public QObject
{
    Q_OBJECT

private slots:
    void framing_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<int>("pending");

        const QByteArray a = taggedFrame('A');
        const QByteArray b = taggedFrame('a');
        const QByteArray noise20(20, 'x');

        QTest::newRow("20 bytes of noise: buffer emptied") << QList<QByteArray> {noise20} << QList<QByteArray> {} << 0;
        QTest::newRow("15 bytes wait for more") << QList<QByteArray> {QByteArray(15, 'x')} << QList<QByteArray> {} << 15;
        QTest::newRow("15 bytes then 5 of noise") << QList<QByteArray> {QByteArray(15, 'x'), QByteArray(5, 'y')}
                                                  << QList<QByteArray> {} << 0;
        QTest::newRow("five noise bytes then a frame") << QList<QByteArray> {QByteArray(5, 'z') + a}
                                                       << QList<QByteArray> {a} << 0;
        QTest::newRow("two frames in one read") << QList<QByteArray> {a + b} << QList<QByteArray> {a, b} << 0;
        QTest::newRow("frame split 10 + 6") << QList<QByteArray> {a.left(10), a.mid(10)} << QList<QByteArray> {a} << 0;
        QTest::newRow("frame split byte by byte")
            << [&] {
                   QList<QByteArray> bytes;
                   for (char c : a)
                       bytes << QByteArray(1, c);
                   return bytes;
               }()
            << QList<QByteArray> {a} << 0;

        QByteArray inner = taggedFrame('B');
        inner.replace(8, 3, "can");
        QTest::newRow("\"can\" inside a payload is no header") << QList<QByteArray> {inner + b}
                                                               << QList<QByteArray> {inner, b} << 0;

        // 15 bytes of noise and the first two letters of a header, then the rest of that frame.
        const QByteArray seventeen = QByteArray(15, 'x') + a.left(2);
        QTest::newRow("header begun at the end of a noisy read is kept")
            << QList<QByteArray> {seventeen, a.mid(2)} << QList<QByteArray> {a} << 0;
        QTest::newRow("one letter of a header kept")
            << QList<QByteArray> {QByteArray(16, 'x') + a.left(1), a.mid(1)} << QList<QByteArray> {a} << 0;
        QTest::newRow("a lone trailing letter that is no header is dropped later")
            << QList<QByteArray> {QByteArray(16, 'x') + "c", QByteArray(15, 'y')} << QList<QByteArray> {} << 0;
        QTest::newRow("noise between frames") << QList<QByteArray> {a + "xyz" + b + "ca"}
                                              << QList<QByteArray> {a, b} << 2;
        QTest::newRow("header at the end waits") << QList<QByteArray> {QByteArray(20, 'x') + a.left(12)}
                                                 << QList<QByteArray> {} << 12;
        QTest::newRow("empty read") << QList<QByteArray> {QByteArray()} << QList<QByteArray> {} << 0;
    }

    void framing()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(int, pending);
        Framer framer;
        QCOMPARE(feedAll(framer, reads), frames);
        QCOMPARE(framer.pending(), pending);
        // Every byte is framed, waiting, or counted as noise.
        const int fed = std::accumulate(reads.begin(), reads.end(), 0, [](int n, const QByteArray& r) { return n + r.size(); });
        QCOMPARE(framer.skipped(), qint64(fed - frames.size() * SerialMessage::FrameSize - pending));
    }

    void manyFramesInOneRead()
    {
        QByteArray stream;
        QList<QByteArray> expected;
        for (int i = 0; i < 4096; ++i) {
            const QByteArray f = taggedFrame(char('A' + i % 20));
            if (i % 3 == 0)
                stream += "noise";
            stream += f;
            expected << f;
        }
        Framer framer;
        QCOMPARE(feedAll(framer, {stream}), expected);
        QCOMPARE(framer.pending(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFramer)
#include "test_Framer.moc"
