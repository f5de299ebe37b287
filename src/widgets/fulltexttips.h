#pragma once

class QWidget;

namespace zanto {

// Every text field and editable list below `root`: while its box cuts its text
// ("Range 4(100%" of "Range 4(100%)", a long device path), the whole text is
// its tooltip; a tooltip of its own comes back once the text fits again.
void showCutTextsWhole(QWidget *root);

} // namespace zanto
