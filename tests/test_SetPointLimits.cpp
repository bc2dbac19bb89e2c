// Set-point limits checked against each other before a write reaches the link: a value
// that contradicts the limits shown asks first, naming both values; No sends nothing.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QToolButton>
#include <QtTest>

using namespace SharedVariables;

class TestSetPointLimits : public QObject
{
    Q_OBJECT

private slots:
    void confirmed_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("entered");
        QTest::addColumn<QString>("question"); // none when empty
        QTest::addColumn<bool>("yes");
        // Shown: SetPointMin 1000, SetPointMax 3000.
        const auto row = [](const char* name, Index index, int entered, const char* question, bool yes) {
            QTest::newRow(name) << int(index) << entered << QString(question) << yes;
        };
        row("min equal to max", SetPointMin, 3000, "", false);
        row("min above max, No", SetPointMin, 3001, "SetPointMin 3001 is above SetPointMax 3000.", false);
        row("max below min, Yes", SetPointMax, 999, "SetPointMax 999 is below SetPointMin 1000.", true);
        row("set-point inside", SetPoint, 1000, "", false);
        row("set-point below, No", SetPoint, 0, "SetPoint 0 is below SetPointMin 1000.", false);
        row("set-point above, Yes", SetPoint, 3001, "SetPoint 3001 is above SetPointMax 3000.", true);
    }

    void confirmed()
    {
        QFETCH(int, index);
        QFETCH(int, entered);
        QFETCH(QString, question);
        QFETCH(bool, yes);
        LinkOnPty linked;
        DriveLink& link = linked.link;
        MainWindow window(link);
        QList<QByteArray> frames; // sent, or still waiting at the end
        connect(&link, &DriveLink::frameSent, this, [&](const SerialMessage& frame) { frames << wireBytes(frame); });
        DriveView* view = window.driveView(2);
        view->showValue(SetPointMin, "1000");
        view->showValue(SetPointMax, "3000");

        // Answers the parameter's dialog, then the question if one comes.
        QString asked;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                dialog->setIntValue(entered);
                dialog->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->windowTitle() + ": " + box->text();
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            }
        });
        answerer.start(10);
        const QString name = QLatin1String(variable(Index(index)).name);
        // As if its value had been read from the board.
        auto* button = view->findChild<QToolButton*>("toolButton_" + name);
        button->setEnabled(true);
        button->click();

        const QString expected = "Set-point limits: %1\n\nSend %2 %3 to the board anyway?";
        QCOMPARE(asked, question.isEmpty() ? QString() : expected.arg(question, name).arg(entered));
        for (const SerialMessage& frame : link.transmitQueue())
            frames << wireBytes(frame);
        const QByteArray value = QByteArray(1, char(entered)) + char(entered >> 8);
        const QByteArray write = wireBytes(variableWrite(address(2, Index(index)), 1, value));
        QCOMPARE(frames.contains(write), question.isEmpty() || yes);
    }
};

QTEST_MAIN(TestSetPointLimits)
#include "test_SetPointLimits.moc"
