#pragma once

#include <QString>
#include <QValidator>

namespace zanto {

// Refuses any character outside 8 bits, typed or pasted, so the tag data and
// the write code always reach the reader byte for byte.
class EightBitValidator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};

// The byte count the tag data text stands for (escapes decoded).
qsizetype tagTextByteCount(const QString &text);

} // namespace zanto
