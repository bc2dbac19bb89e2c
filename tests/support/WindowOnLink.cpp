#include "support/WindowOnLink.h"

#include "core/ScriptRunner.h"
#include "support/Modal.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTableWidget>

WindowOnLink::WindowOnLink(Connection connection)
{
    if (connection == Connection::None)
        return;
    window.addPort(pty.slavePath());
    window.connectToSelectedPort();
}

WindowOnLink::WindowOnLink(const QString& port)
{
    if (port.isEmpty())
        return;
    window.addPort(port);
    window.connectToSelectedPort();
}

QStringList WindowOnLink::scriptRow(int row) const
{
    return ScriptRunner::rowFields(*scriptTable().model(), row);
}

void WindowOnLink::loadScript(const QString& path)
{
    answerNextModal([path](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(QMessageBox::Discard)->click();
            answerNextModal([path](QWidget* dialog) { chooseInFileDialog(dialog, path); });
            return;
        }
        chooseInFileDialog(modal, path);
    });
    script(ScriptPage::Load)->click();
}
