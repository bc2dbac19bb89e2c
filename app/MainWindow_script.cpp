// The script runner: loading a script file into the table and playing it row by row.
#include "app/MainWindow.h"

#include "app/OperatorMessage.h"
#include "app/ScriptFile.h"
#include "link/RobotCommand.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int ScriptStepMs = 100;

// A row's fields end at its first cell without an item, even if later cells have one.
QStringList rowFields(const QTableWidget& table, int row)
{
    QStringList fields;
    for (int column = 0; column < table.columnCount(); ++column) {
        const QTableWidgetItem* cell = table.item(row, column);
        if (!cell)
            break;
        fields.append(cell->text());
    }
    return fields;
}

// Arguments that do not convert count as 0; the builders keep their low 8 or 16 bits.
QVector<int> integerArguments(const QStringList& fields)
{
    QVector<int> values;
    for (int i = 1; i < fields.size(); ++i)
        values.append(fields[i].toInt());
    return values;
}

} // namespace

void MainWindow::ScriptLoadClicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Script File"),
                                                      QStringLiteral("scripts/"), tr("Script (*.txt)"));
    if (path.isEmpty())
        return;
    const ScriptFile script = ScriptFile::load(path);
    if (!script.error.isEmpty()) {
        showOperatorMessage(QStringLiteral("Cannot load script file \"%1\": %2")
                                .arg(QDir::toNativeSeparators(path), script.error));
        return;
    }
    fillScriptTable(script.rows);
    pushButton_ScriptStart->setEnabled(true);
    pushButton_ScriptStop->setEnabled(true);
}

void MainWindow::fillScriptTable(const QList<QStringList>& rows)
{
    tableWidget_Script->setRowCount(0);
    tableWidget_Script->setRowCount(rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        const QStringList& fields = rows[row];
        const int columns = std::min(int(fields.size()), tableWidget_Script->columnCount());
        for (int column = 0; column < columns; ++column)
            tableWidget_Script->setItem(row, column, new QTableWidgetItem(fields[column]));
    }
}

void MainWindow::ScriptStartClicked()
{
    delete scriptTimer;
    scriptRow = 0;
    scriptTimer = new QTimer(this);
    connect(scriptTimer, &QTimer::timeout, this, &MainWindow::ScriptTimeout);
    scriptTimer->start(ScriptStepMs);
}

void MainWindow::ScriptStopClicked()
{
    if (!scriptTimer)
        return;
    delete scriptTimer;
    scriptTimer = nullptr;
    scriptRow = 0;
}

// One row per step. The table is read as the rows come, so edits and a new load take
// effect on rows not yet run.
void MainWindow::ScriptTimeout()
{
    if (!scriptTimer)
        return;
    tableWidget_Script->selectRow(scriptRow);
    if (scriptRow >= tableWidget_Script->rowCount()) {
        scriptTimer->stop();
        scriptRow = 0;
        showOperatorMessage(QStringLiteral("Script Completed"));
        return;
    }

    const QStringList fields = rowFields(*tableWidget_Script, scriptRow);
    if (!fields.isEmpty()) {
        const QString& word = fields.first();
        const bool wait = word == QLatin1String("wait") && fields.size() == 2;
        // A negative interval would leave the timer stopped for good: it waits 0 ms.
        scriptTimer->start(wait ? std::max(0, fields[1].toInt()) : ScriptStepMs);

        if (const RobotCommand* command = RobotCommands::find(word)) {
            if (fields.size() != 1 + command->valueCount) {
                qDebug().noquote()
                    << QStringLiteral("Script Error missing arguments for %1 command").arg(word);
            } else {
                const QVector<int> a = integerArguments(fields);
                if (command == &RobotCommands::Mrm)
                    ScriptMRM(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
                else if (command == &RobotCommands::Mre)
                    ScriptMRE(a[0], a[1], a[2], a[3], a[4], a[5]);
                else if (command == &RobotCommands::Meb)
                    ScriptMEB(a[0], a[1], a[2], a[3]);
                else if (command == &RobotCommands::Mla)
                    ScriptMLA(a[0], a[1], a[2]);
                else if (command == &RobotCommands::Mra)
                    ScriptMRA(a[0], a[1], a[2]);
                else
                    ScriptMRN(a[0], a[1]);
            }
        }

        if (word == QLatin1String("end")) {
            scriptTimer->stop();
            showOperatorMessage(QStringLiteral("Script Completed"));
        }
    }
    ++scriptRow;
}
