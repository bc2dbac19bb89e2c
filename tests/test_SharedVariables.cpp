// The variable block layout: addresses, the split into PRIORITY and CMD, typed access, formats
// and the bounds the parameters are entered within.
#include "protocol/SharedVariables.h"

#include <QTest>

#include <cstring>

using namespace SharedVariables;

class TestSharedVariables : public QObject
{
    Q_OBJECT

private slots:
    void addresses_data()
    {
        QTest::addColumn<int>("motor");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("cmd");

        QTest::newRow("SetPoint of motor 3") << 3 << "SetPoint" << 270 << 1 << 0x0E;
        QTest::newRow("PWM_CurrentStep of motor 2") << 2 << "PWM_CurrentStep" << 256 << 1 << 0x00;
        QTest::newRow("PWM_CLimit of motor 2") << 2 << "PWM_CLimit" << 254 << 0 << 0xFE;
        QTest::newRow("MotorBias of motor 3, the last") << 3 << "MotorBias" << 348 << 1 << 0x5C;
        QTest::newRow("pid_Kp of motor 0") << 0 << "pid_Kp" << 36 << 0 << 0x24;
        QTest::newRow("SpeedMax of motor 1") << 1 << "SpeedMax" << 154 << 0 << 0x9A;
        QTest::newRow("MotorBias of motor 2") << 2 << "MotorBias" << 260 << 1 << 0x04;
    }

    void addresses()
    {
        QFETCH(int, motor);
        QFETCH(QString, name);
        QFETCH(int, address);
        QFETCH(int, priority);
        QFETCH(int, cmd);
        const auto& variables = motorVariables();
        const auto found = std::find_if(variables.begin(), variables.end(),
                                        [&](const Variable& v) { return name == QLatin1String(v.name); });
        QVERIFY(found != variables.end());
        const int at = SharedVariables::address(motor, found->offset);
        QCOMPARE(at, address);
        QCOMPARE(int(priorityOf(at)), priority);
        QCOMPARE(int(cmdOf(at)), cmd);
        QCOMPARE(joinAddress(priorityOf(at), cmdOf(at)), address);
    }

    void sharedArea()
    {
        QCOMPARE(int(priorityOf(SaveEEPROMAddress)), 1);
        QCOMPARE(int(cmdOf(SaveEEPROMAddress)), 0x61);
        QCOMPARE(LoopTimeAddress, 354);
        QCOMPARE(joinAddress(0x09, 0x62), LoopTimeAddress); // only the low three bits of PRIORITY count
    }

    void tableIsConsistent()
    {
        const auto& variables = motorVariables();
        QCOMPARE(int(variables.size()), 37);
        int writable = 0;
        int end = 0;
        for (const Variable& v : variables) {
            const int w = width(v.type);
            QVERIFY2(v.offset >= end, v.name);                       // record order, no overlap
            QVERIFY2(v.offset % w == 0, v.name);                     // aligned: no read window splits it
            QVERIFY2(v.offset / WindowSize == (v.offset + w - 1) / WindowSize, v.name);
            end = v.offset + w;
            writable += v.writable;
        }
        QVERIFY(end <= MotorRecordSize);
        QCOMPARE(writable, 18);
        QCOMPARE(QLatin1String(variable(SetPoint).name), QLatin1String("SetPoint"));
        QCOMPARE(QLatin1String(variable(pid_error_max).name), QLatin1String("pid_error_max"));
        QCOMPARE(QLatin1String(variable(MotorBias).name), QLatin1String("MotorBias"));
        QCOMPARE(QLatin1String(variable(Position).name), QLatin1String("Position"));
        QCOMPARE(QLatin1String(variable(Speed).name), QLatin1String("Speed"));
    }

