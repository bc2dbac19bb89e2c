#include "core/BoardSettingsFile.h"

#include "core/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace SharedVariables;

namespace {

// No settings file comes near this; a larger one is not read, so that a wrong path (a
// device, a huge log) fails at once.
constexpr qint64 MaxBytes = 1 << 20;

const QString BoardKey = QStringLiteral("board");
const QString DateKey = QStringLiteral("date");
const QString VersionKey = QStringLiteral("formatVersion");
const QString MotorsKey = QStringLiteral("motors");
const QString ToolKey = QStringLiteral("toolVersion");

int parameterOrder(Index index)
{
    const auto& order = parameters();
    return int(std::find(order.begin(), order.end(), index) - order.begin());
}

bool isWhole(const QJsonValue& value)
{
    return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
}

// The shortest decimal that reads back as f often reads back as f through a double too;
// when that double rounds to another float, the float's exact value is written instead.
double shortestFloat(float f)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, f).ptr;
    *end = '\0';
    const double shortest = std::strtod(text, nullptr);
    const float back = float(shortest);
    return std::memcmp(&back, &f, sizeof f) == 0 ? shortest : double(f);
}

// QJsonDocument keeps the last of two equal keys of an object (and Qt 5.15 leaks the
// object it drops), so the text is scanned for them before it is parsed: the string
// before a colon is a key of the innermost open object. Text that is not JSON is left to
// the parser's own error. The line of the first key given twice, with the key; 0 when
// there is none.
int repeatedKey(const QByteArray& text, QString* key)
{
    std::vector<QSet<QString>> objects;
    QString string;
    int line = 1;
    for (int i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case '\n':
            ++line;
            break;
        case '{':
            objects.emplace_back();
            break;
        case '}':
            if (!objects.empty())
                objects.pop_back();
            break;
        case '"': {
            const int start = i;
            for (++i; i < text.size() && text[i] != '"'; ++i)
                i += text[i] == '\\';
            string = QJsonDocument::fromJson('[' + text.mid(start, i + 1 - start) + ']').array().at(0).toString();
            break;
        }
        case ':':
            if (objects.empty())
                break;
            if (objects.back().contains(string)) {
                *key = string;
                return line;
            }
            objects.back().insert(string);
            break;
        }
    }
    return 0;
}

QString bounds(const Variable& variable)
{
    return QStringLiteral("%1 to %2").arg(BoardSettingsFile::exactText(variable, variable.minimum),
                                          BoardSettingsFile::exactText(variable, variable.maximum));
}

} // namespace

BoardSettings BoardSettings::fromBlock(const Block& block, int board)
{
    BoardSettings settings;
    settings.board = board;
    settings.toolVersion = QStringLiteral(DRIVE_SETUP_VERSION);
    settings.date = QDateTime::currentDateTimeUtc();
    for (int motor = 0; motor < MotorCount; ++motor) {
        for (Index index : settingParameters())
            settings.values.append({motor, index, block.value(motor, variable(index))});
    }
    return settings;
}

namespace BoardSettingsFile {

QJsonValue jsonValue(const Variable& variable, double value)
{
    return variable.isFloat() ? QJsonValue(shortestFloat(float(value))) : QJsonValue(qint64(value));
}

QString exactText(const Variable& variable, double value)
{
    return QString::number(jsonValue(variable, value).toDouble(), 'g', QLocale::FloatingPointShortest);
}

QByteArray toJson(const BoardSettings& settings, QString* error)
{
    QJsonObject motors;
    for (const ParameterValue& parameter : settings.values) {
        if (!std::isfinite(parameter.value)) {
            *error = QStringLiteral("Motor %1 holds %2 in %3, which a settings file cannot hold.")
                         .arg(parameter.motor)
                         .arg(parameter.value)
                         .arg(QLatin1String(parameter.variable().name));
            return QByteArray();
        }
        const QString key = QString::number(parameter.motor);
        QJsonObject motor = motors.value(key).toObject();
        motor.insert(QLatin1String(parameter.variable().name), jsonValue(parameter.variable(), parameter.value));
        motors.insert(key, motor);
    }
    QJsonObject root;
    root.insert(VersionKey, FormatVersion);
    if (settings.board != 0)
        root.insert(BoardKey, settings.board);
    root.insert(ToolKey, settings.toolVersion);
    root.insert(DateKey, settings.date.toUTC().toString(Qt::ISODate));
    root.insert(MotorsKey, motors);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool save(const BoardSettings& settings, const QString& path, QString* error)
{
    const QByteArray text = toJson(settings, error);
    if (text.isEmpty())
        return false;
    const QString failure = WholeFile::write(path, text);
    if (!failure.isEmpty()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), failure);
        return false;
    }
    return true;
}

