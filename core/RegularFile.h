#pragma once

#include <QString>

// Pipes, terminals and devices may block on open or never end, and a blocked open starves
// the event loop that handles Ctrl+C: a file read whole is checked with this before it is
// opened. True when path exists (links followed) and is not a regular file; a missing path
// is left for the open to report.
bool isSpecialFile(const QString& path);
