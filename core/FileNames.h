#pragma once

#include <QString>

// File names are bytes to the system and need not be UTF-8. Qt decodes them (and the
// command-line arguments) with the locale's codec, whose UTF-8 turns each invalid byte
// into U+FFFD for good: the name can no longer be opened, and a file saved under it gets
// another name. Here each such byte becomes one of the code points U+DC80 to U+DCFF
// instead, which turns back into the same byte on the way to the system.
namespace FileNames {

// Makes the locale's codec keep such bytes. Call once, at the start, before arguments or
// file names are decoded.
void keepBytes();

// The text with each kept byte written as \xHH, for a message a person reads.
QString shown(const QString& text);

} // namespace FileNames
