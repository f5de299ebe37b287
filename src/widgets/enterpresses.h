#pragma once

class QWidget;

namespace zanto {

// Enter (or Return) on a focused push button below `window` presses it, as
// Space does, without making any button a default that Enter in a text field
// would press.
void pressButtonsOnEnter(QWidget *window);

} // namespace zanto
