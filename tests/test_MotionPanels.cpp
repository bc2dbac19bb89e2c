// The MLA, MRA and MRN panels as the operator uses them: the joint dialogs, GO's
// validation in on-screen order and the frame it queues in wire order.
#include "ui/MainWindow.h"
#include "support/Modal.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

struct Probe : MainWindow
{
    using MainWindow::mla;
    using MainWindow::mra;
    using MainWindow::mrn;
    using MainWindow::txQueue;
    using MainWindow::txTimer;

    Probe() { txTimer->stop(); }

    // The panel's joints in on-screen order, and its buttons.
    QList<QLineEdit*> fields(const QString& panel)
    {
        if (panel == "MLA")
            return {mla.lineEdit_Elbow, mla.lineEdit_Pitch, mla.lineEdit_Yaw};
        if (panel == "MRA")
            return {mra.lineEdit_Elbow, mra.lineEdit_Pitch, mra.lineEdit_Yaw};
        return {mrn.lineEdit_Pitch, mrn.lineEdit_Yaw};
    }
    QList<QPushButton*> setButtons(const QString& panel)
    {
        if (panel == "MLA")
            return {mla.pushButton_Elbow, mla.pushButton_Pitch, mla.pushButton_Yaw};
        if (panel == "MRA")
            return {mra.pushButton_Elbow, mra.pushButton_Pitch, mra.pushButton_Yaw};
        return {mrn.pushButton_Pitch, mrn.pushButton_Yaw};
    }
    QPushButton* goButton(const QString& panel)
    {
        return panel == "MLA" ? mla.pushButton_Go : panel == "MRA" ? mra.pushButton_Go : mrn.pushButton_Go;
    }
};

QByteArray sent(const SerialMessage& message)
{
    return QByteArray(reinterpret_cast<const char*>(message.bytes), message.length);
}

struct SeenDialog
{
    QString title, label;
    int value = -1, minimum = -1, maximum = -1, step = -1;
    int clampedHigh = -1, clampedLow = -1;
    QWidget* parent = nullptr;
};

} // namespace

class TestMotionPanels : public QObject
{
    Q_OBJECT

private slots:
    void jointDialog_data();
    void jointDialog();
    void go_data();
    void go();
    void twoGosQueueTwoFrames();
    void panelTexts_data();
    void panelTexts();
};

void TestMotionPanels::jointDialog_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("joint");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");

    const struct { const char* panel; int joint; const char* name; } joints[] = {
        {"MLA", 0, "Elbow"}, {"MLA", 1, "Pitch"}, {"MLA", 2, "Yaw"},
        {"MRA", 0, "Elbow"}, {"MRA", 1, "Pitch"}, {"MRA", 2, "Yaw"},
        {"MRN", 0, "Pitch"}, {"MRN", 1, "Yaw"},
    };
    for (const auto& j : joints) {
        const QString name = QStringLiteral("%1 %2").arg(j.panel, j.name);
        QTest::newRow(qPrintable(name)) << j.panel << j.joint << name + " Value"
                                        << "Enter " + name + " value";
    }
}

