#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace zanto {

// The one line a received row becomes wherever it leaves the grid (Copy,
// "Save rows as...", the log): optionally when its first byte arrived and a
// tab, then the hex as the grid's first column shows it (" 0D 41"), a tab, and
// the text with every control character as a /XX escape (escapedText()).
//
// The time is ISO 8601 in local time with its offset from UTC and
// milliseconds, "2026-12-07T10:20:30.456+01:00": readable as it is, and still
// exact when the lines of two machines or two seasons are put side by side.
class RowLineFormat
{
public:
    explicit RowLineFormat(bool withTime = false) : m_withTime(withTime) {}

    bool withTime() const { return m_withTime; }
    QByteArray line(QByteArrayView bytes, qint64 arrivalMs);
    // The same, added to `out` (no line end).
    void append(QByteArray &out, QByteArrayView bytes, qint64 arrivalMs);

    // The time alone, as a line shows it.
    QByteArray timeText(qint64 arrivalMs);

private:
    void appendTime(QByteArray &out, qint64 arrivalMs);

    bool m_withTime;
    // Rows come in order of arrival, many to a second: the date, the time to
    // the second and the offset are worked out once a second, only the
    // milliseconds for every row.
    qint64 m_second = -1;
    QByteArray m_secondText; // "2026-12-07T10:20:30"
    QByteArray m_offsetText; // "+01:00"
};

} // namespace zanto
