#pragma once

#include <QRect>

class QWidget;

namespace zanto {

// Layout figures are kept in twips (1/1440 inch), 15 twips to a pixel at 96 dpi,
// so every position in the code reads like the layout table it came from.
constexpr int twips(int t) { return (t + 7) / 15; }
QRect twipsRect(int left, int top, int width, int height);
void placeTwips(QWidget *widget, int left, int top, int width, int height);

} // namespace zanto