// Each dialog: its texts and bounds, starting at 0 on an empty field and at the value
// shown afterwards; OK writes the value back, Cancel leaves the field alone.
void TestMotionPanels::jointDialog()
{
    QFETCH(QString, panel);
    QFETCH(int, joint);
    QFETCH(QString, title);
    QFETCH(QString, label);

    Probe window;
    QLineEdit* field = window.fields(panel)[joint];
    QPushButton* set = window.setButtons(panel)[joint];

    const auto answer = [](SeenDialog& seen, int chosen, bool accept) {
        answerNextModal([&seen, chosen, accept](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (!dialog)
                return rejectModal(modal);
            seen.title = dialog->windowTitle();
            seen.label = dialog->labelText();
            seen.value = dialog->intValue();
            seen.minimum = dialog->intMinimum();
            seen.maximum = dialog->intMaximum();
            seen.step = dialog->intStep();
            seen.parent = dialog->parentWidget();
            dialog->setIntValue(4097);
            seen.clampedHigh = dialog->intValue();
            dialog->setIntValue(-1);
            seen.clampedLow = dialog->intValue();
            dialog->setIntValue(chosen);
            accept ? dialog->accept() : dialog->reject();
        });
    };

    SeenDialog first;
    answer(first, 4096, true);
    set->click();
    QCOMPARE(first.title, title);
    QCOMPARE(first.label, label);
    QCOMPARE(first.parent, &window);
    QCOMPARE(first.value, 0);
    QCOMPARE(first.minimum, 0);
    QCOMPARE(first.maximum, 4096);
    QCOMPARE(first.step, 1);
    QCOMPARE(first.clampedHigh, 4096);
    QCOMPARE(first.clampedLow, 0);
    QCOMPARE(field->text(), QString("4096"));

    SeenDialog second;
    answer(second, 7, false);
    set->click();
    QCOMPARE(second.value, 4096);
    QCOMPARE(field->text(), QString("4096"));

    SeenDialog third;
    answer(third, 0, true);
    set->click();
    QCOMPARE(field->text(), QString("0"));
    QVERIFY(window.txQueue.isEmpty());
}

void TestMotionPanels::go_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("fields"); // on-screen order
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");

    const QByteArray none;
    QTest::newRow("MLA fresh: Elbow first") << "MLA" << QStringList{"", "", ""}
                                            << "MLA - Elbow value invalid" << none;
    QTest::newRow("MLA only Elbow set: Pitch") << "MLA" << QStringList{"100", "", ""}
                                               << "MLA - Pitch value invalid" << none;
    QTest::newRow("MLA Yaw not a number") << "MLA" << QStringList{"1", "2", "3x"}
                                          << "MLA - Yaw value invalid" << none;
    QTest::newRow("MLA Elbow beyond 32 bits") << "MLA" << QStringList{"3000000000", "1", "2"}
                                              << "MLA - Elbow value invalid" << none;
    QTest::newRow("MLA Elbow 100 Pitch 200 Yaw 300") << "MLA" << QStringList{"100", "200", "300"} << ""
                                                     << QByteArray::fromHex("6D6C61 6400 2C01 C800");
    QTest::newRow("MRA fresh: Elbow first") << "MRA" << QStringList{"", "", ""}
                                            << "MRA - Elbow value invalid" << none;
    QTest::newRow("MRA Pitch blank") << "MRA" << QStringList{"1", " ", "3"}
                                     << "MRA - Pitch value invalid" << none;
    QTest::newRow("MRA Yaw empty") << "MRA" << QStringList{"1", "2", ""} << "MRA - Yaw value invalid" << none;
    QTest::newRow("MRA Elbow 1 Pitch 2 Yaw 3") << "MRA" << QStringList{"1", "2", "3"} << ""
                                               << QByteArray::fromHex("6D7261 0100 0300 0200");
    QTest::newRow("MRA signs, blanks, 16 bits") << "MRA" << QStringList{" -1 ", "+5", "70000"} << ""
                                                << QByteArray::fromHex("6D7261 FFFF 7011 0500");
    QTest::newRow("MRN fresh: Pitch first") << "MRN" << QStringList{"", ""} << "MRN - Pitch value invalid" << none;
    QTest::newRow("MRN Yaw not a number") << "MRN" << QStringList{"1", "z"} << "MRN - Yaw value invalid" << none;
    QTest::newRow("MRN Pitch 4096 Yaw 0") << "MRN" << QStringList{"4096", "0"} << ""
                                          << QByteArray::fromHex("6D726E 0010 0000");
    QTest::newRow("MRN Pitch 1 Yaw 2") << "MRN" << QStringList{"1", "2"} << ""
                                       << QByteArray::fromHex("6D726E 0100 0200");
}

