// The controls of a live graph: pause and resume while the samples go on arriving, the
// mouse pausing before it zooms, the legend switching curves, the time window bounding
// every motor's samples, and the export of what the graph shows.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/PlotControls.h"
#include "support/Frames.h"
#include "support/Modal.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>

#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Motor 1's view and controls on a link fed by hand, shown.
struct Graph
{
    Graph()
    {
        QObject::connect(&link, &DriveLink::samplesAppended, &view, [this] { view.drawSamples(link.samples(1)); });
        view.resize(900, 700);
        view.show();
        // A position makes a sample once set-points and speeds have come.
        link.receiveFrame(liveValues(SerialMessage::LiveSetPoints, 1, {}));
        link.receiveFrame(liveValues(SerialMessage::LiveSpeeds, 1, {}));
    }
    void broadcast(int count)
    {
        for (int i = 0; i < count; ++i)
            link.receiveFrame(liveValues(SerialMessage::LivePositions, 1, {0, int16_t(i), 0, 0}));
    }
    size_t drawn() const { return view.positionCurve()->dataSize(); }
    QwtPlot* plot() const { return view.form().qwtPlot; }

    DriveLink link;
    DriveView view {nullptr, 1};
    PlotControls controls {view, link};
};

} // namespace

class TestPlotControls : public QObject
{
    Q_OBJECT

private slots:
    void pauseKeepsCollecting()
    {
        Graph graph;
        QVERIFY(QTest::qWaitForWindowExposed(&graph.view));
        graph.broadcast(10);
        QTest::keyClick(&graph.view, Qt::Key_P);
        QVERIFY(graph.view.isFrozen());
        QCOMPARE(graph.controls.form().pushButton_Pause->text(), QStringLiteral("Follow live"));
        graph.broadcast(15);
        QCOMPARE(graph.drawn(), size_t(10));
        QCOMPARE(graph.link.samples(1).size(), 25);
        graph.controls.form().pushButton_Pause->click();
        QCOMPARE(graph.drawn(), size_t(25));
        QCOMPARE(graph.view.positionCurve()->sample(24).y(), 14.0);
    }

    // A rubber band zooms into the frozen picture; following again shows the newest.
    void zoomPausesFirst()
    {
        Graph graph;
        QVERIFY(QTest::qWaitForWindowExposed(&graph.view));
        graph.broadcast(100);
        QWidget* canvas = graph.plot()->canvas();
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(graph.view.isFrozen());
        // QTest::mouseMove moves the cursor, which the offscreen platform does not report.
        QMouseEvent move(QEvent::MouseMove, QPoint(60, 60), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(60, 60));
        QVERIFY(graph.plot()->axisInterval(QwtPlot::yLeft).maxValue() < 99);
        graph.broadcast(300);
        QCOMPARE(graph.drawn(), size_t(100));
        QTest::keyClick(&graph.view, Qt::Key_P);
        QCOMPARE(graph.drawn(), size_t(400));
        QTRY_VERIFY(graph.plot()->axisInterval(QwtPlot::yLeft).maxValue() >= 299);
    }

    // A switched-off curve stays off, and its entry says so, after a reset brings it back.
    void legendSwitchesCurves()
    {
        Graph graph;
        graph.broadcast(3);
        QwtPlotCurve* speed = graph.view.speedCurve();
        auto label = [&] {
            return qobject_cast<QwtLegendLabel*>(graph.controls.legend()->legendWidget(graph.plot()->itemToInfo(speed)));
        };
        QCOMPARE(label()->data().title().text(), QStringLiteral("Speed x10"));
        QVERIFY(label()->isChecked());
        QTest::mouseClick(label(), Qt::LeftButton);
        QVERIFY(!speed->isVisible());
        graph.view.resetGraph();
        graph.broadcast(1);
        QVERIFY(label() && !label()->isChecked() && !speed->isVisible());
    }

