#pragma once

#include "ui_MainWindow.h"

#include <QObject>

class QMainWindow;

// The Help menu (Getting started, About) and the keyboard shortcuts of the buttons the
// operator reaches for most, with the keys named in the buttons' tooltips.
class HelpMenu : public QObject
{
    Q_OBJECT

public:
    HelpMenu(QMainWindow& window, const Ui::MainWindow& form);

private:
    void addShortcuts(const Ui::MainWindow& form);
    void showAbout();
    void showGettingStarted();

    QMainWindow& window;
};
