#pragma once

#include <QValidator>

class QLineEdit;

namespace zanto {

// Typing rules for a one-line field whose text ends up in a command or a line
// file. A change by the user may not:
// - put in a character outside 8 bits (refused whole: the reader and the files
//   carry one byte per character);
// - put in a line break or another control character: a paste keeps its first
//   line, with the control characters dropped, and says so in a tooltip;
// - grow the text beyond maxTyped characters (refused whole).
// Text the program puts there (a reply, a loaded file) stands as it is, longer
// or odder than the rules allow; the user can still shorten it.
class FieldValidator : public QValidator
{
    Q_OBJECT
public:
    // maxTyped < 0: no length limit.
    explicit FieldValidator(QLineEdit *edit, int maxTyped = -1);

    State validate(QString &input, int &pos) const override;

private:
    void tell(const QString &why) const;

    QLineEdit *m_edit;
    int m_maxTyped;
    QString m_before;
};

} // namespace zanto
