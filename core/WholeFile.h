#pragma once

#include <QByteArray>
#include <QString>

// Every file the tools write goes through here: written beside the target and renamed
// over it only once every byte is on disk, so that a full disk, a lost folder or a crash
// leaves the old file whole. A target that exists and is not a regular file (a device,
// a pipe) is refused rather than replaced.
namespace WholeFile {

// True when the path exists (links followed) and is not a regular file. Pipes,
// terminals and devices may block on open or never end, and a blocked open starves the
// event loop that handles Ctrl+C: a file read whole is checked with this before it is
// opened. A missing path is left for the open to report.
bool isSpecial(const QString& path);

// Why the path may not be written, in words; empty when it may. Links count as what
// they point to.
QString refusal(const QString& path);

// Writes the bytes as the whole new content of the file. Returns the reason of a failure
// (the system's, or the refusal above), empty when the file was committed.
QString write(const QString& path, const QByteArray& content);

} // namespace WholeFile
