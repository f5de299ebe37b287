#include "commands/tagdatafield.h"

#include "platform/latin1.h"
#include "protocol/tagdata.h"

namespace zanto {

QValidator::State EightBitValidator::validate(QString &input, int &) const
{
    return isEightBit(input) ? Acceptable : Invalid;
}

qsizetype tagTextByteCount(const QString &text)
{
    // A character outside 8 bits can only be put there by the program; it
    // counts as one byte of its own, like any other character.
    return tagDataByteCount(text.toLatin1());
}

} // namespace zanto
