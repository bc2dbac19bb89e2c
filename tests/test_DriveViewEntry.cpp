// The parameter entry dialogs of a DriveView and what the view reports from them.
#include "ui/DriveView.h"
#include "support/Modal.h"

#include <QInputDialog>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace SharedVariables;

namespace {

struct Entered
{
    Index index;
    int motor;
    double value;
};

// Every parameterEntered of a view, in order.
struct EnteredLog
{
    explicit EnteredLog(DriveView& view)
    {
        QObject::connect(&view, &DriveView::parameterEntered,
                         [this](Index index, int motor, double value) { entries.append({index, motor, value}); });
    }
    QVector<Entered> entries;
};

// What one input dialog showed when it came up.
struct Seen
{
    bool isInputDialog = false;
    QWidget* parent = nullptr;
    QString title, label;
    bool intMode = false;
    double minimum = 0, maximum = 0, start = 0;
    int intStep = 0, decimals = 0;
};

QLineEdit* fieldOf(DriveView& view, Index index)
{
    return view.findChild<QLineEdit*>(variable(index).fieldName());
}

// Presses the parameter's button, records the dialog it opens and answers it.
Seen enter(DriveView& view, Index index, std::function<void(QInputDialog*)> answer)
{
    Seen seen;
    answerNextModal([&seen, answer](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        if (!dialog)
            return rejectModal(modal);
        seen.isInputDialog = true;
        seen.parent = dialog->parentWidget();
        seen.title = dialog->windowTitle();
        seen.label = dialog->labelText();
        seen.intMode = dialog->inputMode() == QInputDialog::IntInput;
        seen.minimum = seen.intMode ? dialog->intMinimum() : dialog->doubleMinimum();
        seen.maximum = seen.intMode ? dialog->intMaximum() : dialog->doubleMaximum();
        seen.start = seen.intMode ? dialog->intValue() : dialog->doubleValue();
        seen.intStep = dialog->intStep();
        seen.decimals = dialog->doubleDecimals();
        answer(dialog);
    });
    const QString button = QStringLiteral("toolButton_") + QLatin1String(variable(index).name);
    view.findChild<QToolButton*>(button)->click();
    return seen;
}

void setValue(QInputDialog* dialog, double value)
{
    if (dialog->inputMode() == QInputDialog::IntInput)
        dialog->setIntValue(int(value));
    else
        dialog->setDoubleValue(value);
}

void acceptWith(QInputDialog* dialog, double value)
{
    setValue(dialog, value);
    dialog->accept();
}

void acceptAsShown(QInputDialog* dialog)
{
    dialog->accept();
}

} // namespace

class TestDriveViewEntry : public QObject
{
    Q_OBJECT

private:
    // Every parameter, each on the view of one of the four motors.
    static void parameterRows();

private slots:
    void dialogAndReport_data() { parameterRows(); }
    void dialogAndReport();
    void cancelReportsNothing_data() { parameterRows(); }
    void cancelReportsNothing();
    void unconvertibleFieldStartsAtZero_data() { parameterRows(); }
    void unconvertibleFieldStartsAtZero();
    void startOutsideBoundsIsClamped_data() { parameterRows(); }
    void startOutsideBoundsIsClamped();
    void floatRoundedToSixDecimals_data();
    void floatRoundedToSixDecimals();
    void typedOnTheKeyboard();
    void dialogKeepsItsStartWhileFieldChanges();
};

void TestDriveViewEntry::parameterRows()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("motor");
    int row = 0;
    for (Index index : parameters())
        QTest::newRow(variable(index).name) << int(index) << row++ % MotorCount;
}

void TestDriveViewEntry::dialogAndReport()
{
    QFETCH(int, index);
    QFETCH(int, motor);
    const Variable& parameter = variable(Index(index));
    const QString name = QLatin1String(parameter.name);
    const QString startText = parameter.isFloat() ? QStringLiteral("2.5") : QString::number(parameter.maximum);
    const double start = startText.toDouble();
    const double entered = parameter.isFloat() ? 123.456789 : double(int(parameter.minimum + parameter.maximum) / 2);

    DriveView view(nullptr, motor);
    fieldOf(view, Index(index))->setText(startText);
    EnteredLog log(view);
    const Seen seen = enter(view, Index(index), [entered](QInputDialog* d) { acceptWith(d, entered); });

    QVERIFY(seen.isInputDialog);
    QCOMPARE(seen.parent, &view);
    QCOMPARE(seen.title, QStringLiteral("%1 Selection [Motor ID: %2]").arg(name).arg(motor + 1));
    QCOMPARE(seen.label.section(": ", 0, 0), QStringLiteral("Enter %1 of motor %2 on board 0x01").arg(name).arg(motor));
    if (index == pid_Kp)
        QCOMPARE(seen.label, QStringLiteral("Enter pid_Kp of motor 2 on board 0x01: 0 to 1000000"));
    QCOMPARE(seen.intMode, !parameter.isFloat());
    QCOMPARE(seen.minimum, parameter.minimum);
    QCOMPARE(seen.maximum, parameter.maximum);
    QCOMPARE(seen.start, start);
    if (parameter.isFloat())
        QCOMPARE(seen.decimals, 6);
    else
        QCOMPARE(seen.intStep, 1);

    QCOMPARE(log.entries.size(), 1);
    QCOMPARE(int(log.entries[0].index), index);
    QCOMPARE(log.entries[0].motor, motor);
    QCOMPARE(log.entries[0].value, entered);
    // The view reports; its field shows what the board says, not what was entered.
    QCOMPARE(fieldOf(view, Index(index))->text(), startText);
}

