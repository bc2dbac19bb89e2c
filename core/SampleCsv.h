#pragma once

#include "core/MotorSamples.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One CSV layout for live samples: recordings, plot exports and `drive-ctl watch --csv`.
// One line per motor and position broadcast; values as received (the speed is not
// scaled). An event line (a lost port, a board switch) leaves the values empty and says
// what happened in the last column.
namespace SampleCsv {

inline QByteArray header()
{
    return QByteArrayLiteral("time_s,board,motor,position,set_point,speed,event\n");
}

inline QByteArray row(double seconds, int board, int motor, int position, int setPoint, int speed)
{
    return QByteArray::number(seconds, 'f', 3) + ',' + QByteArray::number(board) + ',' + QByteArray::number(motor)
        + ',' + QByteArray::number(position) + ',' + QByteArray::number(setPoint) + ',' + QByteArray::number(speed)
        + ",\n";
}

// The event text is quoted, so it may hold commas; its line breaks become blanks, so that
// every event stays one line of the file.
inline QByteArray eventRow(double seconds, int board, const QString& event)
{
    QString quoted = event.simplified();
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QByteArray::number(seconds, 'f', 3) + ',' + QByteArray::number(board) + ",,,,,\"" + quoted.toUtf8()
        + "\"\n";
}

// The samples whose times lie within [from, to], one row each, with their own times.
inline QByteArray rows(const MotorSamples& samples, int board, int motor, double from, double to)
{
    QByteArray text;
    for (int i = 0; i < samples.size(); ++i) {
        const double seconds = samples.time.at(i);
        if (seconds >= from && seconds <= to)
            text += row(seconds, board, motor, qRound(samples.position.at(i)), qRound(samples.setPoint.at(i)),
                        qRound(samples.speed.at(i)));
    }
    return text;
}

} // namespace SampleCsv
