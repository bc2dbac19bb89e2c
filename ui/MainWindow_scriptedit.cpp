// Authoring on the Script page: teach mode, row edits with undo, saving, stepping,
// running from a row, looping, and Stop all.
#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "core/ScriptCheck.h"
#include "core/ScriptRecorder.h"
#include "core/ScriptRunner.h"
#include "ui/ScriptEditor.h"
#include "ui/WhileConnected.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

namespace {

QPushButton* addButton(QHBoxLayout* row, const char* objectName, const QString& text, const QString& toolTip)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(toolTip);
    row->addWidget(button);
    return button;
}

} // namespace

void MainWindow::setUpScriptEditing()
{
    scriptEditor = new ScriptEditor(*ui.tableWidget_Script, this);
    teachRecorder = new ScriptRecorder(link, this);
    auto* row = new QHBoxLayout;
    ui.verticalLayout_9->insertLayout(1, row);

    auto* teach = addButton(row, "pushButton_ScriptRecord", tr("Teach"),
                            tr("Add every robot command sent from now on (GO on the panels) to the script, with the "
                               "waits between them: at the selected row, else before a final \"end\""));
    teach->setCheckable(true);
    connect(teach, &QPushButton::toggled, this, [this, teach](bool on) {
        teach->setText(on ? tr("Stop teaching") : tr("Teach"));
        if (!on) {
            teachRecorder->stop();
            return;
        }
        const QModelIndexList selected = ui.tableWidget_Script->selectionModel()->selectedRows();
        const int first = selected.isEmpty() ? -1
            : std::min_element(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
                  return a.row() < b.row();
              })->row();
        teachRow = ScriptRecorder::insertionRow(scriptEditor->script().rows, first);
        teachRecorder->start();
    });
    connect(teachRecorder, &ScriptRecorder::rowsRecorded, this, [this](const QList<QStringList>& rows) {
        teachRow = std::min(teachRow, int(scriptEditor->script().rows.size()));
        scriptEditor->insertRows(teachRow, rows);
        teachRow += rows.size();
        statusBar()->showMessage(tr("Taught row %1: %2").arg(teachRow).arg(rows.last().join(QLatin1Char(';'))), 5000);
    });

    const struct
    {
        const char* name;
        QString text;
        QString toolTip;
        void (ScriptEditor::*edit)();
    } edits[] = {
        {"pushButton_ScriptInsert", tr("Insert"), tr("Insert an empty row above the selected one"), &ScriptEditor::insertRow},
        {"pushButton_ScriptDelete", tr("Delete"), tr("Delete the selected rows"), &ScriptEditor::deleteRows},
        {"pushButton_ScriptDuplicate", tr("Duplicate"), tr("Copy the selected rows below them"), &ScriptEditor::duplicateRows},
        {"pushButton_ScriptUp", tr("Up"), tr("Move the selected rows up"), &ScriptEditor::moveRowsUp},
        {"pushButton_ScriptDown", tr("Down"), tr("Move the selected rows down"), &ScriptEditor::moveRowsDown},
    };
    for (const auto& edit : edits)
        connect(addButton(row, edit.name, edit.text, edit.toolTip), &QPushButton::clicked, scriptEditor, edit.edit);
    QUndoStack& undo = scriptEditor->undoStack();
    auto* undoButton = addButton(row, "pushButton_ScriptUndo", tr("Undo"), tr("Undo the last edit (Ctrl+Z)"));
    auto* redoButton = addButton(row, "pushButton_ScriptRedo", tr("Redo"), tr("Redo the edit undone (Ctrl+Shift+Z)"));
    connect(undoButton, &QPushButton::clicked, &undo, &QUndoStack::undo);
    connect(redoButton, &QPushButton::clicked, &undo, &QUndoStack::redo);
    connect(&undo, &QUndoStack::canUndoChanged, undoButton, &QPushButton::setEnabled);
    connect(&undo, &QUndoStack::canRedoChanged, redoButton, &QPushButton::setEnabled);
    undoButton->setEnabled(false);
    redoButton->setEnabled(false);
    for (const auto& [keys, slot] : {std::pair{QKeySequence::Undo, &QUndoStack::undo}, std::pair{QKeySequence::Redo, &QUndoStack::redo}}) {
        auto* shortcut = new QShortcut(keys, ui.tableWidget_Script);
        connect(shortcut, &QShortcut::activated, &undo, slot);
    }
    row->addSpacing(12);
    connect(addButton(row, "pushButton_ScriptSave", tr("Save"), tr("Save the script to its file")),
            &QPushButton::clicked, this, [this] { saveScript(false); });
    connect(addButton(row, "pushButton_ScriptSaveAs", tr("Save as..."), tr("Save the script to a new file")),
            &QPushButton::clicked, this, [this] { saveScript(true); });
    row->addStretch();

    // Playing goes beside Start and Stop.
    row = ui.horizontalLayout_3;

    auto* step = addButton(row, "pushButton_ScriptStep", tr("Step"),
                           tr("Run the selected row (a wait is skipped) and select the next"));
    connect(step, &QPushButton::clicked, this, [this] {
        const int current = std::max(0, ui.tableWidget_Script->currentRow());
        if (current >= ui.tableWidget_Script->rowCount())
            return;
        statusBar()->showMessage(runner->stepRow(current), 5000);
        ui.tableWidget_Script->selectRow(std::min(current + 1, ui.tableWidget_Script->rowCount() - 1));
    });
    connect(addButton(row, "pushButton_ScriptRunFrom", tr("Run from here"), tr("Play the script from the selected row")),
            &QPushButton::clicked, this, [this] { runner->startFrom(std::max(0, ui.tableWidget_Script->currentRow())); });
    auto* loop = new QCheckBox(tr("Loop"));
    loop->setObjectName(QStringLiteral("checkBox_ScriptLoop"));
    loop->setToolTip(tr("Play the script again from the top until Stop"));
    row->addWidget(loop);
    connect(loop, &QCheckBox::toggled, runner, &ScriptRunner::setLooping);
    auto* stopAll = addButton(row, "pushButton_ScriptStopAll", tr("Stop all"),
                              tr("Stop the script and take every robot command still waiting off the line (Esc)"));
    connect(stopAll, &QPushButton::clicked, this, &MainWindow::stopAllRobotCommands);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &MainWindow::stopAllRobotCommands);

    connect(runner, &ScriptRunner::rowStarted, this, [this](int started) {
        ui.tableWidget_Script->scrollTo(ui.tableWidget_Script->model()->index(started, 0));
    });
    connect(scriptEditor, &ScriptEditor::changed, this, &MainWindow::showScriptState);
    showScriptState();
}

