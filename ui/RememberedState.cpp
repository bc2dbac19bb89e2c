#include "ui/RememberedState.h"

#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "ui/PortBox.h"
#include "ui/ScriptPage.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace RememberedState {

namespace {

QString graphKey(int motor, const char* what)
{
    return QStringLiteral("window/graph%1/%2").arg(motor).arg(QLatin1String(what));
}

// The middle of a floating graph's title strip, by which it is moved and docked, lies on
// some screen's free area.
bool titleStripOnScreen(const QRect& geometry)
{
    const QPoint strip(geometry.left() + 8, geometry.center().y());
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(strip))
            return true;
    }
    return false;
}

void restoreConnection(MainWindow& window, const QSettings& settings)
{
    const QString port = settings.value(QStringLiteral("connection/port")).toString();
    if (!port.isEmpty())
        window.portBox().choose(port);
    const int board = window.form().addressComboBox->findText(settings.value(QStringLiteral("connection/board")).toString());
    if (board >= 0)
        window.form().addressComboBox->setCurrentIndex(board);
}

void saveConnection(const MainWindow& window, QSettings& settings)
{
    const QString port = window.portBox().portToRemember();
    if (!port.isEmpty())
        settings.setValue(QStringLiteral("connection/port"), port);
    settings.setValue(QStringLiteral("connection/board"), window.form().addressComboBox->currentText());
}

void restoreWindow(MainWindow& window, const QSettings& settings)
{
    window.restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    window.restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    const int tab = settings.value(QStringLiteral("window/tab"), -1).toInt();
    if (tab >= 0 && tab < window.form().tabWidget->count())
        window.form().tabWidget->setCurrentIndex(tab);
    // A graph floated out of its motor's page comes back floating where it was, if that
    // is on a screen there now; otherwise it comes back docked.
    for (int motor = 0; motor < SharedVariables::MotorCount; ++motor) {
        QDockWidget* dock = window.driveView(motor)->form().dockWidget;
        if (settings.value(graphKey(motor, "floating")).toBool()) {
            dock->setFloating(true);
            dock->restoreGeometry(settings.value(graphKey(motor, "geometry")).toByteArray());
            if (!titleStripOnScreen(dock->geometry()))
                dock->setFloating(false);
        }
    }
}

void saveWindow(const MainWindow& window, QSettings& settings)
{
    settings.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
    settings.setValue(QStringLiteral("window/state"), window.saveState());
    settings.setValue(QStringLiteral("window/tab"), window.form().tabWidget->currentIndex());
    for (int motor = 0; motor < SharedVariables::MotorCount; ++motor) {
        const QDockWidget* dock = window.driveView(motor)->form().dockWidget;
        settings.setValue(graphKey(motor, "floating"), dock->isFloating());
        settings.setValue(graphKey(motor, "geometry"), dock->saveGeometry());
    }
}

} // namespace

void restore(MainWindow& window, const QSettings& settings)
{
    restoreConnection(window, settings);
    restoreWindow(window, settings);
    window.scriptPage().setFolder(settings.value(QStringLiteral("scripts/folder")).toString());
}

void save(const MainWindow& window, QSettings& settings)
{
    saveConnection(window, settings);
    saveWindow(window, settings);
    if (!window.scriptPage().folder().isEmpty())
        settings.setValue(QStringLiteral("scripts/folder"), window.scriptPage().folder());
}

} // namespace RememberedState
