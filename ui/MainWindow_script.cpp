// The Script page: loading a script file into the table, marking the rows that cannot be
// run as written and saying why a script does not run; the runner plays it.
#include "ui/MainWindow.h"

#include "core/InstallPaths.h"
#include "core/ScriptCheck.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "ui/OperatorMessage.h"
#include "ui/ScriptEditor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

const QColor RejectedRowColour(255, 205, 205);
// The load summary names this many rows; the marks in the table show them all.
constexpr int SummaryRowCount = 5;

} // namespace

void MainWindow::connectScriptPage()
{
    connect(ui.pushButton_ScriptLoad, &QPushButton::clicked, this, &MainWindow::loadScript);
    connect(runner, &ScriptRunner::rowRejected, this, [this](int row, const QString& reason) {
        ui.tableWidget_Script->selectRow(row);
        markScriptRow(row, reason);
        QMessageBox::warning(this, QStringLiteral("Script not running"),
                             QStringLiteral("Row %1 cannot be run as written: %2.\n\n"
                                            "Correct the marked row, then press Start again.")
                                 .arg(row + 1)
                                 .arg(reason));
    });
}

void MainWindow::loadScript()
{
    if (!confirmDiscardScriptChanges())
        return;
    QString folder = lastScriptFolder.isEmpty() ? InstallPaths::exampleScriptsFolder() : lastScriptFolder;
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Script File"), folder, tr("Script (*.txt)"));
    if (path.isEmpty())
        return;
    lastScriptFolder = QFileInfo(path).absolutePath();
    const ScriptFile script = ScriptFile::load(path);
    if (!script.error.isEmpty()) {
        showOperatorMessage(QStringLiteral("Cannot load script file \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), script.error));
        return;
    }
    scriptEditor->open(path, script.rows, script.comments);
    const QFileInfo file(path);

    // The editor has marked the rows that fail; the summary names the first.
    QStringList named;
    int rejected = 0;
    for (int row = 0; row < script.rows.size(); ++row) {
        const QString reason = checkScriptRow(script.rows[row]);
        if (reason.isEmpty())
            continue;
        if (++rejected <= SummaryRowCount)
            named << QStringLiteral("Row %1: %2.").arg(row + 1).arg(reason);
    }
    if (rejected == 0)
        return;
    const QString rows = rejected == 1 ? QStringLiteral("a row") : QStringLiteral("%1 rows").arg(rejected);
    QString text = QStringLiteral("%1 has %2 that cannot be run as written, so Start will refuse it:\n\n")
                       .arg(file.fileName(), rows)
                   + named.join(QLatin1Char('\n'));
    if (rejected > named.size())
        text += QStringLiteral("\n... and %1 more.").arg(rejected - named.size());
    text += QStringLiteral("\n\nThe rows are marked in the table: correct them there, or in the file and load "
                           "it again.");
    QMessageBox::warning(this, QStringLiteral("Script has errors"), text);
}

void MainWindow::markScriptRow(int row, const QString& reason)
{
    QTableWidget* table = ui.tableWidget_Script;
    // Marks are no edits.
    const QSignalBlocker noEdits(table);
    for (int column = 0; column < table->columnCount(); ++column) {
        QTableWidgetItem* item = table->item(row, column);
        if (!item || item->toolTip() == reason)
            continue;
        item->setToolTip(reason);
        item->setBackground(reason.isEmpty() ? QBrush() : QBrush(RejectedRowColour));
    }
}
