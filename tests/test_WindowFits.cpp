// The window on small laptop screens: its smallest size fits, the plot keeps its axes,
// and every value field shows the longest text of its variable whole.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "ui/StepTestDialog.h"

#include <QtTest>
#include <qwt_plot.h>

using namespace SharedVariables;

class TestWindowFits : public QObject
{
    Q_OBJECT

private slots:
    void fits_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1366x768") << QSize(1366, 768);
        QTest::newRow("1280x720") << QSize(1280, 720);
    }

    void fits()
    {
        QFETCH(QSize, screen);
        const QSize available = screen - QSize(16, 80); // borders, title bar, desktop panel
        DriveLink link;
        MainWindow window(link);
        QCOMPARE(window.minimumSizeHint().boundedTo(available), window.minimumSizeHint());
        window.resize(available);
        window.form().tabWidget->setCurrentIndex(3);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        DriveView* view = window.driveView(3);
        const QwtPlot* plot = view->form().qwtPlot;
        QCOMPARE(plot->size().expandedTo(plot->minimumSizeHint()), plot->size());
        const QMap<Type, QStringList> longest{{Type::U8, {"255"}}, {Type::U16, {"65535"}}, {Type::S16, {"-32768"}},
                                              {Type::F32, {"-0.0000006808451", "-123456700000", "-3.402823e+38"}}};
        for (int index = 0; index < VariableCount; ++index) {
            auto* field = view->findChild<QLineEdit*>(variable(Index(index)).fieldName());
            for (const QString& text : longest[variable(Index(index)).type]) {
                view->showValue(Index(index), text);
                field->grab(); // lays the text out as on screen
                // The cursor stands behind the text; had the field scrolled to it, the start would be cut off.
                QVERIFY2(field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x()
                             >= field->fontMetrics().horizontalAdvance(text),
                         qPrintable(field->objectName() + " " + text));
            }
        }
    }

    void stepTestDialogFits_data() { fits_data(); }

    // Beside its buttons, the dialog has the gains to change between runs.
    void stepTestDialogFits()
    {
        QFETCH(QSize, screen);
        const QSize available = screen - QSize(16, 80);
        DriveLink link;
        StepTestDialog dialog(link, 2);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size().boundedTo(available), dialog.size());
        QVERIFY(dialog.form().doubleSpinBox_Kp->isVisible());
    }
};

QTEST_MAIN(TestWindowFits)
#include "test_WindowFits.moc"
