#pragma once

#include "core/DriveLink.h"
#include "support/Pty.h"
#include "ui/MainWindow.h"
#include "ui/ScriptPage.h"

#include <QStringList>

class QAbstractButton;
class QTableWidget;

// The tool's window on a link, as the operator has it: connected through the window to a
// pseudo-terminal, whose far end the test plays, or to a given port (a drive-sim's), or
// not connected at all.
class WindowOnLink
{
public:
    enum class Connection { Pty, None };
    explicit WindowOnLink(Connection connection = Connection::Pty);
    // Not connected when port is empty, as it is when a simulator did not start.
    explicit WindowOnLink(const QString& port);

    Pty pty;
    DriveLink link;
    MainWindow window{link};

    const Ui::MainWindow& form() const { return window.form(); }
    ScriptPage& scriptPage() const { return window.scriptPage(); }
    QAbstractButton* script(ScriptPage::Control control) const { return scriptPage().control(control); }
    QTableWidget& scriptTable() const { return scriptPage().table(); }
    // The fields of a script row, as the runner reads them.
    QStringList scriptRow(int row) const;
    // Load, choosing path in the file dialog; unsaved changes, if asked about, are discarded.
    void loadScript(const QString& path);
};
