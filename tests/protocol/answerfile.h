#pragma once

// Reads the files of hand-typed answers in tests/data: one record a line,
// columns split at "|", empty lines and "#" lines skipped. A file that cannot
// be read or holds a malformed column stops the test program: a typo in the
// answers must not pass as a smaller test.
#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QList>
#include <QtGlobal>

struct AnswerRecord {
    int line = 0;
    QByteArrayList columns;

    const QByteArray &kind() const { return columns.first(); }
    QByteArray column(qsizetype i) const
    {
        if (i >= columns.size())
            qFatal("answer line %d: column %d missing", line, int(i));
        return columns.at(i);
    }
};

inline QList<AnswerRecord> readAnswerFile(const char *name)
{
    QFile file(QStringLiteral(ZANTO_TEST_DATA_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the answers in %s", qPrintable(file.fileName()));
    QList<AnswerRecord> records;
    int number = 0;
    for (QByteArray line : file.readAll().split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        records.append({number, line.split('|')});
    }
    return records;
}

inline int hexDigit(char c, int line)
{
    const int value = QByteArray("0123456789ABCDEF").indexOf(c);
    if (value < 0)
        qFatal("answer line %d: '%c' is not an upper-case hex digit", line, c);
    return value;
}

// A text column: "\xHH" is one byte of that value, everything else stands for itself.
inline QByteArray unescaped(const QByteArray &text, int line)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.mid(i, 2) == "\\x") {
            if (i + 3 >= text.size())
                qFatal("answer line %d: \\x needs two hex digits", line);
            out.append(char(hexDigit(text[i + 2], line) * 16 + hexDigit(text[i + 3], line)));
            i += 3;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

// A byte column: "41 42 61*3" is A, B and three a's.
inline QByteArray fromHexColumn(const QByteArray &column, int line)
{
    QByteArray out;
    for (const QByteArray &token : column.split(' ')) {
        if (token.isEmpty())
            continue;
        const QByteArrayList parts = token.split('*');
        bool counted = true;
        const int count = parts.size() == 2 ? parts[1].toInt(&counted) : 1;
        if (parts.size() > 2 || parts[0].size() != 2 || !counted || count < 0)
            qFatal("answer line %d: bad byte token %s", line, token.constData());
        out.append(QByteArray(count, char(hexDigit(parts[0][0], line) * 16 + hexDigit(parts[0][1], line))));
    }
    return out;
}
