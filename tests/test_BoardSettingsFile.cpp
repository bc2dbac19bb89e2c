// Board settings files: floats keep their bits through the file, a file may hold a
// subset, a SetPoint is left out with a note, and a bad file (a key given twice among
// them) is refused with its name, the line or key and the reason.
#include "core/BoardSettingsFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace SharedVariables;

namespace {

quint32 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

class TestBoardSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void floatsKeepTheirBits_data()
    {
        QTest::addColumn<float>("value");
        QTest::newRow("0.1") << 0.1f;
        QTest::newRow("1e-7") << 1e-7f;
        QTest::newRow("3.4e38") << 3.4e38f;
        QTest::newRow("smallest denormal") << FLT_TRUE_MIN;
        QTest::newRow("denormal") << FLT_MIN / 3;
        QTest::newRow("largest below a million") << std::nextafter(1e6f, 0.0f);
        QTest::newRow("next after 0.1") << std::nextafter(0.1f, 1.0f);
    }

    void floatsKeepTheirBits()
    {
        QFETCH(float, value);
        const QByteArray text = QJsonDocument(QJsonArray{BoardSettingsFile::jsonValue(variable(pid_Kp), value)}).toJson();
        QCOMPARE(bitsOf(float(QJsonDocument::fromJson(text).array().first().toDouble())), bitsOf(value));
        QCOMPARE(bitsOf(BoardSettingsFile::exactText(variable(pid_Kp), value).toFloat()), bitsOf(value));
    }

    void boardSavedReadsBackIdentical()
    {
        Block block;
        for (int motor = 0; motor < MotorCount; ++motor) {
            block.setS16(address(motor, ADCOffset), int16_t(-4096 + motor));
            block.setF32(address(motor, pid_Ki), FLT_MIN / float(motor + 2));
            block.setF32(address(motor, pid_Kp), 0.1f * float(motor + 1));
        }
        const BoardSettings saved = BoardSettings::fromBlock(block, 2);
        QTemporaryDir dir;
        QString error;
        QVERIFY(BoardSettingsFile::save(saved, dir.filePath("board.json"), &error));
        const BoardSettings loaded = BoardSettingsFile::load(dir.filePath("board.json"), &error);
        QCOMPARE(error, QString());
        QCOMPARE(loaded.board, 2);
        QCOMPARE(loaded.values.size(), saved.values.size());
        QCOMPARE(loaded.note, QString());
        for (int i = 0; i < saved.values.size(); ++i) {
            QCOMPARE(loaded.values[i].index, saved.values[i].index);
            QCOMPARE(bitsOf(float(loaded.values[i].value)), bitsOf(float(saved.values[i].value)));
        }
        QVERIFY(!BoardSettingsFile::save(saved, dir.filePath("missing/board.json"), &error));
        QVERIFY(error.startsWith("Cannot write " + dir.filePath("missing/board.json")));
    }

    void subsetInParameterOrder()
    {
        QString error;
        const BoardSettings settings = BoardSettingsFile::parse(
            R"({"formatVersion": 1, "motors": {"2": {"pid_Ki": 0.25, "SpeedMax": 7}}})", "f.json", &error);
        QCOMPARE(error, QString());
        QCOMPARE(settings.values.size(), 2);
        QCOMPARE(settings.values[0].index, SpeedMax);
        QCOMPARE(settings.values[1].index, pid_Ki);
        QCOMPARE(settings.values[1].motor, 2);
        QCOMPARE(settings.values[1].value, 0.25);
    }

