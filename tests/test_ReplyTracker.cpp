// Which request a reply answers, what counts as missing and when the selected board is
// silent, on the tracker's own clock: no port, no waiting.
#include "core/ReplyTracker.h"
#include "support/Frames.h"

#include <QTest>

class TestReplyTracker : public QObject
{
    Q_OBJECT

private slots:
    // A board answers in order: a reply answers the oldest request for its address, and
    // the requests it overtook, or those that pass the deadline, are missing.
    void repliesMatchRequests_data()
    {
        QTest::addColumn<QList<int>>("requested"); // window addresses, sent to board 2
        QTest::addColumn<QList<int>>("replies");
        QTest::addColumn<QList<int>>("answered"); // the request numbers the replies answered
        QTest::addColumn<int>("replyMs");
        QTest::addColumn<int>("missing");
        const int late = ReplyTracker::ReplyDeadlineMs + 1;
        QTest::newRow("answered") << QList<int>{8, 16} << QList<int>{8, 16} << QList<int>{1, 2} << 0 << 0;
        QTest::newRow("unasked reply") << QList<int>{8} << QList<int>{24, 8} << QList<int>{1} << 0 << 0;
        QTest::newRow("answered twice") << QList<int>{8} << QList<int>{8, 8} << QList<int>{1} << 0 << 0;
        QTest::newRow("skipped request") << QList<int>{8, 16, 8} << QList<int>{16, 8, 8} << QList<int>{2, 3} << 0 << 1;
        QTest::newRow("at the deadline") << QList<int>{8} << QList<int>{8} << QList<int>{1} << late - 1 << 0;
        QTest::newRow("answered late") << QList<int>{8} << QList<int>{8} << QList<int>{1} << late << 1;
        QTest::newRow("unanswered") << QList<int>{8, 16} << QList<int>{} << QList<int>{} << late << 2;
    }

    void repliesMatchRequests()
    {
        QFETCH(QList<int>, requested);
        QFETCH(QList<int>, replies);
        QFETCH(QList<int>, answered);
        QFETCH(int, replyMs);
        QFETCH(int, missing);
        ReplyTracker tracker;
        for (int i = 0; i < requested.size(); ++i)
            tracker.noteSent(variableRead(requested[i], 2), i + 1, 0);
        tracker.checkDeadlines(replyMs);
        QList<int> numbers;
        for (int address : replies) {
            if (const auto request = tracker.match(address)) {
                QCOMPARE(request->board, 2);
                numbers << int(request->number);
            }
        }
        QCOMPARE(numbers, answered);
        QCOMPARE(tracker.repliesMissing(), qint64(missing));
    }

    // Only requests are awaited: writes and robot commands are answered by nothing.
    void onlyRequestsAreAwaited_data()
    {
        QTest::addColumn<SerialMessage>("frame");
        QTest::addColumn<int>("awaited");
        QTest::newRow("window read") << variableRead(8, 1) << 1;
        QTest::newRow("live value request") << liveValueRequest(SerialMessage::LiveSpeeds, 1) << 1;
        QTest::newRow("write") << variableWrite(8, 1, "\x01") << 0;
        QTest::newRow("live values") << liveValues(SerialMessage::LiveSpeeds, 1, {}) << 0;
    }

    void onlyRequestsAreAwaited()
    {
        QFETCH(SerialMessage, frame);
        QFETCH(int, awaited);
        ReplyTracker tracker;
        tracker.noteSent(frame, 1, 0);
        QCOMPARE(tracker.outstandingCount(), awaited);
    }

    void unansweredRequestsAreBounded()
    {
        ReplyTracker tracker;
        for (int i = 0; i <= ReplyTracker::OutstandingBound; ++i)
            tracker.noteSent(variableRead(8, 1), i + 1, 0);
        QCOMPARE(tracker.outstandingCount(), ReplyTracker::OutstandingBound);
        QCOMPARE(tracker.repliesMissing(), qint64(1));
        QCOMPARE(tracker.match(8)->number, qint64(2));
    }

    // Silence is found on the second quiet look, since replies that came while the tool was
    // held up are read between looks; a reply, a new connection or board ends it.
    void silence_data()
    {
        QTest::addColumn<QList<int>>("looksMs");
        QTest::addColumn<int>("answerMs"); // -1: no answer
        QTest::addColumn<QList<bool>>("found"); // whether each look found the silence beginning
        const int quiet = ReplyTracker::SilenceMs;
        QTest::newRow("one quiet look") << QList<int>{quiet} << -1 << QList<bool>{false};
        QTest::newRow("two quiet looks") << QList<int>{quiet, quiet + 50} << -1 << QList<bool>{false, true};
        QTest::newRow("found once") << QList<int>{quiet, quiet, quiet} << -1 << QList<bool>{false, true, false};
        QTest::newRow("answered in between") << QList<int>{quiet, quiet + 50} << quiet << QList<bool>{false, false};
        QTest::newRow("not yet quiet") << QList<int>{quiet - 1, quiet - 1} << -1 << QList<bool>{false, false};
    }

    void silence()
    {
        QFETCH(QList<int>, looksMs);
        QFETCH(int, answerMs);
        QFETCH(QList<bool>, found);
        ReplyTracker tracker;
        tracker.restartQuiet(0);
        QList<bool> looks;
        for (int at : looksMs) {
            if (answerMs >= 0 && looks.size() == 1)
                QVERIFY(!tracker.noteAnswer(answerMs));
            looks << tracker.checkDeadlines(at);
        }
        QCOMPARE(looks, found);
        QCOMPARE(tracker.isSilent(), found.contains(true));
        QCOMPARE(tracker.hasAnswered(), answerMs >= 0);
    }

    void silenceEnds()
    {
        for (int ending = 0; ending < 3; ++ending) {
            ReplyTracker tracker;
            tracker.restartQuiet(0);
            tracker.checkDeadlines(ReplyTracker::SilenceMs);
            QVERIFY(tracker.checkDeadlines(ReplyTracker::SilenceMs));
            const int now = ReplyTracker::SilenceMs + 10;
            QVERIFY(ending == 0 ? tracker.noteAnswer(now) : ending == 1 ? tracker.restartQuiet(now) : tracker.forgetRequests());
            QVERIFY(!tracker.isSilent());
            QCOMPARE(tracker.msSinceReply(now + 5), ending == 0 ? qint64(5) : qint64(-1));
        }
    }
};

QTEST_GUILESS_MAIN(TestReplyTracker)
#include "test_ReplyTracker.moc"