void TestDriveViewEntry::cancelReportsNothing()
{
    QFETCH(int, index);
    QFETCH(int, motor);
    DriveView view(nullptr, motor);
    fieldOf(view, Index(index))->setText("1");
    EnteredLog log(view);

    // A value typed and then cancelled is not reported; closing the dialog is a cancel too.
    QVERIFY(enter(view, Index(index), [](QInputDialog* d) {
                setValue(d, 0);
                d->reject();
            }).isInputDialog);
    QVERIFY(enter(view, Index(index), [](QInputDialog* d) { d->close(); }).isInputDialog);
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(fieldOf(view, Index(index))->text(), QStringLiteral("1"));
}

// A field never read from the board is empty; the dialog starts at 0 then.
void TestDriveViewEntry::unconvertibleFieldStartsAtZero()
{
    QFETCH(int, index);
    QFETCH(int, motor);
    QStringList texts = {QString(), QStringLiteral("n/a"), QStringLiteral("12abc")};
    // Integers convert in base 10 only: no fractions, exponents or hexadecimal.
    if (!variable(Index(index)).isFloat())
        texts << QStringLiteral("1.5") << QStringLiteral("1e1") << QStringLiteral("0x2");
    for (const QString& text : texts) {
        DriveView view(nullptr, motor);
        fieldOf(view, Index(index))->setText(text);
        EnteredLog log(view);
        QCOMPARE(enter(view, Index(index), acceptAsShown).start, 0.0);
        QCOMPARE(log.entries.size(), 1);
        QCOMPARE(log.entries[0].value, 0.0);
    }
}

void TestDriveViewEntry::startOutsideBoundsIsClamped()
{
    QFETCH(int, index);
    QFETCH(int, motor);
    const Variable& parameter = variable(Index(index));
    const struct
    {
        double fieldValue;
        double start;
    } cases[] = {{parameter.maximum + 1000, parameter.maximum}, {parameter.minimum - 1000, parameter.minimum}};
    for (const auto& c : cases) {
        DriveView view(nullptr, motor);
        fieldOf(view, Index(index))->setText(QString::number(c.fieldValue));
        EnteredLog log(view);
        QCOMPARE(enter(view, Index(index), acceptAsShown).start, c.start);
        QCOMPARE(log.entries.size(), 1);
        QCOMPARE(log.entries[0].value, c.start);
    }
}

void TestDriveViewEntry::floatRoundedToSixDecimals_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("fieldText");
    QTest::addColumn<double>("rounded");
    QTest::newRow("pid_Kp") << int(pid_Kp) << "1.23456789" << 1.234568;
    QTest::newRow("pid_Ki") << int(pid_Ki) << "0.0000004" << 0.0;
    QTest::newRow("pid_Kd") << int(pid_Kd) << "42.1234565001" << 42.123457;
    QTest::newRow("pid_error_max") << int(pid_error_max) << "3.14159265358979" << 3.141593;
}

void TestDriveViewEntry::floatRoundedToSixDecimals()
{
    QFETCH(int, index);
    QFETCH(QString, fieldText);
    QFETCH(double, rounded);
    DriveView view(nullptr, 0);
    fieldOf(view, Index(index))->setText(fieldText);
    EnteredLog log(view);
    QCOMPARE(enter(view, Index(index), acceptAsShown).start, rounded);
    QCOMPARE(log.entries.size(), 1);
    QCOMPARE(log.entries[0].value, rounded);
}

// The operator's own path: select the shown value, type another, press Return.
void TestDriveViewEntry::typedOnTheKeyboard()
{
    DriveView view(nullptr, 0);
    fieldOf(view, CtrlMode)->setText("0");
    EnteredLog log(view);
    enter(view, CtrlMode, [](QInputDialog* d) {
        auto* spin = d->findChild<QSpinBox*>();
        QVERIFY(spin);
        spin->selectAll();
        QTest::keyClicks(spin, "2");
        QTest::keyClick(spin, Qt::Key_Return);
    });
    QCOMPARE(log.entries.size(), 1);
    QCOMPARE(log.entries[0].index, CtrlMode);
    QCOMPARE(log.entries[0].motor, 0);
    QCOMPARE(log.entries[0].value, 2.0);
}

// The value fields are redrawn while a dialog is open; the dialog keeps its start.
void TestDriveViewEntry::dialogKeepsItsStartWhileFieldChanges()
{
    DriveView view(nullptr, 0);
    view.showValue(SpeedMax, "100");
    EnteredLog log(view);
    const Seen seen = enter(view, SpeedMax, [&view](QInputDialog* d) {
        view.showValue(SpeedMax, "200");
        d->accept();
    });
    QCOMPARE(seen.start, 100.0);
    QCOMPARE(log.entries.size(), 1);
    QCOMPARE(log.entries[0].value, 100.0);
}

QTEST_MAIN(TestDriveViewEntry)
#include "test_DriveViewEntry.moc"
