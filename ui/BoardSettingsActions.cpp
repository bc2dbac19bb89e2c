#include "ui/BoardSettingsActions.h"

#include "core/BoardSettingsFile.h"
#include "core/BoardSettingsSession.h"
#include "core/DriveLink.h"
#include "ui/BoardSettingsDialog.h"
#include "ui/OperatorMessage.h"
#include "ui/WhileConnected.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace {

const QString FileFilter = QStringLiteral("Board settings (*.json)");

} // namespace

BoardSettingsActions::BoardSettingsActions(DriveLink& link, QWidget& window)
    : QObject(&window), link(link), window(window)
{
    const auto addAction = [this](const QString& text, const QString& name, const std::function<void()>& run) {
        auto* action = new QAction(text, &this->window);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, run] {
            if (this->link.isConnected())
                run();
            else
                QMessageBox::warning(&this->window, tr("Not connected"), tr("Connect to the boards first, then try again."));
        });
        fileActions << action;
    };
    addAction(tr("Save board settings..."), QStringLiteral("actionSaveBoardSettings"), [this] { save(); });
    addAction(tr("Compare with file..."), QStringLiteral("actionCompareWithFile"), [this] { openFile(false); });
    addAction(tr("Apply settings file..."), QStringLiteral("actionApplySettingsFile"), [this] { openFile(true); });
    addAction(tr("Copy to other board"), QStringLiteral("actionCopyToOtherBoard"), [this] { copyToOtherBoard(); });
}

void BoardSettingsActions::save()
{
    const QString path = QFileDialog::getSaveFileName(&window, tr("Save Board Settings"),
                                                      QStringLiteral("board%1.json").arg(link.board()), FileFilter);
    if (path.isEmpty())
        return;
    readSelectedBoard([this, path](const BoardSettings& settings) {
        QString error;
        if (BoardSettingsFile::save(settings, path, &error))
            emit saved(tr("Saved the settings of board %1 to %2.").arg(settings.board).arg(QDir::toNativeSeparators(path)));
        else
            QMessageBox::warning(&window, tr("Settings not saved"), error);
    });
}

void BoardSettingsActions::openFile(bool apply)
{
    const QString path = QFileDialog::getOpenFileName(&window, apply ? tr("Apply Settings File") : tr("Compare with File"),
                                                      QString(), FileFilter);
    if (path.isEmpty())
        return;
    QString error;
    const BoardSettings settings = BoardSettingsFile::load(path, &error);
    if (!error.isEmpty()) {
        QMessageBox::warning(&window, tr("Settings file not read"), error + tr("\n\nNothing was written to the board."));
        return;
    }
    const QString file = QFileInfo(path).fileName();
    auto* dialog = new BoardSettingsDialog(link, settings, tr("In the file"), apply, &window);
    dialog->setWindowTitle(apply ? tr("Apply %1 to board %2").arg(file).arg(link.board())
                                 : tr("Compare board %1 with %2").arg(link.board()).arg(file));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void BoardSettingsActions::copyToOtherBoard()
{
    const int from = link.board();
    const int to = BoardSettingsSession::otherBoard(from);
    readSelectedBoard([this, from, to](const BoardSettings& settings) {
        emit boardToBeWritten(to);
        auto* dialog = new BoardSettingsDialog(link, settings, tr("On board %1").arg(from), true, &window);
        dialog->setWindowTitle(tr("Copy board %1 to board %2").arg(from).arg(to));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
}

void BoardSettingsActions::readSelectedBoard(const std::function<void(const BoardSettings&)>& then)
{
    auto* session = new BoardSettingsSession(link, this);
    auto* progress =
        new QProgressDialog(tr("Reading the settings of board %1...").arg(link.board()), tr("Cancel"), 0, 0, &window);
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
            QMessageBox::warning(&window, tr("Board not read"), session->failureText());
        else
            then(BoardSettings::fromBlock(session->snapshot(), session->board()));
    });
    session->compare(BoardSettingsSession::allParameters());
}

// The board acknowledges no save: only a reply after the Save EEPROM frame shows that it
// was there to take it. So the button waits for a board that answers.
void BoardSettingsActions::takeSaveEepromButton(QPushButton& button)
{
    saveEepromButton = &button;
    saveEepromToolTip = button.toolTip();
    showSaveEepromState();
    connect(&link, &DriveLink::connected, this, &BoardSettingsActions::showSaveEepromState);
    connect(&link, &DriveLink::disconnected, this, &BoardSettingsActions::showSaveEepromState);
    connect(&link, &DriveLink::boardSelected, this, &BoardSettingsActions::showSaveEepromState);
    connect(&link, &DriveLink::boardSilenceChanged, this, &BoardSettingsActions::showSaveEepromState);
    connect(&link, &DriveLink::boardAnswered, this, &BoardSettingsActions::showSaveEepromState);
    connect(&button, &QPushButton::clicked, this, &BoardSettingsActions::saveToEeprom);
}

void BoardSettingsActions::showSaveEepromState()
{
    QString reason;
    if (!link.isConnected())
        reason = notConnectedToolTip();
    else if (eepromSession)
        reason = tr("Saving to EEPROM on board %1...").arg(DriveLink::boardName(eepromSession->board()));
    else if (!link.isBoardAnswering())
        reason = tr("No reply from board %1: a save can only be confirmed by a board that answers. "
                    "Check that it is powered and that its address is right.")
                     .arg(DriveLink::boardName(link.board()));
    saveEepromButton->setEnabled(reason.isEmpty());
    const QString toolTip = reason.isEmpty() ? saveEepromToolTip : reason;
    if (saveEepromButton->toolTip() != toolTip)
        saveEepromButton->setToolTip(toolTip);
}

void BoardSettingsActions::saveToEeprom()
{
    eepromSession = new BoardSettingsSession(link, this);
    // Queued: the session ends inside the link's receive path, which must not wait for
    // the operator.
    connect(
        eepromSession, &BoardSettingsSession::finished, this,
        [this] {
            const bool saved = eepromSession->eepromSaved();
            const int board = eepromSession->board();
            const QString failure = eepromSession->failureText();
            eepromSession->deleteLater();
            eepromSession = nullptr;
            showSaveEepromState();
            if (saved)
                showOperatorMessage(QStringLiteral("Configuration saved to EEPROM for drive :") + QString::number(board));
            else
                QMessageBox::warning(&window, tr("Not saved to EEPROM"), failure);
        },
        Qt::QueuedConnection);
    eepromSession->saveEeprom();
    showSaveEepromState();
}