// After the shortcuts: the tooltips kept for while connected name the keys.
void MainWindow::enableScriptSending()
{
    const auto idle = [this] { return hasScript() && !runner->isRunning(); };
    QList<std::function<void()>> shows;
    for (QWidget* playing : {static_cast<QWidget*>(ui.pushButton_ScriptStart),
                             findChild<QWidget*>(QStringLiteral("pushButton_ScriptRunFrom")),
                             findChild<QWidget*>(QStringLiteral("pushButton_ScriptStep"))})
        shows.append(enableWhileConnected(playing, link, idle));
    // Nothing is sent while disconnected, so there is nothing to teach.
    auto* teach = findChild<QPushButton*>(QStringLiteral("pushButton_ScriptRecord"));
    enableWhileConnected(teach, link);
    connect(&link, &DriveLink::disconnected, teach, [teach] { teach->setChecked(false); });
    showScriptSending = [shows] {
        for (const auto& show : shows)
            show();
    };
    connect(runner, &ScriptRunner::runningChanged, this, showScriptSending);
    showScriptSending();
}

bool MainWindow::hasScript() const
{
    return !scriptEditor->path().isEmpty() || !scriptEditor->script().rows.isEmpty();
}

void MainWindow::stopAllRobotCommands()
{
    runner->stop();
    const int taken = link.clearRobotCommands();
    statusBar()->showMessage(tr("Stopped: the script is not running and %n robot command(s) were taken off the "
                                "queue.", nullptr, taken),
                             5000);
}

void MainWindow::showScriptState()
{
    const ScriptEditor::Script script = scriptEditor->script();
    for (int row = 0; row < script.rows.size(); ++row)
        markScriptRow(row, checkScriptRow(script.rows[row]));
    const bool modified = scriptEditor->isModified();
    const bool named = !scriptEditor->path().isEmpty();
    const QString name = named ? QFileInfo(scriptEditor->path()).fileName() : tr("Untitled script");
    ui.label_ScriptFile->setText(named || modified ? (modified ? name + tr(" (unsaved changes)") : name) : QString());
    ui.label_ScriptFile->setToolTip(QDir::toNativeSeparators(scriptEditor->path()));
    setWindowTitle(named || modified ? QStringLiteral("VNH2SP30 Drive Setup - %1[*]").arg(name)
                                     : QStringLiteral("VNH2SP30 Drive Setup"));
    setWindowModified(modified);
    ui.pushButton_ScriptStop->setEnabled(hasScript());
    if (showScriptSending)
        showScriptSending();
}

bool MainWindow::saveScript(bool chooseFile)
{
    QString path = scriptEditor->path();
    if (chooseFile || path.isEmpty()) {
        const QString folder = lastScriptFolder.isEmpty() ? QDir::homePath() : lastScriptFolder;
        path = QFileDialog::getSaveFileName(this, tr("Save Script File"), path.isEmpty() ? folder : path,
                                            tr("Script (*.txt)"));
        if (path.isEmpty())
            return false;
    }
    const QString error = scriptEditor->saveAs(path);
    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("Script not saved"),
                             tr("Could not save the script to %1:\n%2\n\nChoose another file with Save as.")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    lastScriptFolder = QFileInfo(path).absolutePath();
    statusBar()->showMessage(tr("Saved the script to %1.").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

bool MainWindow::confirmDiscardScriptChanges()
{
    if (!scriptEditor->isModified())
        return true;
    const auto answer = QMessageBox::question(
        this, tr("Unsaved script"), tr("The script has unsaved changes. Save them first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return saveScript(false);
    return answer == QMessageBox::Discard;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (confirmDiscardScriptChanges())
        event->accept();
    else
        event->ignore();
}
