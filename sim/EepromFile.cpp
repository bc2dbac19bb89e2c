#include "sim/EepromFile.h"

#include "core/FileNames.h"
#include "core/WholeFile.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cstring>

namespace {

constexpr int RecordSize = 1 + SharedVariables::BlockSize;

// The file's content, or nothing when it is missing or not made of whole records.
QByteArray readRecords(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray records = file.readAll();
    if (records.size() % RecordSize != 0) {
        qWarning("drive-sim: %s is not an EEPROM file of whole board records; ignored",
                 qPrintable(FileNames::shown(path)));
        return QByteArray();
    }
    return records;
}

int recordOf(const QByteArray& records, int boardAddress)
{
    for (int at = 0; at < records.size(); at += RecordSize) {
        if (uint8_t(records[at]) == boardAddress)
            return at;
    }
    return -1;
}

} // namespace

EepromFile::EepromFile(const QString& path)
    : filePath(path)
{
}

std::optional<SharedVariables::Block> EepromFile::load(int boardAddress) const
{
    const QByteArray records = readRecords(filePath);
    const int at = recordOf(records, boardAddress);
    if (at < 0)
        return std::nullopt;
    SharedVariables::Block block;
    std::memcpy(block.data(), records.constData() + at + 1, SharedVariables::BlockSize);
    return block;
}

bool EepromFile::save(int boardAddress, const SharedVariables::Block& block)
{
    QByteArray records = readRecords(filePath);
    int at = recordOf(records, boardAddress);
    if (at < 0) {
        at = records.size();
        records.append(char(boardAddress));
        records.append(SharedVariables::BlockSize, '\0');
    }
    std::memcpy(records.data() + at + 1, block.data(), SharedVariables::BlockSize);

    const QString failure = WholeFile::write(filePath, records);
    if (!failure.isEmpty()) {
        qWarning("drive-sim: cannot save the EEPROM of board %d to %s: %s", boardAddress,
                 qPrintable(FileNames::shown(filePath)), qPrintable(failure));
        return false;
    }
    return true;
}
