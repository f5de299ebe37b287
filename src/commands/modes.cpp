#include "commands/modes.h"

namespace zanto {

const ModeButtons &modeButtons(ReaderMode mode)
{
    for (const ModeButtons &row : ModeButtonTable) {
        if (row.mode == mode)
            return row;
    }
    return ModeButtonTable.front();
}

} // namespace zanto
