#pragma once
// What the Qt runner asks of the window system: whether it can be reached,
// its palette and the frame it puts around windows.
#include <QWidget>
#include <string>

#include "ui/services.h"

namespace qtui {

// Empty when a window can be opened on the window system that Qt would
// use; otherwise why not, as one line (`cannot open the display ":99"`).
std::string WindowSystemProblem();

ui::SystemColors PaletteColors();

// Remembers the frame that the window manager gave `window` (once shown),
// so that later estimates of window sizes use it.
void NoteWindowFrame(const QWidget& window);
// The frame a dialog window will get, with its menu bar when it has one.
ui::FrameMargins EstimatedFrame(bool withMenu);

}  // namespace qtui
