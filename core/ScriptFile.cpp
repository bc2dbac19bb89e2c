#include "core/ScriptFile.h"

#include "core/InstallPaths.h"
#include "core/WholeFile.h"

#include <QDir>
#include <QFile>

void ScriptParser::feed(const char* data, qint64 size)
{
    for (const char* end = data + size; data != end; ++data) {
        const char byte = *data;
        if (line == Line::Start)
            line = byte == '#' ? Line::Comment : Line::Text;
        if (byte == '\n') {
            if (line == Line::Comment)
                endComment();
            else
                endLine();
            line = Line::Start;
            pendingCr = false;
            continue;
        }
        if (line == Line::Comment && comment.size() < MaxCommentBytes)
            comment.append(byte);
        if (line != Line::Text)
            continue;
        // A CR belongs to the text unless the line ends right behind it.
        if (pendingCr) {
            append('\r');
            pendingCr = false;
        }
        if (byte == '\0')
            line = Line::Dropped;
        else if (byte == '\r')
            pendingCr = true;
        else if (byte == ';')
            endField();
        else
            append(byte);
    }
}

void ScriptParser::finish()
{
    if (line == Line::Comment)
        endComment();
    if (line == Line::Text || line == Line::Dropped) {
        if (pendingCr)
            append('\r');
        endLine();
    }
    line = Line::Start;
    pendingCr = false;
}

QList<QStringList> ScriptParser::parse(const QByteArray& bytes)
{
    ScriptParser parser;
    parser.feed(bytes.constData(), bytes.size());
    parser.finish();
    return parser.rows();
}

void ScriptParser::append(char byte)
{
    if (fields.size() < MaxFields)
        field.append(byte);
}

void ScriptParser::endField()
{
    if (fields.size() < MaxFields)
        fields.append(QString::fromLatin1(field));
    field.clear();
}

void ScriptParser::endComment()
{
    if (comment.endsWith('\r'))
        comment.chop(1);
    while (commentsBefore.size() <= parsed.size())
        commentsBefore.append(QString());
    QString& block = commentsBefore[parsed.size()];
    if (!block.isEmpty())
        block += QLatin1Char('\n');
    block += QString::fromLatin1(comment);
    comment.clear();
}

void ScriptParser::endLine()
{
    endField();
    parsed.append(fields);
    fields.clear();
}

ScriptFile ScriptFile::read(QIODevice& device)
{
    ScriptFile script;
    ScriptParser parser;
    char chunk[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const qint64 count = device.read(chunk, sizeof chunk);
        if (count < 0) {
            script.error = device.errorString();
            return script;
        }
        if (count == 0)
            break;
        total += count;
        if (total > MaxBytes) {
            script.error = QStringLiteral("The file is larger than %1 bytes").arg(MaxBytes);
            return script;
        }
        parser.feed(chunk, count);
        if (parser.rows().size() > MaxRows)
            break;
    }
    parser.finish();
    if (parser.rows().size() > MaxRows) {
        script.error = QStringLiteral("The file has more than %1 script lines").arg(MaxRows);
        return script;
    }
    script.rows = parser.rows();
    script.comments = parser.comments();
    while (script.comments.size() <= script.rows.size())
        script.comments.append(QString());
    return script;
}

QString ScriptFile::save(const QString& path, const QList<QStringList>& rows, const QStringList& comments)
{
    QByteArray text;
    for (int row = 0; row <= rows.size(); ++row) {
        if (row < comments.size() && !comments[row].isEmpty())
            text += comments[row].toLatin1() + '\n';
        if (row < rows.size())
            text += rows[row].join(QLatin1Char(';')).toLatin1() + '\n';
    }
    return WholeFile::write(path, text);
}

ScriptFile ScriptFile::load(const QString& path)
{
    if (WholeFile::isSpecial(path)) {
        ScriptFile script;
        script.error = QStringLiteral("Not a regular file");
        return script;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ScriptFile script;
        script.error = file.errorString();
        return script;
    }
    return read(file);
}

QString ScriptFile::loadFolder(const QString& lastFolder)
{
    if (!lastFolder.isEmpty())
        return lastFolder;
    const QString examples = InstallPaths::exampleScriptsFolder();
    return examples.isEmpty() ? QDir::homePath() : examples;
}

QString ScriptFile::saveStart(const QString& path, const QString& lastFolder)
{
    if (!path.isEmpty())
        return path;
    return lastFolder.isEmpty() ? QDir::homePath() : lastFolder;
}
