#include "ui/ScriptPage.h"

#include "core/DriveLink.h"
#include "core/ScriptCheck.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "core/TeachRecorder.h"
#include "ui/OperatorMessage.h"
#include "ui/ScriptEditor.h"
#include "ui/WhileConnected.h"
#include "ui_MainWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

namespace {

const QColor RejectedRowColour(255, 205, 205);
constexpr int StatusMessageMs = 5000;

} // namespace

ScriptPage::ScriptPage(DriveLink& link, const Ui::MainWindow& form, QMainWindow& window)
    : QObject(&window),
      link(link),
      window(window),
      scriptTable(*form.tableWidget_Script),
      scriptFileLabel(*form.label_ScriptFile)
{
    controls[Load] = form.pushButton_ScriptLoad;
    controls[Start] = form.pushButton_ScriptStart;
    controls[Stop] = form.pushButton_ScriptStop;
    scriptRunner = new ScriptRunner(link, *scriptTable.model(), this);
    scriptEditor = new ScriptEditor(scriptTable, this);
    teachRecorder = new TeachRecorder(link, this);

    // Editing goes in a row of its own under the file's; playing beside Start and Stop.
    auto* editingRow = new QHBoxLayout;
    form.scriptPageLayout->insertLayout(1, editingRow);
    addEditingControls(editingRow);
    addPlayingControls(form.scriptFileAndPlayRow);

    connect(controls[Load], &QAbstractButton::clicked, this, &ScriptPage::load);
    connect(controls[Start], &QAbstractButton::clicked, scriptRunner, &ScriptRunner::start);
    connect(controls[Stop], &QAbstractButton::clicked, scriptRunner, &ScriptRunner::stop);
    connect(scriptRunner, &ScriptRunner::rowStarted, this, [this](int started) {
        scriptTable.selectRow(started);
        scriptTable.scrollTo(scriptTable.model()->index(started, 0));
    });
    connect(scriptRunner, &ScriptRunner::rowRejected, this, &ScriptPage::showRejectedRow);
    // Queued: the run may complete inside the link's transmit tick, which must not wait
    // for the operator.
    connect(
        scriptRunner, &ScriptRunner::completed, this,
        [] { showOperatorMessage(QStringLiteral("Script Completed")); }, Qt::QueuedConnection);
    connect(teachRecorder, &TeachRecorder::rowsRecorded, this, &ScriptPage::insertTaughtRows);
    connect(scriptEditor, &ScriptEditor::changed, this, &ScriptPage::showState);
    enableSending();
    showState();
}

QPushButton* ScriptPage::addButton(QHBoxLayout* row, Control which, const char* objectName, const QString& text,
                                   const QString& toolTip)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(toolTip);
    row->addWidget(button);
    controls[which] = button;
    return button;
}

void ScriptPage::addEditingControls(QHBoxLayout* row)
{
    auto* teachButton =
        addButton(row, Teach, "pushButton_ScriptRecord", tr("Teach"),
                  tr("Add every robot command sent from now on (GO on the panels) to the script, with the "
                     "waits between them: at the selected row, else before a final \"end\""));
    teachButton->setCheckable(true);
    connect(teachButton, &QPushButton::toggled, this, &ScriptPage::teach);

    const struct
    {
        Control control;
        const char* name;
        QString text;
        QString toolTip;
        void (ScriptEditor::*edit)();
    } edits[] = {
        {Insert, "pushButton_ScriptInsert", tr("Insert"), tr("Insert an empty row above the selected one"),
         &ScriptEditor::insertRow},
        {Delete, "pushButton_ScriptDelete", tr("Delete"), tr("Delete the selected rows"), &ScriptEditor::deleteRows},
        {Duplicate, "pushButton_ScriptDuplicate", tr("Duplicate"), tr("Copy the selected rows below them"),
         &ScriptEditor::duplicateRows},
        {Up, "pushButton_ScriptUp", tr("Up"), tr("Move the selected rows up"), &ScriptEditor::moveRowsUp},
        {Down, "pushButton_ScriptDown", tr("Down"), tr("Move the selected rows down"), &ScriptEditor::moveRowsDown},
    };
    for (const auto& edit : edits)
        connect(addButton(row, edit.control, edit.name, edit.text, edit.toolTip), &QPushButton::clicked,
                scriptEditor, edit.edit);

    QUndoStack& undo = scriptEditor->undoStack();
    auto* undoButton = addButton(row, Undo, "pushButton_ScriptUndo", tr("Undo"), tr("Undo the last edit (Ctrl+Z)"));
    auto* redoButton =
        addButton(row, Redo, "pushButton_ScriptRedo", tr("Redo"), tr("Redo the edit undone (Ctrl+Shift+Z)"));
    connect(undoButton, &QPushButton::clicked, &undo, &QUndoStack::undo);
    connect(redoButton, &QPushButton::clicked, &undo, &QUndoStack::redo);
    connect(&undo, &QUndoStack::canUndoChanged, undoButton, &QPushButton::setEnabled);
    connect(&undo, &QUndoStack::canRedoChanged, redoButton, &QPushButton::setEnabled);
    undoButton->setEnabled(false);
    redoButton->setEnabled(false);
    for (const auto& [keys, slot] :
         {std::pair{QKeySequence::Undo, &QUndoStack::undo}, std::pair{QKeySequence::Redo, &QUndoStack::redo}}) {
        auto* shortcut = new QShortcut(keys, &scriptTable);
        connect(shortcut, &QShortcut::activated, &undo, slot);
    }

    row->addSpacing(12);
    connect(addButton(row, Save, "pushButton_ScriptSave", tr("Save"), tr("Save the script to its file")),
            &QPushButton::clicked, this, [this] { save(false); });
    connect(addButton(row, SaveAs, "pushButton_ScriptSaveAs", tr("Save as..."), tr("Save the script to a new file")),
            &QPushButton::clicked, this, [this] { save(true); });
    row->addStretch();
}

