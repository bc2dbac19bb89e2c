// The drive setup form built on a DriveView.
#include "ui/DriveView.h"

#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QToolButton>
#include <QtTest>

namespace {

// The grid table, in creation order: row, column group, caption object
// name, caption text (the variable's name), and whether the entry has an edit button.
struct Entry
{
    int row;
    int group;
    const char* label;
    const char* name;
    bool button;
};

const Entry grid[] = {
    {0, 0, "label", "CtrlMode", true},        {0, 1, "label_12", "ADCValue", false},
    {0, 2, "label_25", "PIDOut", false},      {0, 3, "label_32", "NextPoint", false},
    {0, 4, "label_11", "pid_Kp", true},       {1, 0, "label_2", "CtrlType", true},
    {1, 1, "label_14", "ADCOffset", true},    {1, 2, "label_27", "SpeedMax", true},
    {1, 3, "label_34", "CurrentLimit", true}, {1, 4, "label_16", "pid_Ki", true},
    {2, 0, "label_3", "SetPointSrc", true},   {2, 1, "label_18", "ThermalState", false},
    {2, 2, "label_23", "AccelerationStep", true}, {2, 3, "label_38", "PWM_CLimit", false},
    {2, 4, "label_22", "pid_Kd", true},       {3, 0, "label_4", "PosMesSrc", true},
    {3, 1, "label_19", "Speed", false},       {3, 2, "label_21", "InitPoint", false},
    {3, 3, "label_39", "PWM_CurrentStep", false}, {3, 4, "label_24", "pid_Error", false},
    {4, 0, "label_5", "ErrorCode", false},    {4, 1, "label_20", "Position", false},
    {4, 2, "label_26", "DestPoint", false},   {4, 3, "label_40", "CurrentLimitActive", false},
    {4, 4, "label_28", "pid_error_accum", false}, {5, 0, "label_6", "SetPoint", true},
    {5, 1, "label_15", "Acceleration", false}, {5, 2, "label_9", "Current", false},
    {5, 3, "label_35", "EncoderBias", true},  {5, 4, "label_29", "pid_error_der", false},
    {6, 0, "label_7", "SetPointMax", true},   {6, 1, "label_17", "RefPoint", false},
    {6, 2, "label_10", "CurrentOffset", true}, {6, 3, "label_37", "MotorBias", true},
    {6, 4, "label_30", "pid_error_max", true}, {7, 0, "label_8", "SetPointMin", true},
    {7, 1, "label_13", "MesPoint", false},
};

// Row, column and span of a widget in the grid; row -1 when it is not there.
struct Cell
{
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
};

Cell cellOf(QGridLayout* layout, QWidget* widget)
{
    Cell cell;
    const int index = layout->indexOf(widget);
    if (index >= 0)
        layout->getItemPosition(index, &cell.row, &cell.column, &cell.rowSpan, &cell.columnSpan);
    return cell;
}

} // namespace

class TestDriveViewForm : public QObject
{
    Q_OBJECT

private slots:
    void counts();
    void everyFieldReadOnly();
    void gridEntries_data();
    void gridEntries();
    void emptyCells();
    void creationOrder();
    void panel();
    void dock();
    void panelWithObjectNameKeepsIt();
};

void TestDriveViewForm::counts()
{
    DriveView view(nullptr, 0);
    QCOMPARE(view.findChildren<QLabel*>().size(), 37);
    QCOMPARE(view.findChildren<QLineEdit*>().size(), 37);
    QCOMPARE(view.findChildren<QToolButton*>().size(), 18);
    QCOMPARE(view.findChildren<QDockWidget*>().size(), 1);
    QCOMPARE(view.findChildren<QwtPlot*>().size(), 1);
    QCOMPARE(view.gridLayout->count(), 37 + 37 + 18);
    QCOMPARE(view.gridLayout->rowCount(), 8);
    QCOMPARE(view.gridLayout->columnCount(), 15);
    for (QToolButton* button : view.findChildren<QToolButton*>()) {
        QCOMPARE(button->text(), QStringLiteral("..."));
        QVERIFY(button->icon().isNull());
    }
}

