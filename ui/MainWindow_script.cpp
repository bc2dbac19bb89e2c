// The Script page: loading a script file into the table; the runner plays it.
#include "ui/MainWindow.h"

#include "core/InstallPaths.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "ui/OperatorMessage.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

void MainWindow::loadScript()
{
    const QString folder = lastScriptFolder.isEmpty() ? InstallPaths::exampleScriptsFolder() : lastScriptFolder;
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
    ScriptRunner::fillModel(*ui.tableWidget_Script->model(), script.rows);
    ui.pushButton_ScriptStart->setEnabled(true);
    ui.pushButton_ScriptStop->setEnabled(true);
}