void ScriptPage::addPlayingControls(QHBoxLayout* row)
{
    connect(addButton(row, Step, "pushButton_ScriptStep", tr("Step"),
                      tr("Run the selected row (a wait is skipped) and select the next")),
            &QPushButton::clicked, this, &ScriptPage::step);
    connect(addButton(row, RunFromHere, "pushButton_ScriptRunFrom", tr("Run from here"),
                      tr("Play the script from the selected row")),
            &QPushButton::clicked, this, [this] { scriptRunner->startFrom(std::max(0, scriptTable.currentRow())); });
    auto* loop = new QCheckBox(tr("Loop"));
    loop->setObjectName(QStringLiteral("checkBox_ScriptLoop"));
    loop->setToolTip(tr("Play the script again from the top until Stop"));
    row->addWidget(loop);
    controls[Loop] = loop;
    connect(loop, &QCheckBox::toggled, scriptRunner, &ScriptRunner::setLooping);
    connect(addButton(row, StopAll, "pushButton_ScriptStopAll", tr("Stop all"),
                      tr("Stop the script and take every robot command still waiting off the line (Esc)")),
            &QPushButton::clicked, this, &ScriptPage::stopAll);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &ScriptPage::stopAll);
}

// Start, Run from here and Step while connected and no run goes on; Teach while
// connected, as nothing is sent without a connection and there is nothing to teach.
void ScriptPage::enableSending()
{
    const auto idle = [this] { return hasScript() && !scriptRunner->isRunning(); };
    QList<std::function<void()>> shows;
    for (Control playing : {Start, RunFromHere, Step})
        shows.append(enableWhileConnected(controls[playing], link, idle));
    QAbstractButton* teachButton = controls[Teach];
    enableWhileConnected(teachButton, link);
    connect(&link, &DriveLink::disconnected, teachButton, [teachButton] { teachButton->setChecked(false); });
    showSending = [shows] {
        for (const auto& show : shows)
            show();
    };
    connect(scriptRunner, &ScriptRunner::runningChanged, this, showSending);
}

void ScriptPage::teach(bool on)
{
    controls[Teach]->setText(on ? tr("Stop teaching") : tr("Teach"));
    if (!on) {
        teachRecorder->stop();
        return;
    }
    const QModelIndexList selected = scriptTable.selectionModel()->selectedRows();
    const int first = selected.isEmpty()
        ? -1
        : std::min_element(selected.begin(), selected.end(),
                           [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); })
              ->row();
    teachRow = TeachRecorder::insertionRow(scriptEditor->script().rows, first);
    teachRecorder->start();
}

void ScriptPage::insertTaughtRows(const QList<QStringList>& rows)
{
    teachRow = std::min(teachRow, int(scriptEditor->script().rows.size()));
    scriptEditor->insertRows(teachRow, rows);
    teachRow += rows.size();
    showStatus(tr("Taught row %1: %2").arg(teachRow).arg(rows.last().join(QLatin1Char(';'))));
}

