// drive-ctl's commands on the board's variables and settings files.
#include "DriveControl.h"

#include "core/BoardSettingsFile.h"
#include "core/DriveLink.h"
#include "core/FileNames.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace SharedVariables;
using Outcome = BoardSettingsSession::Outcome;

namespace {

bool standardOutputFailed = false;

} // namespace

bool DriveControl::writeOutput(const QByteArray& bytes)
{
    if (standardOutputFailed)
        return false;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
        && std::fflush(stdout) == 0)
        return true;
    standardOutputFailed = true;
    printError(QStringLiteral("Cannot write to standard output: %1.").arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

bool DriveControl::outputFailed()
{
    return standardOutputFailed;
}

// A file name that is not UTF-8 is shown escaped, since a terminal cannot show it.
bool DriveControl::printResult(const QString& line)
{
    return writeOutput((FileNames::shown(line) + QLatin1Char('\n')).toLocal8Bit());
}

void DriveControl::printError(const QString& line)
{
    std::fputs(qPrintable(FileNames::shown(line) + QLatin1Char('\n')), stderr);
}

namespace {

void printJson(const QJsonObject& object)
{
    DriveControl::writeOutput(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

// Columns padded to their widest cell, two blanks apart.
void printTable(const QList<QStringList>& rows)
{
    QVector<int> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max(int(widths.size()), int(row.size())));
        for (int column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], int(row[column].size()));
    }
    for (const QStringList& row : rows) {
        QString line;
        for (int column = 0; column < row.size(); ++column)
            line += row[column].leftJustified(column + 1 < row.size() ? widths[column] + 2 : 0);
        DriveControl::printResult(line);
    }
}

QString name(const ParameterValue& parameter)
{
    return QLatin1String(parameter.variable().name);
}

QString exact(const ParameterValue& parameter, double value)
{
    return BoardSettingsFile::exactText(parameter.variable(), value);
}

// "motor 1, SpeedMax: 30 -> 100, written and verified"
QString resultLine(const BoardSettingsSession::Result& result)
{
    const ParameterValue& wanted = result.wanted;
    const QString subject = QStringLiteral("motor %1, %2: ").arg(wanted.motor).arg(name(wanted));
    const QString change = result.outcome == Outcome::Unchanged
        ? exact(wanted, wanted.value)
        : QStringLiteral("%1 -> %2").arg(result.known ? exact(wanted, result.onBoard) : QStringLiteral("?"),
                                        exact(wanted, wanted.value));
    return subject + change + QStringLiteral(", ") + BoardSettingsSession::outcomeText(result);
}

// The motors a command covers: the one of --motor, or all.
QVector<int> motorsOf(int motor)
{
    return motor >= 0 ? QVector<int>{motor} : QVector<int>{0, 1, 2, 3};
}

} // namespace

DriveControl::DriveControl(DriveLink& link, const Options& options)
    : link(link), options(options), session(link)
{
}

template <typename Start>
int DriveControl::runSession(Start start)
{
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&session, &BoardSettingsSession::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    start();
    if (!finished)
        loop.exec(); // ends early only on Ctrl+C
    if (!finished) {
        printError(QStringLiteral("Interrupted."));
        return Interrupted;
    }
    switch (session.failure()) {
    case BoardSettingsSession::Failure::None:
        return Done;
    case BoardSettingsSession::Failure::NoAnswer:
        printError(session.failureText());
        return NoAnswer;
    default:
        printError(session.failureText());
        return PortFailed;
    }
}