void TestDriveViewForm::everyFieldReadOnly()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QList<QLineEdit*> fields = view.findChildren<QLineEdit*>();
    QCOMPARE(fields.size(), 37);
    for (QLineEdit* field : fields) {
        QVERIFY2(field->isReadOnly(), qPrintable(field->objectName()));
        field->setText("1234");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClicks(field, "56");
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->text(), QStringLiteral("1234"));
        // The operator can still select (and so copy) the text.
        field->selectAll();
        QCOMPARE(field->selectedText(), QStringLiteral("1234"));
    }
}

void TestDriveViewForm::gridEntries_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hasButton");
    for (const Entry& e : grid)
        QTest::newRow(e.name) << e.row << e.group << QString::fromLatin1(e.label)
                              << QString::fromLatin1(e.name) << e.button;
}

void TestDriveViewForm::gridEntries()
{
    QFETCH(int, row);
    QFETCH(int, group);
    QFETCH(QString, label);
    QFETCH(QString, name);
    QFETCH(bool, hasButton);

    DriveView view(nullptr, 0);
    auto* caption = view.findChild<QLabel*>(label);
    auto* field = view.findChild<QLineEdit*>("lineEdit_" + name);
    auto* button = view.findChild<QToolButton*>("toolButton_" + name);
    QVERIFY(caption);
    QVERIFY(field);
    QCOMPARE(caption->text(), name);
    QCOMPARE(caption->parentWidget(), &view);
    QCOMPARE(field->parentWidget(), &view);

    const Cell captionCell = cellOf(view.gridLayout, caption);
    QCOMPARE(captionCell.row, row);
    QCOMPARE(captionCell.column, group * 3);
    QCOMPARE(captionCell.rowSpan, 1);
    QCOMPARE(captionCell.columnSpan, 1);
    const Cell fieldCell = cellOf(view.gridLayout, field);
    QCOMPARE(fieldCell.row, row);
    QCOMPARE(fieldCell.column, group * 3 + 1);
    QCOMPARE(fieldCell.rowSpan, 1);
    QCOMPARE(fieldCell.columnSpan, 1);
    QCOMPARE(view.gridLayout->itemAt(view.gridLayout->indexOf(field))->alignment(), Qt::Alignment());

    QCOMPARE(button != nullptr, hasButton);
    if (hasButton) {
        QCOMPARE(button->parentWidget(), &view);
        QCOMPARE(button->text(), QStringLiteral("..."));
        const Cell buttonCell = cellOf(view.gridLayout, button);
        QCOMPARE(buttonCell.row, row);
        QCOMPARE(buttonCell.column, group * 3 + 2);
        QCOMPARE(buttonCell.rowSpan, 1);
        QCOMPARE(buttonCell.columnSpan, 1);
    } else {
        QVERIFY(!view.gridLayout->itemAtPosition(row, group * 3 + 2));
    }
}

void TestDriveViewForm::emptyCells()
{
    DriveView view(nullptr, 0);
    // Row 7 holds only SetPointMin [...] and MesPoint; the third column of MesPoint is empty.
    for (int column = 5; column < 15; ++column)
        QVERIFY2(!view.gridLayout->itemAtPosition(7, column), qPrintable(QString::number(column)));

    // Every cell of the 8 x 15 grid is occupied exactly as the table says.
    QSet<int> occupied;
    for (const Entry& e : grid) {
        occupied << e.row * 15 + e.group * 3 << e.row * 15 + e.group * 3 + 1;
        if (e.button)
            occupied << e.row * 15 + e.group * 3 + 2;
    }
    QCOMPARE(occupied.size(), 92);
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 15; ++column)
            QVERIFY2(bool(view.gridLayout->itemAtPosition(row, column))
                         == occupied.contains(row * 15 + column),
                     qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(column)));
}

