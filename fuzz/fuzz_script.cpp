// Arbitrary contents of a script file, read by the script loader, put into a table as
// Load puts them, then played by the script runner on a link connected to a
// pseudo-terminal: Start, and one step per row until the script halts.
//
// Besides the sanitizers: the parser gives the same rows when the bytes come one at a
// time, the table holds exactly those rows, every queued frame is a whole robot command
// within the command's bounds, and the script is refused at Start with nothing queued or
// halts within one step past its last row with exactly one completion, once its frames
// have been handed to the port.
#include "FuzzApplication.h"
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "protocol/RobotCommand.h"
#include "support/Pty.h"

#include <QBuffer>
#include <QStandardItemModel>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// The far end of the line, drained as frames are sent: a line nobody reads fills, and a
// port that takes no more is lost. The transmit tick runs only in an event loop, which no
// input starts: each input hands its frames to the port itself.
Pty* line = nullptr;

void drain()
{
    char bytes[4096];
    while (::read(line->masterFd(), bytes, sizeof bytes) > 0) {
    }
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_script: %s\n", what);
    std::abort();
}

bool holds(const QAbstractItemModel& model, const QList<QStringList>& rows)
{
    if (model.rowCount() != rows.size())
        return false;
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QVariant cell = model.index(row, column).data();
            if (column < rows[row].size() ? !cell.isValid() || cell.toString() != rows[row][column] : cell.isValid())
                return false;
        }
    }
    return true;
}

bool isCheckedRobotCommand(const SerialMessage& frame)
{
    const RobotCommand* command = RobotCommands::find(frame.bytes);
    if (!command || frame.length != command->frameLength())
        return false;
    for (int value : command->values(frame)) {
        if (value < command->minimum || value > command->maximum)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    startOffscreenApplication("fuzz_script");
    line = new Pty;
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

    QStandardItemModel table(0, ScriptRunner::ColumnCount);
    ScriptRunner::fillModel(table, script.rows);
    if (!holds(table, script.rows))
        fail("the table differs from the rows read");

    DriveLink link;
    if (!link.open(line->slavePath()))
        fail("the link did not open the pseudo-terminal");
    ScriptRunner runner(link, table);
    int completions = 0;
    int refusals = 0;
    QObject::connect(&runner, &ScriptRunner::completed, [&completions] { ++completions; });
    QObject::connect(&runner, &ScriptRunner::rowRejected, [&refusals] { ++refusals; });
    runner.start();
    for (int step = 0; step <= script.rows.size() && runner.isRunning(); ++step)
        runner.runNextRow();
    if (refusals) {
        if (!link.transmitQueue().isEmpty() || completions || runner.isRunning())
            fail("a refused script queued frames or ran");
        return 0;
    }
    for (const SerialMessage& frame : link.transmitQueue()) {
        if (!isCheckedRobotCommand(frame))
            fail("a queued frame that is no robot command within its bounds");
    }
    if (completions != (link.transmitQueue().isEmpty() ? 1 : 0))
        fail("the script completed before its frames were handed to the port");
    while (!link.transmitQueue().isEmpty()) {
        link.sendNextFrame();
        drain();
    }
    if (runner.isRunning() || completions != 1)
        fail("the script did not halt once with a completion");
    return 0;
}
