#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DriveLink;
class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QMainWindow;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
class ScriptEditor;
class ScriptRunner;
class TeachRecorder;

namespace Ui {
class MainWindow;
}

// The Script page: a script loaded from a file, edited in the table with undo, saved,
// taught from the robot commands sent, and played on the link. Its file and unsaved
// changes show on the page and in the window's title; its dialogs and status messages
// belong to the window. Loading and saving work without a connection; what sends waits
// for one.
class ScriptPage : public QObject
{
    Q_OBJECT

public:
    // What the operator presses on the page.
    enum Control {
        Load, Save, SaveAs, Teach, Insert, Delete, Duplicate, Up, Down, Undo, Redo,
        Start, RunFromHere, Step, Loop, Stop, StopAll,
        ControlCount
    };

    // Takes the page's widgets from the window's form and adds the editing and playing
    // controls beside them. Built after the window's shortcuts, whose keys the tooltips
    // of the controls that wait for a connection keep naming.
    ScriptPage(DriveLink& link, const Ui::MainWindow& form, QMainWindow& window);

    QAbstractButton* control(Control which) const { return controls[which]; }
    QTableWidget& table() const { return scriptTable; }
    QLabel& fileLabel() const { return scriptFileLabel; }
    ScriptRunner& runner() const { return *scriptRunner; }
    ScriptEditor& editor() const { return *scriptEditor; }

    // Where Load starts: the folder of the script loaded or saved last; empty at first,
    // when it starts in the example scripts. Remembered between runs.
    QString folder() const { return lastFolder; }
    void setFolder(const QString& folder) { lastFolder = folder; }

    // Asks whether unsaved changes are saved first, discarded, or kept by cancelling;
    // true when the script may be replaced or the window closed.
    bool confirmDiscardChanges();

private:
    QPushButton* addButton(QHBoxLayout* row, Control which, const char* objectName, const QString& text,
                           const QString& toolTip);
    void addEditingControls(QHBoxLayout* row);
    void addPlayingControls(QHBoxLayout* row);
    void enableSending();
    void teach(bool on);
    void insertTaughtRows(const QList<QStringList>& rows);
    void load();
    bool save(bool chooseFile);
    void step();
    void stopAll();
    void showState();
    void showRejectedRow(int row, const QString& reason);
    // Marks a row that cannot run for reason; an empty reason clears the mark.
    void markRow(int row, const QString& reason);
    bool hasScript() const;
    void showStatus(const QString& message);

    DriveLink& link;
    QMainWindow& window;
    QTableWidget& scriptTable;
    QLabel& scriptFileLabel;
    QAbstractButton* controls[ControlCount] = {};
    ScriptRunner* scriptRunner = nullptr;
    ScriptEditor* scriptEditor = nullptr;
    TeachRecorder* teachRecorder = nullptr;
    int teachRow = 0; // where the next taught rows go
    std::function<void()> showSending;
    QString lastFolder;
};
