#pragma once

#include "protocol/configstring.h"

#include <array>

namespace zanto {

// Which of the mode-dependent test buttons a mode of operation shows. The four
// other buttons are shown in every mode and never touched.
struct ModeButtons {
    ReaderMode mode;
    bool Command7; // "Input 3"
    bool Command8; // "LON"
    bool Command10; // "LOFF"
    bool ButH;
};

inline constexpr std::array<ModeButtons, 4> ModeButtonTable{{
    {ReaderMode::Standard, false, false, false, false},
    {ReaderMode::Enhanced, false, false, false, false},
    {ReaderMode::Track, false, true, true, false},
    {ReaderMode::Universal, true, true, true, true},
}};

const ModeButtons &modeButtons(ReaderMode mode);

} // namespace zanto
