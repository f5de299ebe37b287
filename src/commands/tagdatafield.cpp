#include "commands/tagdatafield.h"

#include "protocol/tagdata.h"

namespace zanto {

qsizetype tagTextByteCount(const QString &text)
{
    // A character outside 8 bits can only be put there by the program; it
    // counts as one byte of its own, like any other character.
    return tagDataByteCount(text.toLatin1());
}

} // namespace zanto
