// Arbitrary contents of a script file, read by the script loader, put into the script
// table as Load puts them, then played by the interpreter: Start, and one step per row
// until the script halts.
//
// Besides the sanitizers: the parser gives the same rows when the bytes come one at a
// time, the table holds exactly those rows, the script halts within one step past its
// last row with exactly one "Script Completed", and every queued frame is a whole robot
// command.
#include "FuzzApplication.h"
#include "ui/MainWindow.h"
#include "core/ScriptFile.h"
#include "protocol/RobotCommand.h"

#include <QApplication>
#include <QBuffer>
#include <QMessageBox>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Window : MainWindow
{
    using MainWindow::fillScriptTable;
    using MainWindow::handleTxMessage;
    using MainWindow::ScriptStartClicked;
    using MainWindow::ScriptStopClicked;
    using MainWindow::ScriptTimeout;
    using MainWindow::scriptTimer;
    using MainWindow::txQueue;
    using MainWindow::txTimer;
};

Window* window = nullptr;
int completions = 0;

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_script: %s\n", what);
    std::abort();
}

bool tableHolds(const QList<QStringList>& rows)
{
    const QTableWidget* table = window->tableWidget_Script;
    if (table->rowCount() != rows.size())
        return false;
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem* cell = table->item(row, column);
            if (column < rows[row].size() ? !cell || cell->text() != rows[row][column] : cell != nullptr)
                return false;
        }
    }
    return true;
}

bool isRobotCommand(const SerialMessage& frame)
{
    const RobotCommand* command
        = RobotCommands::find(QString::fromLatin1(reinterpret_cast<const char*>(frame.bytes), 3));
    return command && frame.length == command->frameLength();
}


} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    startOffscreenApplication("fuzz_script");
    window = new Window;
    window->txTimer->stop();

    // The completion box waits for the operator in an event loop of its own. Events are
    // processed nowhere else, so this timer runs only there: it plays the operator.
    auto* operatorHand = new QTimer;
    QObject::connect(operatorHand, &QTimer::timeout, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box->text() != QLatin1String("Script Completed"))
            fail("an unexpected message box");
        ++completions;
        box->reject();
    });
    operatorHand->start(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QBuffer file;
    file.setData(bytes);
    file.open(QIODevice::ReadOnly);
    const ScriptFile script = ScriptFile::read(file);
    // Load shows the reason and leaves the table as it was.
    if (!script.error.isEmpty())
        return 0;

    ScriptParser pieces;
    for (const char& byte : bytes)
        pieces.feed(&byte, 1);
    pieces.finish();
    if (pieces.rows() != script.rows)
        fail("the rows depend on how the bytes were cut into reads");

    window->fillScriptTable(script.rows);
    if (!tableHolds(script.rows))
        fail("the table differs from the rows read");

    completions = 0;
    window->ScriptStartClicked();
    for (int step = 0; step <= script.rows.size() && window->scriptTimer->isActive(); ++step)
        window->ScriptTimeout();
    if (window->scriptTimer->isActive() || completions != 1)
        fail("the script did not halt once with \"Script Completed\"");

    for (const SerialMessage& frame : window->txQueue) {
        if (!isRobotCommand(frame))
            fail("a queued frame that is no robot command");
    }
    // Not connected: the transmit tick drops the queue.
    window->handleTxMessage();
    window->ScriptStopClicked();
    return 0;
}