int DriveControl::status()
{
    QVector<Index> live;
    QVector<int> addresses{LoopTimeAddress};
    for (int index = 0; index < VariableCount; ++index) {
        if (variable(Index(index)).writable)
            continue;
        live.append(Index(index));
        for (int motor = 0; motor < MotorCount; ++motor)
            addresses.append(address(motor, Index(index)));
    }
    if (const int code = runSession([&] { session.readAddresses(addresses); }))
        return code;
    const Block& block = session.snapshot();
    const int loopTime = block.s16(LoopTimeAddress);
    if (options.json) {
        QJsonArray motors;
        for (int motor = 0; motor < MotorCount; ++motor) {
            QJsonObject values;
            for (Index index : live)
                values.insert(QLatin1String(variable(index).name),
                              BoardSettingsFile::jsonValue(variable(index), block.value(motor, variable(index))));
            motors.append(values);
        }
        printJson({{QStringLiteral("board"), session.board()},
                   {QStringLiteral("LoopTime"), loopTime},
                   {QStringLiteral("motors"), motors}});
        return Done;
    }
    printResult(QStringLiteral("board %1, LoopTime %2").arg(session.board()).arg(loopTime));
    QList<QStringList> rows{{QStringLiteral("variable"), QStringLiteral("motor 0"), QStringLiteral("motor 1"),
                             QStringLiteral("motor 2"), QStringLiteral("motor 3")}};
    for (Index index : live) {
        QStringList row{QLatin1String(variable(index).name)};
        for (int motor = 0; motor < MotorCount; ++motor)
            row << block.format(motor, variable(index));
        rows << row;
    }
    printTable(rows);
    return Done;
}

int DriveControl::get(const QString& variableName)
{
    if (variableName == QLatin1String("LoopTime")) {
        if (options.motor >= 0) {
            printError(QStringLiteral("LoopTime belongs to the board, not to a motor: leave out --motor."));
            return UsageError;
        }
        if (const int code = runSession([&] { session.readAddresses({LoopTimeAddress}); }))
            return code;
        const int loopTime = session.snapshot().s16(LoopTimeAddress);
        if (options.json)
            printJson({{QStringLiteral("board"), session.board()},
                       {QStringLiteral("variable"), variableName},
                       {QStringLiteral("value"), loopTime}});
        else
            printResult(QString::number(loopTime));
        return Done;
    }
    const Index index = findVariable(variableName);
    if (index == VariableCount) {
        printError(QStringLiteral("There is no variable %1. Names are spelt as on the board, such as SpeedMax or pid_Kp.")
                       .arg(variableName));
        return UsageError;
    }
    const QVector<int> motors = motorsOf(options.motor);
    QVector<int> addresses;
    for (int motor : motors)
        addresses.append(address(motor, index));
    if (const int code = runSession([&] { session.readAddresses(addresses); }))
        return code;
    const Block& block = session.snapshot();
    QJsonObject values;
    for (int motor : motors) {
        const QString text = block.format(motor, variable(index));
        values.insert(QString::number(motor), BoardSettingsFile::jsonValue(variable(index), block.value(motor, variable(index))));
        if (!options.json)
            printResult(options.motor >= 0 ? text : QStringLiteral("motor %1: %2").arg(motor).arg(text));
    }
    if (options.json)
        printJson({{QStringLiteral("board"), session.board()},
                   {QStringLiteral("variable"), variableName},
                   {QStringLiteral("motors"), values}});
    return Done;
}

int DriveControl::set(const QString& variableName, const QString& text)
{
    const Index index = findVariable(variableName);
    if (index == VariableCount || !variable(index).writable) {
        printError(QStringLiteral("%1 is not a parameter. The parameters are those of the setup panel, such as "
                                  "SpeedMax or pid_Kp.")
                       .arg(variableName));
        return UsageError;
    }
    const Variable& parameter = variable(index);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || (!parameter.isFloat() && std::floor(value) != value)) {
        printError(QStringLiteral("%1 is not a %2 number.").arg(text, parameter.isFloat() ? QStringLiteral("decimal")
                                                                                           : QStringLiteral("whole")));
        return UsageError;
    }
    if (!parameter.accepts(value)) {
        printError(QStringLiteral("%1 takes %2 to %3.")
                       .arg(variableName, BoardSettingsFile::exactText(parameter, parameter.minimum),
                            BoardSettingsFile::exactText(parameter, parameter.maximum)));
        return UsageError;
    }
    const ParameterValue wanted{options.motor, index, parameter.isFloat() ? double(float(value)) : value};
    const int code = runSession([&] { session.apply({wanted}, false); });
    if (!session.results().isEmpty() && session.results().first().known)
        printResult(resultLine(session.results().first()));
    if (code != Done)
        return code;
    return session.results().first().outcome == Outcome::Mismatch ? Differs : Done;
}

