#pragma once

#include "core/BoardSettingsSession.h"

#include <QString>

class DriveLink;

// The commands of drive-ctl on a link that is open already, each returning its exit code.
// Results go to standard output, errors in words to standard error.
class DriveControl
{
public:
    enum ExitCode { Done = 0, Differs = 1, UsageError = 2, PortFailed = 3, NoAnswer = 4, Interrupted = 130 };

    struct Options
    {
        int motor = -1; // -1: every motor
        QString output;
        bool dryRun = false;
        bool saveEeprom = false;
        bool json = false;
        bool csv = false;
        double rate = 10;
        int fromRow = 0; // run: the first row played, from 0
        int passes = 1;  // run: how many times the script is played
    };

    DriveControl(DriveLink& link, const Options& options);

    int status();
    int get(const QString& name);
    int set(const QString& name, const QString& text);
    int save();
    int diff(const QString& path);
    int apply(const QString& path);
    int eepromSave();
    int watch();
    int run(const QString& path);

    // A line of results on standard output, and of an error on standard error.
    static bool printResult(const QString& line);
    static void printError(const QString& line);
    // Bytes on standard output at once. The first failed write is reported on standard
    // error; from then on nothing more is written and outputFailed() holds.
    static bool writeOutput(const QByteArray& bytes);
    static bool outputFailed();

private:
    // Starts an operation of the session and waits for it to finish; the exit code of
    // its failure, or Done.
    template <typename Start>
    int runSession(Start start);
    int compareWithFile(const QString& path);
    // The settings of the file at path; false, with the error printed, when it cannot be
    // used. Its note, if any, is printed too.
    static bool loadFile(const QString& path, BoardSettings* settings);

    DriveLink& link;
    const Options options;
    BoardSettingsSession session;
};
