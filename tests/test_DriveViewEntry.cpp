// The view class and its parameter entry dialogs.
#include "ui/DriveView.h"
#include "support/Modal.h"

#include <QInputDialog>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The 18 change signals in their declared order.
const char* const changeSignals[] = {
    SIGNAL(CtrlModeChanged(int,int)),       SIGNAL(CtrlTypeChanged(int,int)),
    SIGNAL(SetPointSrcChanged(int,int)),    SIGNAL(PosMesSrcChanged(int,int)),
    SIGNAL(SetPointChanged(int,int)),       SIGNAL(SetPointMaxChanged(int,int)),
    SIGNAL(SetPointMinChanged(int,int)),    SIGNAL(ADCOffsetChanged(int,int)),
    SIGNAL(SpeedMaxChanged(int,int)),       SIGNAL(AccelerationStepChanged(int,int)),
    SIGNAL(CurrentOffsetChanged(int,int)),  SIGNAL(CurrentLimitChanged(int,int)),
    SIGNAL(EncoderBiasChanged(int,int)),    SIGNAL(MotorBiasChanged(int,int)),
    SIGNAL(pid_KpChanged(double,int)),      SIGNAL(pid_KiChanged(double,int)),
    SIGNAL(pid_KdChanged(double,int)),      SIGNAL(pid_error_maxChanged(double,int)),
};

// What one input dialog showed when it came up.
struct Seen
{
    bool opened = false;
    bool isInputDialog = false;
    QWidget* parent = nullptr;
    QString title;
    QString label;
    bool intMode = false;
    int intMinimum = 0, intMaximum = 0, intStep = 0, intValue = 0;
    double doubleMinimum = 0, doubleMaximum = 0, doubleValue = 0;
    int doubleDecimals = 0;
};

// Presses the button, records the dialog it opens and answers it with `answer`.
Seen pressAndAnswer(DriveView& view, const QString& buttonName,
                    std::function<void(QInputDialog*)> answer)
{
    Seen seen;
    answerNextModal([&seen, answer](QWidget* modal) {
        seen.opened = true;
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        if (!dialog) {
            rejectModal(modal);
            return;
        }
        seen.isInputDialog = true;
        seen.parent = dialog->parentWidget();
        seen.title = dialog->windowTitle();
        seen.label = dialog->labelText();
        seen.intMode = dialog->inputMode() == QInputDialog::IntInput;
        seen.intMinimum = dialog->intMinimum();
        seen.intMaximum = dialog->intMaximum();
        seen.intStep = dialog->intStep();
        seen.intValue = dialog->intValue();
        seen.doubleMinimum = dialog->doubleMinimum();
        seen.doubleMaximum = dialog->doubleMaximum();
        seen.doubleDecimals = dialog->doubleDecimals();
        seen.doubleValue = dialog->doubleValue();
        answer(dialog);
    });
    auto* button = view.findChild<QToolButton*>(buttonName);
    if (!button)
        qFatal("no button %s", qPrintable(buttonName));
    button->click();
    return seen;
}

void acceptWith(QInputDialog* dialog, double value)
{
    if (dialog->inputMode() == QInputDialog::IntInput)
        dialog->setIntValue(static_cast<int>(value));
    else
        dialog->setDoubleValue(value);
    dialog->accept();
}

// One spy per change signal, to see that exactly the right one fires.
struct Spies
{
    explicit Spies(DriveView& view)
    {
        for (const char* signal : changeSignals)
            spies.emplace_back(new QSignalSpy(&view, signal));
    }
    int total() const
    {
        int n = 0;
        for (const auto& spy : spies)
            n += spy->count();
        return n;
    }
    QSignalSpy& of(const QByteArray& signal)
    {
        for (size_t i = 0; i < spies.size(); ++i)
            if (signal == changeSignals[i])
                return *spies[i];
        qFatal("unknown signal %s", signal.constData());
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

double startValue(const Seen& seen)
{
    return seen.intMode ? seen.intValue : seen.doubleValue;
}

} // namespace

class TestDriveViewEntry : public QObject
{
    Q_OBJECT

private:
    // The parameter table, written out in full for the view of motor 2.
    static void parameterRows();

private slots:
    void parameterTable_data() { parameterRows(); }
    void parameterTable();
    void cancelEmitsNothing_data() { parameterRows(); }
    void cancelEmitsNothing();
    void unconvertibleFieldStartsAtZero_data() { parameterRows(); }
    void unconvertibleFieldStartsAtZero();
    void startValueOutsideRangeIsClamped_data() { parameterRows(); }
    void startValueOutsideRangeIsClamped();
    void pidValueRoundedToSixDecimals_data();
    void pidValueRoundedToSixDecimals();
    void motorZeroCtrlMode();
    void sameParameterOnTwoViewsToldApartById();
    void dialogKeepsItsStartValueWhileFieldChanges();
    void metaObject();
};

void TestDriveViewEntry::parameterRows()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("isDouble");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("startText");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("entered");

