#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// Turns the bytes of a script into rows of fields, fed in pieces of any size:
// - one byte is one character (ISO 8859-1); a NUL ends the text of its line;
// - a line ends at LF, or CR LF, which is not part of its text; the last line may lack it;
// - a line whose very first byte is "#" is a comment and gives no row; any other line
//   gives one row, an empty line a row of one empty field;
// - fields are split at ";" and not trimmed; empty fields stay, so a trailing ";" gives
//   an empty last field; fields beyond the first MaxFields are dropped.
class ScriptParser
{
public:
    static constexpr int MaxFields = 9;

    void feed(const char* data, qint64 size);
    // Ends a last line that has no terminator.
    void finish();
    const QList<QStringList>& rows() const { return parsed; }
    // The comment lines before each row, joined by LF (whole lines, "#" included);
    // the entry after the last row holds those at the end. Shorter when none follow.
    const QStringList& comments() const { return commentsBefore; }

    static QList<QStringList> parse(const QByteArray& bytes);

private:
    enum class Line { Start, Text, Dropped, Comment };

    void append(char byte);
    void endField();
    void endLine();
    void endComment();

    QList<QStringList> parsed;
    QStringList fields;
    QByteArray field;
    QByteArray comment;
    QStringList commentsBefore;
    // A comment line longer than this keeps its start: no script needs more, and an
    // endless line must not fill the memory.
    static constexpr int MaxCommentBytes = 4096;
    Line line = Line::Start;
    bool pendingCr = false;
};

// A script read from a device or a file in chunks. Reading stops with an error beyond
// bounds no script comes near, so that a huge or endless file fails instead of hanging.
struct ScriptFile
{
    static constexpr qint64 MaxBytes = 1 << 20;
    static constexpr int MaxRows = 100000;

    QList<QStringList> rows;
    QStringList comments; // before each row, and after the last (rows.size() + 1 entries)
    QString error;        // why the script could not be read; empty when it was

    static ScriptFile read(QIODevice& device);
    static ScriptFile load(const QString& path);
    // Writes rows (fields joined by ";", LF endings) with the comments in their places,
    // atomically; returns why it failed, or an empty string.
    static QString save(const QString& path, const QList<QStringList>& rows, const QStringList& comments);

    // Where choosing a script to load starts: the folder of the script loaded or saved
    // last (lastFolder), else the example scripts, else home.
    static QString loadFolder(const QString& lastFolder);
    // Where choosing a file to save to starts: the script's own file (path), else
    // lastFolder, else home.
    static QString saveStart(const QString& path, const QString& lastFolder);
};
