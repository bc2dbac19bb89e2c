#pragma once

#include "protocol/SharedVariables.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <QVector>

// One parameter of one motor and its value: an integer, or a float that is exactly a
// single-precision value.
struct ParameterValue
{
    int motor = 0;
    SharedVariables::Index index = SharedVariables::VariableCount;
    double value = 0;

    const SharedVariables::Variable& variable() const { return SharedVariables::variable(index); }
};

// A board's configuration as a settings file holds it: the settings parameters
// (SharedVariables::settingParameters()), all of every motor when read from a board, any
// of them when read from a file.
struct BoardSettings
{
    int board = 0; // the address they were read from; 0 when the file does not say
    QString toolVersion;
    QDateTime date;
    // By motor, then in the order of SharedVariables::parameters().
    QVector<ParameterValue> values;
    // What the file held and loading left out, in words for the operator; empty if nothing.
    QString note;

    // Every settings parameter of every motor as block holds it.
    static BoardSettings fromBlock(const SharedVariables::Block& block, int board);
};

// Board settings files: indented JSON, one value per line, so that they diff well.
//
//     {
//         "board": 1,
//         "date": "2024-05-02T09:30:00Z",
//         "formatVersion": 1,
//         "motors": {
//             "0": {
//                 "AccelerationStep": 3,
//                 "pid_Kp": 0.5,
//                 ...
//             },
//             ...
//         },
//         "toolVersion": "1.0.0"
//     }
namespace BoardSettingsFile {

constexpr int FormatVersion = 1;

// The file's text; empty, with error set, when a value has no number to stand for it
// (a float that is infinite or not a number).
QByteArray toJson(const BoardSettings& settings, QString* error);
// Writes the file atomically: an interrupted save leaves the old file as it was.
bool save(const BoardSettings& settings, const QString& path, QString* error);

// The settings in text, checked: the format version, the header's types, the motors,
// the variable names, keys given twice and every value against its parameter's bounds.
// On a fault, error names the file (as fileName), the line or key and the reason, and
// the settings are empty. A SetPoint is left out, with a note.
BoardSettings parse(const QByteArray& text, const QString& fileName, QString* error);
// Refuses what is not a regular file before opening it: a pipe or terminal could block.
BoardSettings load(const QString& path, QString* error);

// A value as a file holds it: floats as the shortest number that reads back as the same
// single-precision value.
QJsonValue jsonValue(const SharedVariables::Variable& variable, double value);
// The same number as text, for tables and the command line.
QString exactText(const SharedVariables::Variable& variable, double value);

} // namespace BoardSettingsFile