    void timeWindowBoundsEveryMotor()
    {
        Graph graph;
        DriveView other(nullptr, 2);
        PlotControls otherControls(other, graph.link);
        QComboBox* window = graph.controls.form().comboBox_TimeWindow;
        QCOMPARE(window->currentText(), QStringLiteral("25 s"));
        QCOMPARE(graph.link.sampleCapacity(), 501);
        graph.broadcast(200);
        window->setCurrentIndex(window->findText(QStringLiteral("5 s")));
        emit window->activated(window->currentIndex());
        QCOMPARE(otherControls.form().comboBox_TimeWindow->currentText(), QStringLiteral("5 s"));
        for (int motor = 0; motor < 4; ++motor)
            QCOMPARE(graph.link.samples(motor).size(), 101);
        QCOMPARE(graph.view.positionCurve()->sample(100).y(), 199.0);
    }

    // The samples the time axis shows, as received (the speed not scaled), of the graph as
    // it stands, frozen or not.
    void exportsTheSamplesInView()
    {
        Graph graph;
        MotorSamples samples;
        for (int i = 0; i < 100; ++i)
            samples.append(0.05 * i, 1000 + i, 3000 - i, -i);
        graph.view.drawSamples(samples);
        graph.view.setFrozen(true);
        graph.plot()->setAxisScale(QwtPlot::xBottom, 1.0, 1.1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("view.csv"));
        QCOMPARE(graph.controls.exportTo(path), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("time_s,board,motor,position,set_point,speed,event\n"
                                            "1.000,1,1,1020,2980,-20,\n"
                                            "1.050,1,1,1021,2979,-21,\n"
                                            "1.100,1,1,1022,2978,-22,\n"));
    }

    void exportsTheGraph_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("png") << "graph.png" << QByteArray("\x89PNG");
        QTest::newRow("svg") << "graph.svg" << QByteArray("<?xml");
        QTest::newRow("pdf") << "graph.pdf" << QByteArray("%PDF");
        QTest::newRow("unknown format") << "graph.bmp" << QByteArray();
        QTest::newRow("no such folder") << "missing/graph.png" << QByteArray();
    }

    void exportsTheGraph()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        Graph graph;
        graph.broadcast(50);
        QTemporaryDir dir;
        const QString failure = graph.controls.exportTo(dir.filePath(name));
        QFile file(dir.filePath(name));
        QCOMPARE(failure.isEmpty(), !start.isEmpty());
        QVERIFY(start.isEmpty() ? !file.exists() : file.open(QIODevice::ReadOnly) && file.read(5).startsWith(start));
    }

    // An exported picture says whose graph it is and when, at a size of its own: not the
    // strip the graph is on a wide, low page.
    void exportedGraphHasTitleAndItsOwnSize()
    {
        Graph graph;
        graph.view.resize(1300, 420);
        graph.broadcast(50);
        QTemporaryDir dir;
        QCOMPARE(graph.controls.exportTo(dir.filePath(QStringLiteral("m.png"))), QString());
        const QImage image(dir.filePath(QStringLiteral("m.png")));
        QVERIFY2(image.width() >= 1200 && image.height() >= image.width() / 2,
                 qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
        QCOMPARE(graph.controls.exportTo(dir.filePath(QStringLiteral("m.svg"))), QString());
        QFile svg(dir.filePath(QStringLiteral("m.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains(
            "Motor 1 on board 0x01, " + QDate::currentDate().toString(Qt::ISODate).toUtf8()));
    }

    // The dialog offers a name with board and motor; a name typed with an extension that
    // names no format is refused in words, not saved under a name the operator did not type.
    void exportDialogNamesAndKeepsTheTypedName()
    {
        Graph graph;
        graph.broadcast(20);
        QTemporaryDir dir;
        QString offered, warning;
        answerNextModal([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal))
                offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            answerNextModal([&](QWidget* box) {
                warning = messageBoxText(box);
                acceptModal(box);
            });
            chooseInFileDialog(modal, dir.filePath(QStringLiteral("m0.txt")));
        });
        graph.controls.form().pushButton_Export->click();
        QCOMPARE(offered, QStringLiteral("board1-motor1-graph.png"));
        QVERIFY2(warning.contains(QStringLiteral("m0.txt names no format")), qPrintable(warning));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestPlotControls)
#include "test_PlotControls.moc"
