#pragma once

#include "protocol/SharedVariables.h"

#include <QString>

#include <optional>

// The boards' EEPROM, kept in one file for all of them: a sequence of records, each the
// board address (one byte) followed by that board's 360-byte block as last saved.
class EepromFile
{
public:
    explicit EepromFile(const QString& path);

    QString path() const { return filePath; }
    // The block the board saved last, if any.
    std::optional<SharedVariables::Block> load(int boardAddress) const;
    // Replaces the board's record and keeps the others; the file is replaced atomically.
    bool save(int boardAddress, const SharedVariables::Block& block);

private:
    QString filePath;
};