    // The motors' position command is no setting: a board's file leaves it out, an older
    // file that holds it still loads.
    void setPointLeftOut()
    {
        Block block;
        block.setS16(address(0, SetPoint), 2541);
        QString error;
        QVERIFY(!BoardSettingsFile::toJson(BoardSettings::fromBlock(block, 1), &error).contains("\"SetPoint\""));
        const BoardSettings settings = BoardSettingsFile::parse(
            R"({"formatVersion": 1, "motors": {"0": {"SetPoint": 2541, "SpeedMax": 7}}})", "f.json", &error);
        QCOMPARE(error, QString());
        QCOMPARE(settings.values.size(), 1);
        QCOMPARE(settings.values[0].index, SpeedMax);
        QCOMPARE(settings.note, QStringLiteral("f.json: SetPoint left out; it is a motor's position command, not a setting."));
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const QByteArray head = R"({"formatVersion": 1, "motors": )";
        QTest::newRow("malformed") << QByteArray("{\n  \"formatVersion\": 1,\n  \"motors\": {\n    \"0\": {\"SpeedMax\": 30,}\n")
                                   << "f.json, line 4: object is missing after a comma";
        QTest::newRow("unknown variable") << head + R"({"0": {"SpeedMx": 30}}})" << "f.json, motor 0, SpeedMx: unknown variable";
        QTest::newRow("unknown motor") << head + R"({"4": {}}})" << "f.json, motor 4: unknown motor; the motors are 0 to 3";
        QTest::newRow("live value") << head + R"({"1": {"Position": 3}}})"
                                    << "f.json, motor 1, Position: a live value of the board, not a parameter";
        QTest::newRow("above bounds") << head + R"({"1": {"pid_Kp": 3.4e38}}})"
                                      << "f.json, motor 1, pid_Kp: 3.4e+38 is outside the bounds 0 to 1e+06";
        QTest::newRow("below bounds") << head + R"({"3": {"ADCOffset": -4097}}})"
                                      << "f.json, motor 3, ADCOffset: -4097 is outside the bounds -4096 to 4096";
        QTest::newRow("not whole") << head + R"({"0": {"SpeedMax": 1.5}}})" << "f.json, motor 0, SpeedMax: not a whole number";
        QTest::newRow("text") << head + R"({"0": {"SpeedMax": "30"}}})" << "f.json, motor 0, SpeedMax: not a number";
        QTest::newRow("no version") << QByteArray(R"({"motors": {}})")
                                    << "f.json, formatVersion: missing; this is not a board settings file";
        QTest::newRow("newer version") << QByteArray(R"({"formatVersion": 2, "motors": {}})")
                                       << "f.json, formatVersion: format 2 is newer than this tool reads (1); use a newer version of the tool";
        QTest::newRow("unknown key") << QByteArray(R"({"formatVersion": 1, "colour": 1, "motors": {}})") << "f.json, colour: unknown key";
        QTest::newRow("wrong board") << QByteArray(R"({"formatVersion": 1, "board": 3, "motors": {}})")
                                     << "f.json, board: not a board address (1 or 2)";
        QTest::newRow("value given twice") << QByteArray("{\"formatVersion\": 1, \"motors\": {\"0\": {\n\"SpeedMax\": 30,\n\"SpeedMax\": 99}}}")
                                           << "f.json, line 3: \"SpeedMax\" is given twice; keep only one";
        QTest::newRow("motor given twice") << head + "{\"1\": {\"SpeedMax\": 30},\n\"\\u0031\": {}}}"
                                           << "f.json, line 2: \"1\" is given twice; keep only one";
        QTest::newRow("header given twice") << QByteArray(R"({"formatVersion": 1, "board": 1, "motors": {}, "board": 2})")
                                            << "f.json, line 1: \"board\" is given twice; keep only one";
        QTest::newRow("same key, other objects") << head + R"({"0": {"SpeedMax": 1}, "1": {"SpeedMax": 1}}, "board": 1})" << "";
        QTest::newRow("date not text") << QByteArray(R"({"formatVersion": 1, "date": 12, "motors": {}})")
                                       << "f.json, date: not a date in quotes, such as \"2024-05-02T09:30:00Z\"";
        QTest::newRow("version not text") << QByteArray(R"({"formatVersion": 1, "toolVersion": [], "motors": {}})")
                                          << "f.json, toolVersion: not a version in quotes, such as \"1.0.0\"";
        QTest::newRow("not an object") << QByteArray("[1]") << "f.json, line 1: no settings: the file must hold one object, { ... }";
    }

    void badFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QString reported;
        const BoardSettings settings = BoardSettingsFile::parse(text, "f.json", &reported);
        QCOMPARE(reported, error);
        QCOMPARE(settings.values.isEmpty(), !error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBoardSettingsFile)
#include "test_BoardSettingsFile.moc"