    auto row = [](const char* name, const char* signal, bool isDouble, double minimum,
                  double maximum, const char* startText, double start, double entered) {
        const QString n = QString::fromLatin1(name);
        QTest::newRow(name) << "toolButton_" + n << "lineEdit_" + n << QByteArray(signal)
                            << n + " Selection [Motor ID: 3]" << "Enter " + n << isDouble
                            << minimum << maximum << QString::fromLatin1(startText) << start
                            << entered;
    };
    row("CtrlMode", SIGNAL(CtrlModeChanged(int,int)), false, 0, 3, "1", 1, 3);
    row("CtrlType", SIGNAL(CtrlTypeChanged(int,int)), false, 0, 3, "2", 2, 0);
    row("SetPointSrc", SIGNAL(SetPointSrcChanged(int,int)), false, 0, 4, "3", 3, 4);
    row("PosMesSrc", SIGNAL(PosMesSrcChanged(int,int)), false, 0, 3, "0", 0, 3);
    row("SetPoint", SIGNAL(SetPointChanged(int,int)), false, 0, 4096, "2048", 2048, 4096);
    row("SetPointMax", SIGNAL(SetPointMaxChanged(int,int)), false, 0, 4096, "4000", 4000, 17);
    row("SetPointMin", SIGNAL(SetPointMinChanged(int,int)), false, 0, 4096, "12", 12, 1234);
    row("ADCOffset", SIGNAL(ADCOffsetChanged(int,int)), false, -4096, 4096, "-100", -100, -4096);
    row("SpeedMax", SIGNAL(SpeedMaxChanged(int,int)), false, 0, 4096, "300", 300, 2500);
    row("AccelerationStep", SIGNAL(AccelerationStepChanged(int,int)), false, 0, 4096, "5", 5, 64);
    row("CurrentOffset", SIGNAL(CurrentOffsetChanged(int,int)), false, 0, 4096, "511", 511, 512);
    row("CurrentLimit", SIGNAL(CurrentLimitChanged(int,int)), false, 0, 10000, "9000", 9000, 10000);
    row("EncoderBias", SIGNAL(EncoderBiasChanged(int,int)), false, 0, 1, "0", 0, 1);
    row("MotorBias", SIGNAL(MotorBiasChanged(int,int)), false, 0, 1, "1", 1, 0);
    row("pid_Kp", SIGNAL(pid_KpChanged(double,int)), true, 0, 1000000, "2.5", 2.5, 123.456789);
    row("pid_Ki", SIGNAL(pid_KiChanged(double,int)), true, 0, 1000000, "0.001", 0.001, 1000000);
    row("pid_Kd", SIGNAL(pid_KdChanged(double,int)), true, 0, 1000000, "17", 17, 0);
    row("pid_error_max", SIGNAL(pid_error_maxChanged(double,int)), true, 0, 1000000, "999.5",
        999.5, 0.000001);
}

void TestDriveViewEntry::parameterTable()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QByteArray, signal);
    QFETCH(QString, title);
    QFETCH(QString, label);
    QFETCH(bool, isDouble);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, startText);
    QFETCH(double, start);
    QFETCH(double, entered);

    DriveView view(nullptr, 2);
    view.findChild<QLineEdit*>(field)->setText(startText);
    Spies spies(view);

    const Seen seen = pressAndAnswer(view, button, [entered](QInputDialog* d) { acceptWith(d, entered); });

    QVERIFY(seen.opened);
    QVERIFY(seen.isInputDialog);
    QCOMPARE(seen.parent, &view);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.label, label);
    QCOMPARE(seen.intMode, !isDouble);
    if (isDouble) {
        QCOMPARE(seen.doubleMinimum, minimum);
        QCOMPARE(seen.doubleMaximum, maximum);
        QCOMPARE(seen.doubleDecimals, 6);
        QCOMPARE(seen.doubleValue, start);
    } else {
        QCOMPARE(seen.intMinimum, int(minimum));
        QCOMPARE(seen.intMaximum, int(maximum));
        QCOMPARE(seen.intStep, 1);
        QCOMPARE(seen.intValue, int(start));
    }

    QCOMPARE(spies.total(), 1);
    QSignalSpy& spy = spies.of(signal);
    QCOMPARE(spy.count(), 1);
    const QList<QVariant> arguments = spy.first();
    QCOMPARE(arguments.at(0).toDouble(), entered);
    QCOMPARE(arguments.at(1).toInt(), 2);
    // The view reports; it does not write its own field.
    QCOMPARE(view.findChild<QLineEdit*>(field)->text(), startText);
}