BoardSettings parse(const QByteArray& text, const QString& fileName, QString* error)
{
    const auto fail = [&](const QString& where, const QString& reason) {
        *error = QStringLiteral("%1, %2: %3").arg(fileName, where, reason);
        return BoardSettings();
    };
    QString repeated;
    if (const int line = repeatedKey(text, &repeated))
        return fail(QStringLiteral("line %1").arg(line), QStringLiteral("\"%1\" is given twice; keep only one").arg(repeated));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const int line = text.left(parseError.offset).count('\n') + 1;
        return fail(QStringLiteral("line %1").arg(line), parseError.errorString());
    }
    if (!document.isObject())
        return fail(QStringLiteral("line 1"), QStringLiteral("no settings: the file must hold one object, { ... }"));
    const QJsonObject root = document.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!QStringList{BoardKey, DateKey, VersionKey, MotorsKey, ToolKey}.contains(it.key()))
            return fail(it.key(), QStringLiteral("unknown key"));
    }

    const QJsonValue version = root.value(VersionKey);
    if (version.isUndefined())
        return fail(VersionKey, QStringLiteral("missing; this is not a board settings file"));
    if (!isWhole(version) || version.toDouble() < 1)
        return fail(VersionKey, QStringLiteral("not a format version"));
    if (version.toDouble() > FormatVersion)
        return fail(VersionKey, QStringLiteral("format %1 is newer than this tool reads (%2); use a newer version of the tool")
                                    .arg(version.toDouble())
                                    .arg(FormatVersion));

    BoardSettings settings;
    const QJsonValue board = root.value(BoardKey);
    if (!board.isUndefined() && board != QJsonValue(1) && board != QJsonValue(2))
        return fail(BoardKey, QStringLiteral("not a board address (1 or 2)"));
    settings.board = board.toInt();
    const QJsonValue tool = root.value(ToolKey);
    if (!tool.isUndefined() && !tool.isString())
        return fail(ToolKey, QStringLiteral("not a version in quotes, such as \"1.0.0\""));
    settings.toolVersion = tool.toString();
    const QJsonValue date = root.value(DateKey);
    if (!date.isUndefined() && !date.isString())
        return fail(DateKey, QStringLiteral("not a date in quotes, such as \"2024-05-02T09:30:00Z\""));
    settings.date = QDateTime::fromString(date.toString(), Qt::ISODate);

    const QJsonValue motors = root.value(MotorsKey);
    if (!motors.isObject())
        return fail(MotorsKey, motors.isUndefined() ? QStringLiteral("missing") : QStringLiteral("not an object { ... }"));
    const QJsonObject motorObjects = motors.toObject();
    for (auto m = motorObjects.begin(); m != motorObjects.end(); ++m) {
        const int motor = m.key().toInt();
        if (m.key() != QString::number(motor) || motor < 0 || motor >= MotorCount)
            return fail(QStringLiteral("motor %1").arg(m.key()), QStringLiteral("unknown motor; the motors are 0 to 3"));
        if (!m.value().isObject())
            return fail(QStringLiteral("motor %1").arg(motor), QStringLiteral("not an object { ... }"));
        const QJsonObject values = m.value().toObject();
        for (auto v = values.begin(); v != values.end(); ++v) {
            const QString where = QStringLiteral("motor %1, %2").arg(motor).arg(v.key());
            const Index index = findVariable(v.key());
            if (index == VariableCount)
                return fail(where, QStringLiteral("unknown variable"));
            if (index == SetPoint) {
                settings.note = QStringLiteral("%1: SetPoint left out; it is a motor's position command, not a setting.")
                                    .arg(fileName);
                continue;
            }
            const Variable& parameter = variable(index);
            if (!parameter.writable)
                return fail(where, QStringLiteral("a live value of the board, not a parameter"));
            if (!v.value().isDouble())
                return fail(where, QStringLiteral("not a number"));
            if (!parameter.isFloat() && !isWhole(v.value()))
                return fail(where, QStringLiteral("not a whole number"));
            const double number = v.value().toDouble();
            if (!parameter.accepts(number))
                return fail(where, QStringLiteral("%1 is outside the bounds %2").arg(v.value().toDouble()).arg(bounds(parameter)));
            settings.values.append({motor, index, parameter.isFloat() ? double(float(number)) : number});
        }
    }
    std::sort(settings.values.begin(), settings.values.end(), [](const ParameterValue& a, const ParameterValue& b) {
        return a.motor != b.motor ? a.motor < b.motor : parameterOrder(a.index) < parameterOrder(b.index);
    });
    error->clear();
    return settings;
}

BoardSettings load(const QString& path, QString* error)
{
    const QString name = QDir::toNativeSeparators(path);
    if (WholeFile::isSpecial(path)) {
        *error = QStringLiteral("Cannot read %1: not a regular file").arg(name);
        return BoardSettings();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(name, file.errorString());
        return BoardSettings();
    }
    const QByteArray text = file.read(MaxBytes + 1);
    if (text.size() > MaxBytes) {
        *error = QStringLiteral("%1: too large for a board settings file").arg(name);
        return BoardSettings();
    }
    return parse(text, name, error);
}

} // namespace BoardSettingsFile
