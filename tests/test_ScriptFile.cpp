// The script file's line and field rules, fed whole, in pieces and as random bytes,
// the bounds that keep a huge or endless file from hanging the tool, and where Save as
// starts.
#include "core/ScriptFile.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {

template <int N>
QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// The rules written the plain way, over a whole file in memory.
Rows reference(const QByteArray& file)
{
    Rows rows;
    QList<QByteArray> lines = file.split('\n');
    const bool lastTerminated = lines.last().isEmpty();
    if (lastTerminated)
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.startsWith('#'))
            continue;
        if ((i < lines.size() - 1 || lastTerminated) && line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\0'))
            line.truncate(line.indexOf('\0'));
        QStringList fields;
        for (const QByteArray& field : line.split(';').mid(0, ScriptParser::MaxFields))
            fields << QString::fromLatin1(field);
        rows << fields;
    }
    return rows;
}

// Never ends, like a character device.
class EndlessDevice : public QIODevice
{
protected:
    qint64 readData(char* data, qint64 size) override
    {
        memset(data, 'a', size_t(size));
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

public:
    bool isSequential() const override { return true; }
};

ScriptFile readBuffer(QByteArray data)
{
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return ScriptFile::read(buffer);
}

} // namespace

class TestScriptFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseInPieces_data() { parse_data(); }
    void parseInPieces();
    void randomBytesFollowTheRules();
    void bounds_data();
    void bounds();
    void endlessDeviceStops();
    void loadFailures();
    void saveDialogStart_data();
    void saveDialogStart();
};

void TestScriptFile::parse_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("empty file") << QByteArray() << Rows{};
    QTest::newRow("comments only") << bytes("# first\n#second\r\n#") << Rows{};
    QTest::newRow("LF lines") << bytes("mla;100;200;300\nwait;500\n")
                              << Rows{{"mla", "100", "200", "300"}, {"wait", "500"}};
    QTest::newRow("CR LF lines") << bytes("mla;100;200;300\r\nwait;500\r\n")
                                 << Rows{{"mla", "100", "200", "300"}, {"wait", "500"}};
    QTest::newRow("end alone") << bytes("end\r\n") << Rows{{"end"}};
    QTest::newRow("end with semicolon") << bytes("end;\r\n") << Rows{{"end", ""}};
    QTest::newRow("trailing semicolon gives an empty last field")
        << bytes("mla;1;2;3;\n") << Rows{{"mla", "1", "2", "3", ""}};
    QTest::newRow("adjacent separators") << bytes("a;;b\n") << Rows{{"a", "", "b"}};
    QTest::newRow("empty lines give rows") << bytes("\n\r\nwait;1\n") << Rows{{""}, {""}, {"wait", "1"}};
    QTest::newRow("blank before hash is a row") << bytes(" #x\n") << Rows{{" #x"}};
    QTest::newRow("hash behind text is text") << bytes("mla;#;2\n") << Rows{{"mla", "#", "2"}};
    QTest::newRow("blanks are kept") << bytes(" mla ; 1 \n") << Rows{{" mla ", " 1 "}};
    QTest::newRow("twelve fields keep nine") << bytes("a;b;c;d;e;f;g;h;i;j;k;l\n")
                                             << Rows{{"a", "b", "c", "d", "e", "f", "g", "h", "i"}};
    QTest::newRow("last line without terminator") << bytes("wait;1\nend") << Rows{{"wait", "1"}, {"end"}};
    QTest::newRow("CR without LF at the end is text") << bytes("end\r") << Rows{{"end\r"}};
    QTest::newRow("CR inside a line is text") << bytes("a\rb\r\r\n") << Rows{{"a\rb\r"}};
    QTest::newRow("NUL ends the line's text") << bytes("mla;1\0;2;3\nend\n") << Rows{{"mla", "1"}, {"end"}};
    QTest::newRow("NUL as first byte") << bytes("\0#\n") << Rows{{""}};
    QTest::newRow("comment after CR LF") << bytes("a\r\n#c;d\r\nb") << Rows{{"a"}, {"b"}};
    QTest::newRow("ISO 8859-1") << bytes("\xE9;\xFF\n") << Rows{{QString(QChar(0xE9)), QString(QChar(0xFF))}};
}

void TestScriptFile::parse()
{
    QFETCH(QByteArray, file);
    QFETCH(Rows, rows);

    QCOMPARE(ScriptParser::parse(file), rows);
    QCOMPARE(reference(file), rows);
}