int DriveControl::save()
{
    if (const int code = runSession([&] { session.compare(BoardSettingsSession::allParameters()); }))
        return code;
    const BoardSettings settings = BoardSettings::fromBlock(session.snapshot(), session.board());
    QString error;
    const QByteArray text = BoardSettingsFile::toJson(settings, &error);
    if (text.isEmpty()) {
        printError(error);
        return Differs;
    }
    if (options.output.isEmpty()) {
        writeOutput(text);
        return Done;
    }
    if (!BoardSettingsFile::save(settings, options.output, &error)) {
        printError(error);
        return UsageError;
    }
    printResult(QStringLiteral("Saved the settings of board %1 to %2.").arg(session.board()).arg(options.output));
    return Done;
}

bool DriveControl::loadFile(const QString& path, BoardSettings* settings)
{
    QString error;
    *settings = BoardSettingsFile::load(path, &error);
    if (!error.isEmpty()) {
        printError(error);
        return false;
    }
    if (!settings->note.isEmpty())
        printError(settings->note);
    return true;
}

int DriveControl::compareWithFile(const QString& path)
{
    BoardSettings file;
    if (!loadFile(path, &file))
        return UsageError;
    if (const int code = runSession([&] { session.compare(file.values); }))
        return code;
    QList<QStringList> rows{{QStringLiteral("motor"), QStringLiteral("parameter"), QStringLiteral("board"),
                             QStringLiteral("file")}};
    QJsonArray differences;
    for (const BoardSettingsSession::Result& result : session.results()) {
        if (!result.differs())
            continue;
        const ParameterValue& wanted = result.wanted;
        rows << QStringList{QString::number(wanted.motor), name(wanted), exact(wanted, result.onBoard),
                            exact(wanted, wanted.value)};
        differences.append(QJsonObject{{QStringLiteral("motor"), wanted.motor},
                                       {QStringLiteral("parameter"), name(wanted)},
                                       {QStringLiteral("board"), BoardSettingsFile::jsonValue(wanted.variable(), result.onBoard)},
                                       {QStringLiteral("file"), BoardSettingsFile::jsonValue(wanted.variable(), wanted.value)}});
    }
    if (options.json)
        printJson({{QStringLiteral("board"), session.board()},
                   {QStringLiteral("file"), FileNames::shown(path)},
                   {QStringLiteral("differences"), differences}});
    else if (!differences.isEmpty())
        printTable(rows);
    return differences.isEmpty() ? Done : Differs;
}

int DriveControl::diff(const QString& path)
{
    return compareWithFile(path);
}

int DriveControl::apply(const QString& path)
{
    if (options.dryRun)
        return compareWithFile(path);
    BoardSettings file;
    if (!loadFile(path, &file))
        return UsageError;
    const int code = runSession([&] { session.apply(file.values, options.saveEeprom); });
    int counts[5] = {};
    for (const BoardSettingsSession::Result& result : session.results()) {
        ++counts[int(result.outcome)];
        if (result.outcome != Outcome::Unchanged)
            printResult(resultLine(result));
    }
    printResult(QStringLiteral("board %1: %2 written and verified, %3 unchanged, %4 failed, %5 not verified, %6 not written")
                    .arg(session.board())
                    .arg(counts[int(Outcome::Verified)])
                    .arg(counts[int(Outcome::Unchanged)])
                    .arg(counts[int(Outcome::Mismatch)])
                    .arg(counts[int(Outcome::NotVerified)])
                    .arg(counts[int(Outcome::NotWritten)]));
    const bool allVerified = counts[int(Outcome::Verified)] + counts[int(Outcome::Unchanged)] == session.results().size();
    if (options.saveEeprom && session.eepromSaved())
        printResult(QStringLiteral("Configuration saved to EEPROM for board %1.").arg(session.board()));
    else if (options.saveEeprom && !allVerified)
        printError(QStringLiteral("Not saved to EEPROM: not every value was written and verified."));
    if (code != Done)
        return code;
    return counts[int(Outcome::Mismatch)] > 0 ? Differs : Done;
}

int DriveControl::eepromSave()
{
    if (const int code = runSession([&] { session.saveEeprom(); }))
        return code;
    printResult(QStringLiteral("Configuration saved to EEPROM for board %1.").arg(session.board()));
    return Done;
}
