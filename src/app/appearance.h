#pragma once

class QApplication;

namespace zanto {

// The window's default font: a plain sans-serif small enough for the fixed
// layout, whatever the desktop's own default.
void applyAppearance(QApplication &app);

} // namespace zanto
