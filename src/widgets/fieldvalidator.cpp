#include "widgets/fieldvalidator.h"

#include "protocol/latin1.h"

#include <QLineEdit>
#include <QToolTip>

#include <algorithm>

namespace zanto {

FieldValidator::FieldValidator(QLineEdit *edit, int maxTyped)
    : QValidator(edit)
    , m_edit(edit)
    , m_maxTyped(maxTyped)
    , m_before(edit->text())
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
}

void FieldValidator::tell(const QString &why) const
{
    if (m_edit->isVisible())
        QToolTip::showText(m_edit->mapToGlobal(QPoint(0, m_edit->height())), why, m_edit);
}

QValidator::State FieldValidator::validate(QString &input, int &pos) const
{
    // setText() clears the undo history and every edit by the user adds to it:
    // no undo step means the program has just put this text here.
    if (!m_edit->isUndoAvailable() || input == m_before)
        return Acceptable;

    // What this change put in: what lies between the parts that stayed the same.
    const QString &before = m_before;
    const qsizetype common = qMin(input.size(), before.size());
    qsizetype head = 0;
    while (head < common && input.at(head) == before.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < common - head && input.at(input.size() - 1 - tail) == before.at(before.size() - 1 - tail))
        ++tail;
    QString added = input.mid(head, input.size() - head - tail);

    if (const Result<QByteArray> bytes = toBytes(added); !bytes) {
        tell(tr("%1 is outside 8 bits: the reader cannot be sent it").arg(bytes.error()));
        return Invalid;
    }

    QString why;
    const auto lineBreak = std::find_if(added.cbegin(), added.cend(), [](QChar c) { return c == u'\r' || c == u'\n'; });
    if (lineBreak != added.cend()) {
        const qsizetype lineEnd = lineBreak - added.cbegin();
        added.truncate(lineEnd);
        why = tr("Only the first line was kept: this field holds one line");
    }
    const qsizetype typed = added.size();
    added.removeIf([](QChar c) { return isControlCharacter(c.unicode()); });
    if (added.size() != typed && why.isEmpty())
        why = tr("Control characters cannot be put in this field");

    const QString result = input.left(head) + added + input.right(tail);
    // Growing beyond the limit is refused; shortening a longer text that the
    // program put there is not.
    if (m_maxTyped >= 0 && result.size() > m_maxTyped && result.size() > before.size())
        return Invalid;
    if (result != input) {
        tell(why);
        // Nothing left of what was put in: the change is refused whole rather
        // than wiping a selection it would have replaced.
        if (added.isEmpty())
            return Invalid;
        input = result;
        pos = int(head + added.size());
    }
    return Acceptable;
}

} // namespace zanto
