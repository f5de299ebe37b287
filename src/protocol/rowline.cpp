#include "protocol/rowline.h"

#include "protocol/hexformat.h"
#include "protocol/textescapes.h"

#include <QDateTime>

namespace zanto {

QByteArray RowLineFormat::timeText(qint64 arrivalMs)
{
    QByteArray out;
    appendTime(out, arrivalMs);
    return out;
}

void RowLineFormat::appendTime(QByteArray &out, qint64 arrivalMs)
{
    const qint64 second = arrivalMs >= 0 ? arrivalMs / 1000 : (arrivalMs - 999) / 1000;
    if (second != m_second || m_secondText.isEmpty()) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(second * 1000);
        m_secondText = local.toString(Qt::ISODate).toLatin1();
        // Qt writes a local time without its offset, and UTC as "Z"; the line
        // always carries the offset, so every line reads the same way.
        const int offset = local.offsetFromUtc();
        const int minutes = (offset < 0 ? -offset : offset) / 60;
        m_offsetText = (offset < 0 ? "-" : "+") + QByteArray::number(minutes / 60).rightJustified(2, '0') + ':'
            + QByteArray::number(minutes % 60).rightJustified(2, '0');
        m_second = second;
    }
    // Written in place: a log makes tens of thousands of these a second.
    const int ms = int(arrivalMs - second * 1000);
    out += m_secondText;
    out += '.';
    out += char('0' + ms / 100);
    out += char('0' + ms / 10 % 10);
    out += char('0' + ms % 10);
    out += m_offsetText;
}

void RowLineFormat::append(QByteArray &out, QByteArrayView bytes, qint64 arrivalMs)
{
    const QByteArray raw = QByteArray::fromRawData(bytes.data(), bytes.size());
    if (m_withTime) {
        appendTime(out, arrivalMs);
        out += '\t';
    }
    out += hexText(raw);
    out += '\t';
    out += escapedText(raw);
}

QByteArray RowLineFormat::line(QByteArrayView bytes, qint64 arrivalMs)
{
    QByteArray out;
    append(out, bytes, arrivalMs);
    return out;
}

} // namespace zanto
