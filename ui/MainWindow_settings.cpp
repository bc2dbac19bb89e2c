// The File menu: board settings saved to files, compared with a board, applied to it,
// and copied from one board to the other.
#include "ui/MainWindow.h"

#include "core/BoardSettingsFile.h"
#include "core/BoardSettingsSession.h"
#include "core/DriveLink.h"
#include "ui/BoardSettingsDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <QToolBar>

namespace {

const QString FileFilter = QStringLiteral("Board settings (*.json)");

} // namespace

void MainWindow::setUpBoardSettings()
{
    QMenu* menu = ui.menubar->addMenu(tr("&File"));
    QToolBar* toolBar = addToolBar(tr("File"));
    toolBar->setObjectName(QStringLiteral("toolBar_File"));
    const auto addAction = [&](const QString& text, const QString& name, const std::function<void()>& run) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        toolBar->addAction(action);
        connect(action, &QAction::triggered, this, [this, run] {
            if (link.isConnected())
                run();
            else
                QMessageBox::warning(this, tr("Not connected"), tr("Connect to the boards first, then try again."));
        });
    };
    addAction(tr("Save board settings..."), QStringLiteral("actionSaveBoardSettings"), [this] { saveBoardSettings(); });
    addAction(tr("Compare with file..."), QStringLiteral("actionCompareWithFile"), [this] { openBoardSettingsFile(false); });
    addAction(tr("Apply settings file..."), QStringLiteral("actionApplySettingsFile"), [this] { openBoardSettingsFile(true); });
    addAction(tr("Copy to other board"), QStringLiteral("actionCopyToOtherBoard"), [this] { copyToOtherBoard(); });
    menu->addSeparator();
    QAction* quit = menu->addAction(tr("&Quit"), this, &MainWindow::quit);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(Qt::CTRL | Qt::Key_Q);
}

void MainWindow::saveBoardSettings()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Board Settings"),
                                                      QStringLiteral("board%1.json").arg(link.board()), FileFilter);
    if (path.isEmpty())
        return;
    readSelectedBoard([this, path](const BoardSettings& settings) {
        QString error;
        if (BoardSettingsFile::save(settings, path, &error))
            statusBar()->showMessage(tr("Saved the settings of board %1 to %2.").arg(settings.board).arg(QDir::toNativeSeparators(path)));
        else
            QMessageBox::warning(this, tr("Settings not saved"), error);
    });
}

void MainWindow::openBoardSettingsFile(bool apply)
{
    const QString path = QFileDialog::getOpenFileName(this, apply ? tr("Apply Settings File") : tr("Compare with File"),
                                                      QString(), FileFilter);
    if (path.isEmpty())
        return;
    QString error;
    const BoardSettings settings = BoardSettingsFile::load(path, &error);
    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("Settings file not read"), error + tr("\n\nNothing was written to the board."));
        return;
    }
    const QString file = QFileInfo(path).fileName();
    auto* dialog = new BoardSettingsDialog(link, settings, tr("In the file"), apply, this);
    dialog->setWindowTitle(apply ? tr("Apply %1 to board %2").arg(file).arg(link.board())
                                 : tr("Compare board %1 with %2").arg(link.board()).arg(file));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MainWindow::copyToOtherBoard()
{
    const int from = link.board();
    const int to = from == 1 ? 2 : 1;
    readSelectedBoard([this, from, to](const BoardSettings& settings) {
        // Through the address box, so that the window shows the board being written.
        ui.addressComboBox->setCurrentText(DriveLink::boardName(to));
        auto* dialog = new BoardSettingsDialog(link, settings, tr("On board %1").arg(from), true, this);
        dialog->setWindowTitle(tr("Copy board %1 to board %2").arg(from).arg(to));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
}

void MainWindow::readSelectedBoard(const std::function<void(const BoardSettings&)>& then)
{
    auto* session = new BoardSettingsSession(link, this);
    auto* progress = new QProgressDialog(tr("Reading the settings of board %1...").arg(link.board()), tr("Cancel"), 0, 0, this);
    progress->setWindowTitle(tr("Board Settings"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoReset(false);
    connect(session, &BoardSettingsSession::progress, progress, [progress](int done, int total) {
        progress->setMaximum(total);
        progress->setValue(done);
    });
    connect(progress, &QProgressDialog::canceled, this, [session, progress] {
        delete session;
        progress->deleteLater();
    });
    connect(session, &BoardSettingsSession::finished, this, [this, session, progress, then] {
        disconnect(progress, nullptr, this, nullptr);
        progress->deleteLater();
        session->deleteLater();
        if (session->failure() != BoardSettingsSession::Failure::None)
            QMessageBox::warning(this, tr("Board not read"), session->failureText());
        else
            then(BoardSettings::fromBlock(session->snapshot(), session->board()));
    });
    session->compare(BoardSettingsSession::allParameters());
}