// The terminator, a NUL or a comment may straddle two reads.
void TestScriptFile::parseInPieces()
{
    QFETCH(QByteArray, file);
    QFETCH(Rows, rows);

    for (int split = 0; split <= file.size(); ++split) {
        ScriptParser parser;
        parser.feed(file.constData(), split);
        parser.feed(file.constData() + split, file.size() - split);
        parser.finish();
        QCOMPARE(parser.rows(), rows);
    }
    ScriptParser parser;
    for (char byte : file)
        parser.feed(&byte, 1);
    parser.finish();
    QCOMPARE(parser.rows(), rows);
}

void TestScriptFile::randomBytesFollowTheRules()
{
    static const char alphabet[] = {'a', '1', ' ', ';', ';', '\r', '\n', '\n', '\0', '#', '\xFF'};
    QRandomGenerator random(20240);
    for (int round = 0; round < 3000; ++round) {
        QByteArray file;
        const int size = random.bounded(60);
        for (int i = 0; i < size; ++i)
            file += alphabet[random.bounded(int(sizeof alphabet))];

        ScriptParser parser;
        for (int at = 0; at < file.size();) {
            const int piece = std::min(random.bounded(1, 8), int(file.size()) - at);
            parser.feed(file.constData() + at, piece);
            at += piece;
        }
        parser.finish();
        QCOMPARE(parser.rows(), reference(file));
        for (const QStringList& row : parser.rows()) {
            QVERIFY(!row.isEmpty() && row.size() <= ScriptParser::MaxFields);
            for (const QString& field : row)
                QVERIFY(!field.contains('\n') && !field.contains(QChar(0)));
        }
    }
}

void TestScriptFile::bounds_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("error");

    QTest::newRow("largest file") << QByteArray(ScriptFile::MaxBytes, 'a') << 1 << "";
    QTest::newRow("one byte too large") << QByteArray(ScriptFile::MaxBytes + 1, 'a') << 0
                                        << "The file is larger than 1048576 bytes";
    QTest::newRow("most lines") << QByteArray(ScriptFile::MaxRows, '\n') << ScriptFile::MaxRows << "";
    QTest::newRow("one line too many") << QByteArray(ScriptFile::MaxRows + 1, '\n') << 0
                                       << "The file has more than 100000 script lines";
    QTest::newRow("comments do not count")
        << QByteArray("#\n").repeated(ScriptFile::MaxRows) + "end\n" << 1 << "";
}

void TestScriptFile::bounds()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rowCount);
    QFETCH(QString, error);

    const ScriptFile script = readBuffer(file);
    QCOMPARE(script.error, error);
    QCOMPARE(script.rows.size(), rowCount);
}

void TestScriptFile::endlessDeviceStops()
{
    EndlessDevice device;
    device.open(QIODevice::ReadOnly);
    const ScriptFile script = ScriptFile::read(device);
    QCOMPARE(script.error, QString("The file is larger than 1048576 bytes"));
    QVERIFY(script.rows.isEmpty());
}

void TestScriptFile::loadFailures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(ScriptFile::load(dir.filePath("missing.txt")).error, QString("No such file or directory"));
    QCOMPARE(ScriptFile::load(dir.path()).error, QString("Not a regular file"));
    QCOMPARE(ScriptFile::load("/dev/zero").error, QString("Not a regular file"));

    QFile file(dir.filePath("one.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#c\nmla;1;2;3\r\nend");
    file.close();
    const ScriptFile script = ScriptFile::load(file.fileName());
    QCOMPARE(script.error, QString());
    QCOMPARE(script.rows, (Rows{{"mla", "1", "2", "3"}, {"end"}}));
}

// Load's start is seen through the window, which has the example scripts.
void TestScriptFile::saveDialogStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("lastFolder");
    QTest::addColumn<QString>("start");
    QTest::newRow("the script's file") << "/a/wave.txt" << "/b" << "/a/wave.txt";
    QTest::newRow("untitled: the last folder") << "" << "/b" << "/b";
    QTest::newRow("nothing yet: home") << "" << "" << QDir::homePath();
}

void TestScriptFile::saveDialogStart()
{
    QFETCH(QString, path);
    QFETCH(QString, lastFolder);
    QFETCH(QString, start);
    QCOMPARE(ScriptFile::saveStart(path, lastFolder), start);
}

QTEST_APPLESS_MAIN(TestScriptFile)
#include "test_ScriptFile.moc"