void TestMotionPanels::go()
{
    QFETCH(QString, panel);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);

    Probe window;
    const QList<QLineEdit*> edits = window.fields(panel);
    QCOMPARE(edits.size(), fields.size());
    for (int i = 0; i < edits.size(); ++i)
        edits[i]->setText(fields[i]);

    QString shown;
    bool noParent = false, singleOkDefault = false, modal = false;
    if (!message.isEmpty()) {
        answerNextModal([&](QWidget* box) {
            shown = messageBoxText(box);
            noParent = !box->parentWidget();
            modal = box->isModal();
            if (auto* messageBox = qobject_cast<QMessageBox*>(box))
                singleOkDefault = messageBox->buttons().size() == 1
                                  && messageBox->defaultButton() == messageBox->button(QMessageBox::Ok);
            acceptModal(box);
        });
    }
    window.goButton(panel)->click();

    QCOMPARE(shown, message);
    if (!message.isEmpty()) {
        QVERIFY(noParent);
        QVERIFY(modal);
        QVERIFY(singleOkDefault);
        QVERIFY(window.txQueue.isEmpty());
    } else {
        QCOMPARE(window.txQueue.size(), 1);
        QCOMPARE(sent(window.txQueue.first()), wire);
    }
    for (int i = 0; i < edits.size(); ++i)
        QCOMPARE(edits[i]->text(), fields[i]);
}

void TestMotionPanels::twoGosQueueTwoFrames()
{
    Probe window;
    window.mla.lineEdit_Elbow->setText("100");
    window.mla.lineEdit_Pitch->setText("200");
    window.mla.lineEdit_Yaw->setText("300");
    window.mla.pushButton_Go->click();
    window.mla.pushButton_Go->click();
    QCOMPARE(window.txQueue.size(), 2);
    QVERIFY(window.txQueue[0] == window.txQueue[1]);
    QCOMPARE(sent(window.txQueue[1]), QByteArray::fromHex("6D6C61 6400 2C01 C800"));
}

void TestMotionPanels::panelTexts_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QStringList>("joints");

    QTest::newRow("MLA") << "MLA" << "MLA - Move Left Arm" << QStringList{"Elbow", "Pitch", "Yaw"};
    QTest::newRow("MRA") << "MRA" << "MRA - Move Right Arm" << QStringList{"Elbow", "Pitch", "Yaw"};
    QTest::newRow("MRN") << "MRN" << "MRN - Move Robot Neck" << QStringList{"Pitch", "Yaw"};
}

// What the operator reads on each tab, joints left to right.
void TestMotionPanels::panelTexts()
{
    QFETCH(QString, panel);
    QFETCH(QString, heading);
    QFETCH(QStringList, joints);

    Probe window;
    QWidget* host = window.findChild<QWidget*>(panel + "_Widget");
    QVERIFY(host);
    auto* label = host->findChild<QLabel*>("label_" + panel);
    QVERIFY(label);
    QCOMPARE(label->text(), heading);
    QCOMPARE(label->font().pointSize(), 32);

    window.resize(1307, 807);
    window.tabWidget->setCurrentWidget(host->parentWidget());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<QLineEdit*> edits = window.fields(panel);
    QCOMPARE(edits.size(), joints.size());
    int left = -1;
    for (int i = 0; i < edits.size(); ++i) {
        QLabel* caption = nullptr;
        for (QLabel* candidate : host->findChildren<QLabel*>())
            caption = candidate->text() == joints[i] ? candidate : caption;
        QVERIFY2(caption, qPrintable(joints[i]));
        QCOMPARE(caption->font().pointSize(), 16);
        QVERIFY(edits[i]->isReadOnly());
        QCOMPARE(edits[i]->minimumHeight(), 30);
        QCOMPARE(window.setButtons(panel)[i]->text(), QString("Set"));
        QCOMPARE(window.setButtons(panel)[i]->minimumHeight(), 30);
        const int x = edits[i]->mapTo(host, QPoint()).x();
        QVERIFY(x > left);
        QVERIFY(caption->mapTo(host, QPoint()).x() <= x);
        left = x;
    }
    QCOMPARE(window.goButton(panel)->text(), QString("GO"));
    QCOMPARE(window.goButton(panel)->minimumHeight(), 80);
}

QTEST_MAIN(TestMotionPanels)
#include "test_MotionPanels.moc"