// The form's members and the grid's items come in the order of the grid table.
void TestDriveViewForm::creationOrder()
{
    DriveView view(nullptr, 0);
    QStringList expected;
    for (const Entry& e : grid) {
        expected << QString::fromLatin1(e.label) << QStringLiteral("lineEdit_") + e.name;
        if (e.button)
            expected << QStringLiteral("toolButton_") + e.name;
    }
    QStringList seen;
    for (int i = 0; i < view.gridLayout->count(); ++i)
        seen << view.gridLayout->itemAt(i)->widget()->objectName();
    QCOMPARE(seen, expected);

    // A few members by name, as other parts reach them.
    QCOMPARE(view.lineEdit_Position->objectName(), QStringLiteral("lineEdit_Position"));
    QCOMPARE(view.toolButton_pid_error_max->objectName(), QStringLiteral("toolButton_pid_error_max"));
    QCOMPARE(view.label_40->text(), QStringLiteral("CurrentLimitActive"));
}

void TestDriveViewForm::panel()
{
    DriveView view(nullptr, 0);
    QCOMPARE(view.objectName(), QStringLiteral("DriveView"));
    QCOMPARE(view.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(view.size(), QSize(1085, 709));
    QCOMPARE(view.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(view.sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(view.sizePolicy().horizontalStretch(), 0);
    QCOMPARE(view.sizePolicy().verticalStretch(), 0);

    // The grid above, the dock below, both in the panel's vertical layout.
    QCOMPARE(view.layout(), view.verticalLayout);
    QCOMPARE(view.verticalLayout->count(), 2);
    QCOMPARE(view.verticalLayout->itemAt(0)->layout(), view.gridLayout);
    QCOMPARE(view.verticalLayout->itemAt(1)->widget(), view.dockWidget);
    QCOMPARE(view.verticalLayout->objectName(), QStringLiteral("verticalLayout"));
    QCOMPARE(view.gridLayout->objectName(), QStringLiteral("gridLayout"));
}

void TestDriveViewForm::dock()
{
    DriveView view(nullptr, 0);
    QDockWidget* dock = view.dockWidget;
    QCOMPARE(dock->objectName(), QStringLiteral("dockWidget"));
    QCOMPARE(dock->parentWidget(), &view);
    QCOMPARE(int(dock->features()), 0x0E);
    QVERIFY(dock->features() & QDockWidget::DockWidgetMovable);
    QVERIFY(dock->features() & QDockWidget::DockWidgetFloatable);
    QVERIFY(dock->features() & QDockWidget::DockWidgetVerticalTitleBar);
    QVERIFY(!(dock->features() & QDockWidget::DockWidgetClosable));
    QCOMPARE(dock->windowTitle(), QStringLiteral("Position (red) -  Speed(blue) - SetPoint (green)"));

    QCOMPARE(dock->widget(), view.dockWidgetContents);
    QCOMPARE(view.dockWidgetContents->objectName(), QStringLiteral("dockWidgetContents"));
    QCOMPARE(view.dockWidgetContents->layout(), view.verticalLayout_2);
    QCOMPARE(view.verticalLayout_2->objectName(), QStringLiteral("verticalLayout_2"));
    QCOMPARE(view.verticalLayout_2->count(), 1);
    QCOMPARE(view.verticalLayout_2->itemAt(0)->widget(), view.qwtPlot);
    QCOMPARE(view.qwtPlot->objectName(), QStringLiteral("qwtPlot"));
    QCOMPARE(view.qwtPlot->parentWidget(), view.dockWidgetContents);
    QCOMPARE(view.qwtPlot->frameShape(), QFrame::Box);
    QCOMPARE(view.qwtPlot->frameShadow(), QFrame::Raised);

    // Floated out and docked back, it is still the panel's.
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    dock->setFloating(true);
    QVERIFY(dock->isWindow());
    dock->setFloating(false);
    QVERIFY(!dock->isWindow());
    QCOMPARE(view.verticalLayout->indexOf(dock), 1);
}

void TestDriveViewForm::panelWithObjectNameKeepsIt()
{
    QWidget panel;
    panel.setObjectName("motorPanel");
    Ui::DriveView form;
    form.setupUi(&panel);
    QCOMPARE(panel.objectName(), QStringLiteral("motorPanel"));
    QCOMPARE(form.lineEdit_CtrlMode->parentWidget(), &panel);

    QWidget unnamed;
    Ui::DriveView form2;
    form2.setupUi(&unnamed);
    QCOMPARE(unnamed.objectName(), QStringLiteral("DriveView"));
}

QTEST_MAIN(TestDriveViewForm)
#include "test_DriveViewForm.moc"
