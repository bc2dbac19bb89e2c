#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class BoardSettingsSession;
class DriveLink;
class QAction;
class QPushButton;
class QWidget;
struct BoardSettings;

// What the operator does with the selected board's settings as a whole: save them to a
// file, compare or apply a file, copy them to the other board, and Save EEPROM. Each runs
// a BoardSettingsSession, shows its progress and ends it, also when the operator cancels.
class BoardSettingsActions : public QObject
{
    Q_OBJECT

public:
    // The dialogs open over window.
    BoardSettingsActions(DriveLink& link, QWidget& window);

    // Save, compare, apply and copy, in the order the File menu lists them.
    QList<QAction*> actions() const { return fileActions; }
    // Takes over the Save EEPROM button; the tooltip it has by then is the one shown
    // while a save can be made.
    void takeSaveEepromButton(QPushButton& button);

signals:
    // A file of settings was committed, for the status bar.
    void saved(const QString& note);
    // A copy selects the board it writes first, so that the window shows that board.
    void boardToBeWritten(int board);

private:
    void save();
    void openFile(bool apply);
    void copyToOtherBoard();
    void readSelectedBoard(const std::function<void(const BoardSettings&)>& then);
    void showSaveEepromState();
    void saveToEeprom();

    DriveLink& link;
    QWidget& window;
    QList<QAction*> fileActions;
    QPushButton* saveEepromButton = nullptr;
    QString saveEepromToolTip;
    BoardSettingsSession* eepromSession = nullptr; // while a Save EEPROM runs
};
