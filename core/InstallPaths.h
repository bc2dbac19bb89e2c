#pragma once

#include <QString>

// The folder of the example robot scripts wherever the tool runs from: installed,
// <prefix>/share/drive-setup/scripts beside the executable's bin/; in a build, the
// source tree's scripts/. Empty when neither exists.
QString exampleScriptsFolder();