void TestDriveViewEntry::cancelEmitsNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, startText);
    QFETCH(double, entered);

    DriveView view(nullptr, 2);
    view.findChild<QLineEdit*>(field)->setText(startText);
    Spies spies(view);

    Seen seen = pressAndAnswer(view, button, [entered](QInputDialog* d) {
        // A value typed and then cancelled is not reported either.
        if (d->inputMode() == QInputDialog::IntInput)
            d->setIntValue(int(entered));
        else
            d->setDoubleValue(entered);
        d->reject();
    });
    QVERIFY(seen.isInputDialog);
    QCOMPARE(spies.total(), 0);

    // Closing the window is a cancel too.
    seen = pressAndAnswer(view, button, [](QInputDialog* d) { d->close(); });
    QVERIFY(seen.isInputDialog);
    QCOMPARE(spies.total(), 0);
    QCOMPARE(view.findChild<QLineEdit*>(field)->text(), startText);
}

void TestDriveViewEntry::unconvertibleFieldStartsAtZero()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QByteArray, signal);
    QFETCH(bool, isDouble);

    QStringList texts = {QString(), QStringLiteral("n/a"), QStringLiteral("12abc")};
    // Base-10 integer conversion: no fractions, exponents or hexadecimal.
    if (!isDouble)
        texts << QStringLiteral("1.5") << QStringLiteral("1e1") << QStringLiteral("0x2");
    for (const QString& text : texts) {
        DriveView view(nullptr, 1);
        view.findChild<QLineEdit*>(field)->setText(text);
        Spies spies(view);
        const Seen seen = pressAndAnswer(view, button, [](QInputDialog* d) { d->accept(); });
        QVERIFY2(seen.isInputDialog, qPrintable(text));
        QCOMPARE(startValue(seen), 0.0);
        QCOMPARE(spies.of(signal).count(), 1);
        QCOMPARE(spies.of(signal).first().at(0).toDouble(), 0.0);
        QCOMPARE(spies.of(signal).first().at(1).toInt(), 1);
    }
}

void TestDriveViewEntry::startValueOutsideRangeIsClamped()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QByteArray, signal);
    QFETCH(double, minimum);
    QFETCH(double, maximum);

    const struct
    {
        double fieldValue;
        double expected;
    } cases[] = {{maximum + 1000, maximum}, {minimum - 1000, minimum}};
    for (const auto& c : cases) {
        DriveView view(nullptr, 3);
        view.findChild<QLineEdit*>(field)->setText(QString::number(c.fieldValue));
        Spies spies(view);
        const Seen seen = pressAndAnswer(view, button, [](QInputDialog* d) { d->accept(); });
        QVERIFY(seen.isInputDialog);
        QCOMPARE(startValue(seen), c.expected);
        QCOMPARE(spies.of(signal).count(), 1);
        QCOMPARE(spies.of(signal).first().at(0).toDouble(), c.expected);
        QCOMPARE(spies.of(signal).first().at(1).toInt(), 3);
    }
}

void TestDriveViewEntry::pidValueRoundedToSixDecimals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fieldText");
    QTest::addColumn<double>("rounded");
    QTest::newRow("pid_Kp") << "pid_Kp" << "1.23456789" << 1.234568;
    QTest::newRow("pid_Ki") << "pid_Ki" << "0.0000004" << 0.0;
    QTest::newRow("pid_Kd") << "pid_Kd" << "42.1234565001" << 42.123457;
    QTest::newRow("pid_error_max") << "pid_error_max" << "3.14159265358979" << 3.141593;
}

void TestDriveViewEntry::pidValueRoundedToSixDecimals()
{
    QFETCH(QString, name);
    QFETCH(QString, fieldText);
    QFETCH(double, rounded);

    DriveView view(nullptr, 0);
    view.findChild<QLineEdit*>("lineEdit_" + name)->setText(fieldText);
    QSignalSpy spy(&view, QByteArray("2" + name.toLatin1() + "Changed(double,int)").constData());
    QVERIFY(spy.isValid());

    const Seen seen = pressAndAnswer(view, "toolButton_" + name, [](QInputDialog* d) { d->accept(); });
    QVERIFY(seen.isInputDialog);
    QCOMPARE(seen.doubleDecimals, 6);
    QCOMPARE(seen.doubleValue, rounded);
    QCOMPARE(spy.count(), 1);
    const double emitted = spy.first().at(0).toDouble();
    QCOMPARE(emitted, rounded);
    QVERIFY(std::abs(emitted * 1e6 - std::round(emitted * 1e6)) < 1e-6);
}