    // What each parameter's entry dialog accepts, in the order of the setup panel's buttons.
    void parameterBounds_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<bool>("isFloat");
        const struct { const char* name; double minimum, maximum; bool isFloat; } rows[] = {
            {"CtrlMode", 0, 3, false},        {"CtrlType", 0, 3, false},
            {"SetPointSrc", 0, 4, false},     {"PosMesSrc", 0, 3, false},
            {"SetPoint", 0, 4096, false},     {"SetPointMax", 0, 4096, false},
            {"SetPointMin", 0, 4096, false},  {"ADCOffset", -4096, 4096, false},
            {"SpeedMax", 0, 4096, false},     {"AccelerationStep", 0, 4096, false},
            {"CurrentOffset", 0, 4096, false}, {"CurrentLimit", 0, 10000, false},
            {"EncoderBias", 0, 1, false},     {"MotorBias", 0, 1, false},
            {"pid_Kp", 0, 1e6, true},         {"pid_Ki", 0, 1e6, true},
            {"pid_Kd", 0, 1e6, true},         {"pid_error_max", 0, 1e6, true},
        };
        int position = 0;
        for (const auto& r : rows)
            QTest::newRow(r.name) << position++ << r.minimum << r.maximum << r.isFloat;
    }

    void parameterBounds()
    {
        QFETCH(int, position);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(bool, isFloat);
        const Variable& parameter = variable(parameters()[size_t(position)]);
        QCOMPARE(QLatin1String(parameter.name), QLatin1String(QTest::currentDataTag()));
        QVERIFY(parameter.writable);
        QCOMPARE(parameter.minimum, minimum);
        QCOMPARE(parameter.maximum, maximum);
        QCOMPARE(parameter.isFloat(), isFloat);
    }

    void formats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");

        QTest::newRow("u16 0xFFFF") << "ErrorCode" << QByteArray("\xFF\xFF", 2) << "65535";
        QTest::newRow("s16 0xFFFF") << "Position" << QByteArray("\xFF\xFF", 2) << "-1";
        QTest::newRow("s16 most negative") << "Speed" << QByteArray("\x00\x80", 2) << "-32768";
        QTest::newRow("u8 255") << "CtrlMode" << QByteArray("\xFF", 1) << "255";
        QTest::newRow("float 0.1") << "pid_Kp" << QByteArray("\xCD\xCC\xCC\x3D", 4) << "0.1";
        QTest::newRow("float 1e8") << "pid_Ki" << QByteArray("\x20\xBC\xBE\x4C", 4) << "100000000";
        QTest::newRow("float 2.5e7") << "pid_Kd" << QByteArray("\x20\xBC\xBE\x4B", 4) << "25000000";
        QTest::newRow("float 6.80845e-7") << "pid_Error" << QByteArray("\x50\xC3\x36\x35", 4) << "0.000000680845";
        QTest::newRow("float -123456.7") << "pid_Error" << QByteArray("\x5A\x20\xF1\xC7", 4) << "-123456.7";
        QTest::newRow("float 1.5e-9, too small for plain digits") << "pid_Error" << QByteArray("\x8F\x28\xCE\x30", 4) << "1.5e-09";
        QTest::newRow("float 3.4e38, too large for plain digits") << "pid_Error" << QByteArray("\x9E\xC9\x7F\x7F", 4) << "3.4e+38";
        QTest::newRow("float 0.5") << "pid_error_max" << QByteArray("\x00\x00\x00\x3F", 4) << "0.5";
        QTest::newRow("float negative") << "pid_Error" << QByteArray("\x00\x00\xC0\xBF", 4) << "-1.5";
    }

    void formats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const auto& variables = motorVariables();
        const auto found = std::find_if(variables.begin(), variables.end(),
                                        [&](const Variable& v) { return name == QLatin1String(v.name); });
        for (int motor = 0; motor < MotorCount; ++motor) {
            Block block;
            block.store(address(motor, found->offset), reinterpret_cast<const uint8_t*>(bytes.constData()),
                        bytes.size());
            QCOMPARE(block.format(motor, *found), shown);
        }
    }

    void storeStaysInsideTheBlock_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("copied");
        QTest::newRow("whole window") << 0 << 8 << 8;
        QTest::newRow("last window") << 352 << 8 << 8;
        QTest::newRow("runs past the end") << 356 << 8 << 4;
        QTest::newRow("last byte") << 359 << 8 << 1;
        QTest::newRow("past the block") << 360 << 8 << 0;
        QTest::newRow("far past the block") << 2047 << 8 << 0;
        QTest::newRow("nothing to copy") << 10 << 0 << 0;
    }

    void storeStaysInsideTheBlock()
    {
        QFETCH(int, address);
        QFETCH(int, count);
        QFETCH(int, copied);
        Block block;
        const uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        QCOMPARE(block.store(address, source, count), copied);
        int nonZero = 0;
        for (int i = 0; i < BlockSize; ++i)
            nonZero += block.data()[i] != 0;
        QCOMPARE(nonZero, copied);
    }

    void typedAccessIsLittleEndian()
    {
        Block block;
        block.setS16(LoopTimeAddress, 1000);
        QCOMPARE(int(block.data()[354]), 0xE8);
        QCOMPARE(int(block.data()[355]), 0x03);
        block.setF32(36, 1.0f);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(block.data() + 36), 4), QByteArray("\x00\x00\x80\x3F", 4));
        QCOMPARE(block.f32(36), 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestSharedVariables)
#include "test_SharedVariables.moc"
