// The value fields of a DriveView as the operator reads and uses them.
#include "ui/DriveView.h"

#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

using namespace SharedVariables;

namespace {

// The caption, field or button just right of widget on its row; none at the row's end.
QWidget* nextToTheRight(const DriveView& view, const QWidget* widget)
{
    const QRect from(widget->mapTo(&view, QPoint()), widget->size());
    QWidget* next = nullptr;
    for (QWidget* candidate : view.findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(candidate) && !qobject_cast<QLineEdit*>(candidate)
            && !qobject_cast<QToolButton*>(candidate))
            continue;
        const QRect at(candidate->mapTo(&view, QPoint()), candidate->size());
        if (at.left() > from.right() && from.contains(from.center().x(), at.center().y())
            && (!next || at.left() < next->mapTo(&view, QPoint()).x()))
            next = candidate;
    }
    return next;
}

} // namespace

class TestDriveViewForm : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void redrawKeepsTheSelection();
    void graphFloatsButCannotBeClosed();
};

void TestDriveViewForm::field_data()
{
    QTest::addColumn<int>("index");
    for (int index = 0; index < VariableCount; ++index)
        QTest::newRow(motorVariables()[size_t(index)].name) << index;
}

// Every variable has a field captioned with its name; exactly the parameters have an edit
// button beside it. The operator cannot type into a field but can copy from it.
void TestDriveViewForm::field()
{
    QFETCH(int, index);
    const Variable& shown = variable(Index(index));
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QList<QLabel*> captions;
    for (QLabel* label : view.findChildren<QLabel*>())
        if (label->text() == QLatin1String(shown.name))
            captions << label;
    QCOMPARE(captions.size(), 1);
    auto* field = qobject_cast<QLineEdit*>(nextToTheRight(view, captions[0]));
    QVERIFY(field);
    auto* button = qobject_cast<QToolButton*>(nextToTheRight(view, field));
    QCOMPARE(button != nullptr, shown.writable);
    if (button)
        QCOMPARE(button->text(), QStringLiteral("..."));

    view.showValue(Index(index), "1234");
    QCOMPARE(field->text(), QStringLiteral("1234"));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, "56");
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), QStringLiteral("1234"));
    field->selectAll();
    QCOMPARE(field->selectedText(), QStringLiteral("1234"));
}

// Fields are redrawn at every poll; an unchanged value must not undo the operator's selection.
void TestDriveViewForm::redrawKeepsTheSelection()
{
    DriveView view(nullptr, 2);
    QLineEdit* field = view.form().lineEdit_Position;
    view.showValue(Position, "-1200");
    field->setSelection(1, 3);
    view.showValue(Position, "-1200");
    QCOMPARE(field->selectedText(), QStringLiteral("120"));
    view.showValue(Position, "-1201");
    QCOMPARE(field->text(), QStringLiteral("-1201"));
    QVERIFY(!field->hasSelectedText());
}

// Nothing in the window brings a closed graph back; floated out and docked again, it is the view's.
void TestDriveViewForm::graphFloatsButCannotBeClosed()
{
    DriveView view(nullptr, 0);
    QDockWidget* dock = view.form().dockWidget;
    QVERIFY(!(dock->features() & QDockWidget::DockWidgetClosable));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    dock->setFloating(true);
    QVERIFY(dock->isWindow());
    dock->setFloating(false);
    QVERIFY(!dock->isWindow());
    QVERIFY(view.isAncestorOf(dock));
    QVERIFY(dock->isVisible());
}

QTEST_MAIN(TestDriveViewForm)
#include "test_DriveViewForm.moc"