void ScriptPage::load()
{
    if (!confirmDiscardChanges())
        return;
    const QString path = QFileDialog::getOpenFileName(&window, tr("Open Script File"),
                                                      ScriptFile::loadFolder(lastFolder), tr("Script (*.txt)"));
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    const ScriptFile script = ScriptFile::load(path);
    if (!script.error.isEmpty()) {
        showOperatorMessage(QStringLiteral("Cannot load script file \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), script.error));
        return;
    }
    // The editor marks the rows that fail; the summary names the first.
    scriptEditor->open(path, script.rows, script.comments);
    const QString summary = rejectedRowsSummary(QFileInfo(path).fileName(), script.rows);
    if (!summary.isEmpty())
        QMessageBox::warning(&window, QStringLiteral("Script has errors"), summary);
}

bool ScriptPage::save(bool chooseFile)
{
    QString path = scriptEditor->path();
    if (chooseFile || path.isEmpty()) {
        path = QFileDialog::getSaveFileName(&window, tr("Save Script File"), ScriptFile::saveStart(path, lastFolder),
                                            tr("Script (*.txt)"));
        if (path.isEmpty())
            return false;
    }
    const QString error = scriptEditor->saveAs(path);
    if (!error.isEmpty()) {
        QMessageBox::warning(&window, tr("Script not saved"),
                             tr("Could not save the script to %1:\n%2\n\nChoose another file with Save as.")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    lastFolder = QFileInfo(path).absolutePath();
    showStatus(tr("Saved the script to %1.").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool ScriptPage::confirmDiscardChanges()
{
    if (!scriptEditor->isModified())
        return true;
    const auto answer = QMessageBox::question(
        &window, tr("Unsaved script"), tr("The script has unsaved changes. Save them first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save(false);
    return answer == QMessageBox::Discard;
}

void ScriptPage::step()
{
    const int current = std::max(0, scriptTable.currentRow());
    if (current >= scriptTable.rowCount())
        return;
    showStatus(scriptRunner->stepRow(current));
    scriptTable.selectRow(std::min(current + 1, scriptTable.rowCount() - 1));
}

void ScriptPage::stopAll()
{
    scriptRunner->stop();
    const int taken = link.clearRobotCommands();
    showStatus(tr("Stopped: the script is not running and %n robot command(s) were taken off the queue.", nullptr,
                  taken));
}

void ScriptPage::showState()
{
    const ScriptEditor::Script script = scriptEditor->script();
    for (int row = 0; row < script.rows.size(); ++row)
        markRow(row, checkScriptRow(script.rows[row]));
    const bool modified = scriptEditor->isModified();
    const bool named = !scriptEditor->path().isEmpty();
    const QString name = named ? QFileInfo(scriptEditor->path()).fileName() : tr("Untitled script");
    scriptFileLabel.setText(named || modified ? (modified ? name + tr(" (unsaved changes)") : name) : QString());
    scriptFileLabel.setToolTip(QDir::toNativeSeparators(scriptEditor->path()));
    window.setWindowTitle(named || modified ? QStringLiteral("VNH2SP30 Drive Setup - %1[*]").arg(name)
                                            : QStringLiteral("VNH2SP30 Drive Setup"));
    window.setWindowModified(modified);
    controls[Stop]->setEnabled(hasScript());
    if (showSending)
        showSending();
}

void ScriptPage::showRejectedRow(int row, const QString& reason)
{
    scriptTable.selectRow(row);
    markRow(row, reason);
    QMessageBox::warning(&window, QStringLiteral("Script not running"),
                         QStringLiteral("Row %1 cannot be run as written: %2.\n\n"
                                        "Correct the marked row, then press Start again.")
                             .arg(row + 1)
                             .arg(reason));
}

void ScriptPage::markRow(int row, const QString& reason)
{
    // Marks are no edits.
    const QSignalBlocker noEdits(&scriptTable);
    for (int column = 0; column < scriptTable.columnCount(); ++column) {
        QTableWidgetItem* item = scriptTable.item(row, column);
        if (!item || item->toolTip() == reason)
            continue;
        item->setToolTip(reason);
        item->setBackground(reason.isEmpty() ? QBrush() : QBrush(RejectedRowColour));
    }
}

bool ScriptPage::hasScript() const
{
    return !scriptEditor->path().isEmpty() || !scriptEditor->script().rows.isEmpty();
}

void ScriptPage::showStatus(const QString& message)
{
    window.statusBar()->showMessage(message, StatusMessageMs);
}