// The CtrlMode example, including the keyboard path of the operator.
void TestDriveViewEntry::motorZeroCtrlMode()
{
    DriveView view(nullptr, 0);
    view.lineEdit_CtrlMode->setText("0");
    QSignalSpy spy(&view, &DriveView::CtrlModeChanged);

    const Seen seen = pressAndAnswer(view, "toolButton_CtrlMode", [](QInputDialog* d) {
        auto* spin = d->findChild<QSpinBox*>();
        QVERIFY(spin);
        spin->selectAll();
        QTest::keyClicks(spin, "2");
        QTest::keyClick(spin, Qt::Key_Return);
    });
    QCOMPARE(seen.title, QStringLiteral("CtrlMode Selection [Motor ID: 1]"));
    QCOMPARE(seen.label, QStringLiteral("Enter CtrlMode"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 2);
    QCOMPARE(spy.first().at(1).toInt(), 0);
    QCOMPARE(view.motorNumber(), 0);
}

void TestDriveViewEntry::sameParameterOnTwoViewsToldApartById()
{
    QWidget window;
    DriveView first(&window, 1);
    DriveView last(&window, 3);
    QCOMPARE(first.motorNumber(), 1);
    QCOMPARE(last.motorNumber(), 3);
    QSignalSpy spyFirst(&first, &DriveView::SetPointChanged);
    QSignalSpy spyLast(&last, &DriveView::SetPointChanged);

    Seen seen = pressAndAnswer(first, "toolButton_SetPoint", [](QInputDialog* d) { acceptWith(d, 100); });
    QCOMPARE(seen.title, QStringLiteral("SetPoint Selection [Motor ID: 2]"));
    seen = pressAndAnswer(last, "toolButton_SetPoint", [](QInputDialog* d) { acceptWith(d, 200); });
    QCOMPARE(seen.title, QStringLiteral("SetPoint Selection [Motor ID: 4]"));

    QCOMPARE(spyFirst.count(), 1);
    QCOMPARE(spyFirst.first(), (QList<QVariant>{100, 1}));
    QCOMPARE(spyLast.count(), 1);
    QCOMPARE(spyLast.first(), (QList<QVariant>{200, 3}));
}

// The value fields may be refreshed while a dialog is open; the dialog keeps its start.
void TestDriveViewEntry::dialogKeepsItsStartValueWhileFieldChanges()
{
    DriveView view(nullptr, 0);
    view.lineEdit_SpeedMax->setText("100");
    QSignalSpy spy(&view, &DriveView::SpeedMaxChanged);
    const Seen seen = pressAndAnswer(view, "toolButton_SpeedMax", [&view](QInputDialog* d) {
        view.lineEdit_SpeedMax->setText("200");
        d->accept();
    });
    QCOMPARE(seen.intValue, 100);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 100);
}

void TestDriveViewEntry::metaObject()
{
    DriveView view(nullptr, 0);
    const QMetaObject* meta = view.metaObject();
    QCOMPARE(meta->className(), "DriveView");
    QCOMPARE(meta->superClass(), &QWidget::staticMetaObject);
    QVERIFY(view.qt_metacast("DriveView"));
    QVERIFY(view.qt_metacast("Ui::DriveView"));

    const char* const slotNames[] = {
        "CtrlModeClicked()",      "CtrlTypeClicked()",         "SetPointSrcClicked()",
        "PosMesSrcClicked()",     "SetPointClicked()",         "SetPointMaxClicked()",
        "SetPointMinClicked()",   "ADCOffsetClicked()",        "SpeedMaxClicked()",
        "AccelerationStepClicked()", "CurrentOffsetClicked()", "CurrentLimitClicked()",
        "EncoderBiasClicked()",   "MotorBiasClicked()",        "pid_KpClicked()",
        "pid_KiClicked()",        "pid_KdClicked()",           "pid_error_maxClicked()",
    };
    QStringList signalsSeen, slotsSeen;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal) {
            signalsSeen << QString::fromLatin1(method.methodSignature());
            QCOMPARE(method.parameterNames(), (QList<QByteArray>{"value", "id"}));
        } else if (method.methodType() == QMetaMethod::Slot) {
            slotsSeen << QString::fromLatin1(method.methodSignature());
            QCOMPARE(method.access(), QMetaMethod::Protected);
        }
    }
    QStringList expectedSignals, expectedSlots;
    for (const char* signal : changeSignals)
        expectedSignals << QString::fromLatin1(signal + 1); // without the SIGNAL() code
    for (const char* slot : slotNames)
        expectedSlots << QString::fromLatin1(slot);
    QCOMPARE(signalsSeen, expectedSignals);
    QCOMPARE(slotsSeen, expectedSlots);
}

QTEST_MAIN(TestDriveViewEntry)
#include "test_DriveViewEntry.moc"
