#pragma once

class MainWindow;
class QSettings;

// What the window remembers from one run to the next: the port and the board, the tab
// shown, the window's geometry and the graphs' docks, the folder of the last script.
// Each part has its own key group in the settings.
namespace RememberedState {

// Before the window is shown. A remembered port that is gone is listed as missing.
void restore(MainWindow& window, const QSettings& settings);
// When the window is done with.
void save(const MainWindow& window, QSettings& settings);

} // namespace RememberedState
