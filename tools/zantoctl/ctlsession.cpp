#include "ctlsession.h"

#include "platform/configfiles.h"
#include "platform/textfile.h"
#include "protocol/commands.h"
#include "protocol/hexformat.h"
#include "protocol/latin1.h"
#include "protocol/textescapes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

using namespace zanto;

namespace zantoctl {

namespace {

// 8-bit text from the reader or a file, as the terminal shows characters.
QByteArray shown(const QByteArray &latin1)
{
    return QString::fromLatin1(latin1).toLocal8Bit();
}

QByteArray jsonString(const QByteArray &latin1)
{
    QByteArray out = "\"";
    for (const QChar c : QString::fromLatin1(latin1)) {
        if (c == u'"' || c == u'\\')
            out += '\\' + QByteArray(1, char(c.unicode()));
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QByteArray("\\u") + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
        else
            out += QString(c).toUtf8();
    }
    return out + '"';
}

// Local time with its offset, to the millisecond: 2024-05-01T14:03:07.125+02:00.
QByteArray isoTime(qint64 msSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
}

QByteArray burstLine(const QByteArray &bytes, qint64 firstArrivalMs, bool json)
{
    if (json)
        return "{\"time\":\"" + isoTime(firstArrivalMs) + "\",\"hex\":\"" + bytes.toHex().toUpper()
            + "\",\"length\":" + QByteArray::number(bytes.size()) + "}\n";
    return isoTime(firstArrivalMs) + '\t' + hexText(bytes) + '\t' + shown(escapedText(bytes)) + '\n';
}

QString seconds(int ms)
{
    return QString::number(ms / 1000.0) + QLatin1String(" s");
}

} // namespace

CtlSession::CtlSession(const CtlOptions &options, std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_link(&m_pipeline)
{
    m_pipeline.setQuietInterval(options.quietMs);
    m_link.setParameters(options.link);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CtlSession::timeUp);
    connect(&m_pipeline, &ReceivePipeline::burstEnded, this, &CtlSession::burstEnded);
    connect(&m_link, &ReaderLink::bytesArrived, this, &CtlSession::arrived);
    connect(&m_link, &ReaderLink::status, this, [this](const QString &text, const QString &detail) {
        m_lastStatus = detail.isEmpty() ? text : text + QLatin1String(": ") + detail;
    });
    // The link writes what the reader sent into the pipeline before it tells
    // of a close, so a close finds the reader's last bytes there.
    connect(&m_link, &ReaderLink::opened, this, &CtlSession::linkReady);
    connect(&m_link, &ReaderLink::lost, this, &CtlSession::linkLost);
    connect(&m_link, &ReaderLink::closedByReader, this, [this] { linkLost(tr("the reader closed the connection")); });
}

void CtlSession::start()
{
    // A TCP connection gets --timeout to be made; the serial port opens at
    // once, and its opened() has started the command by the time this returns.
    if (m_options.link.tcp)
        m_timer.start(m_options.timeoutMs);
    if (!m_link.openLink()) {
        finish(ExitLink, tr("%1\nCheck the port (--serial PORT, or line 1 of settings1.ini) and that no other "
                            "program holds it.").arg(m_lastStatus));
    }
}

void CtlSession::linkReady()
{
    if (m_phase != Phase::Connecting)
        return;
    m_timer.stop();
    switch (m_options.command) {
    case Command::Monitor:
        m_phase = Phase::Monitoring;
        if (m_options.forMs)
            m_timer.start(*m_options.forMs);
        return;
    case Command::ReadConfig:
        m_phase = Phase::AwaitingConfig;
        m_timer.start(m_options.timeoutMs);
        break;
    case Command::WriteConfig:
        m_phase = m_options.verify ? Phase::AwaitingWrite : Phase::Listening;
        m_timer.start(m_options.verify ? m_options.timeoutMs : m_options.waitMs);
        break;
    default:
        m_phase = Phase::Listening;
        m_timer.start(m_options.waitMs);
        break;
    }
    sendNow(m_options.text, m_options.rule);
}

void CtlSession::sendNow(const QByteArray &text, LinkRule rule)
{
    m_bursts = 0;
    if (!m_link.send(text, rule))
        finish(ExitLink, tr("the command was not sent: %1").arg(m_lastStatus));
}

void CtlSession::arrived(QByteArrayView bytes)
{
    // "Quiet for S seconds" counts from the last byte, not from the last burst.
    if (bytes.isEmpty())
        return;
    if (m_phase == Phase::Listening)
        m_timer.start(m_options.waitMs);
    else if (m_phase == Phase::AwaitingWrite)
        m_timer.start(m_options.timeoutMs);
}

void CtlSession::burstEnded(QByteArrayView view, qint64 firstArrivalMs)
{
    // Only the burst at hand is ever needed: a monitor left running for days
    // must not keep every burst it has printed.
    ReceivedStore &store = m_pipeline.store();
    if (store.rowCount() > 1)
        store.dropFront(store.rowCount() - 1);
    if (view.isEmpty() || m_phase == Phase::Done || m_phase == Phase::Connecting)
        return;
    ++m_bursts;
    const QByteArray bytes = view.toByteArray();
    switch (m_phase) {
    case Phase::Listening:
    case Phase::Monitoring:
        writeOutput(burstLine(bytes, firstArrivalMs, m_options.json));
        break;
    case Phase::AwaitingWrite:
        // The write's answer is in its own burst; the read request goes only
        // now, so the configuration reply cannot share a burst with it.
        writeOutput(burstLine(bytes, firstArrivalMs, m_options.json));
        m_phase = Phase::AwaitingConfig;
        m_timer.start(m_options.timeoutMs);
        sendNow(configReadRequest(), commandRule(ReaderCommand::ReadConfig));
        break;
    case Phase::AwaitingConfig:
        if (const std::optional<DecodedConfig> decoded = decodeConfigReply(bytes))
            configReply(*decoded);
        break;
    case Phase::Connecting:
    case Phase::Done:
        break;
    }
}

bool CtlSession::flushBurst()
{
    if (m_pipeline.gathering())
        m_pipeline.endBurstNow();
    return m_phase == Phase::Done;
}

void CtlSession::timeUp()
{
    const Phase before = m_phase;
    if (before != Phase::Connecting && (flushBurst() || m_phase != before))
        return;
    const QString waited = seconds(m_timer.interval());
    switch (m_phase) {
    case Phase::Connecting:
        finish(ExitLink, tr("no connection to %1 port %2 within %3. Check the reader's address and port (--tcp HOST:PORT, "
                            "or lines 2 and 4 of settings1.ini), that it is on, or give more time with --timeout.")
                             .arg(m_options.link.host, m_options.link.tcpPortText, waited));
        break;
    case Phase::Listening:
        if (m_bursts > 0)
            finish(ExitDone);
        else
            finish(ExitNoAnswer, tr("no answer within %1. Check that the reader is on and set to this link, or wait "
                                    "longer with --wait.").arg(waited));
        break;
    case Phase::AwaitingWrite:
        finish(ExitNoAnswer, tr("no answer to the configuration write within %1; nothing was verified. Wait longer "
                                "with --timeout.").arg(waited));
        break;
    case Phase::AwaitingConfig:
        finish(ExitNoAnswer,
               tr("no configuration reply within %1 (%2 other bursts came). Check that the reader is on and "
                  "quiet (a reply shares no burst with other data), or wait longer with --timeout.")
                   .arg(waited)
                   .arg(m_bursts));
        break;
    case Phase::Monitoring:
        finish(ExitDone);
        break;
    case Phase::Done:
        break;
    }
}

void CtlSession::linkLost(const QString &why)
{
    if (m_phase == Phase::Done)
        return;
    if (m_phase == Phase::Connecting) {
        finish(ExitLink, tr("could not connect to %1 port %2: %3. Check the reader's address and port (--tcp HOST:PORT, "
                            "or lines 2 and 4 of settings1.ini) and that it is on.")
                             .arg(m_options.link.host, m_options.link.tcpPortText, why));
        return;
    }
    // What arrived before the loss is the reader's last word: it is shown,
    // and decoded, as the window would.
    if (flushBurst())
        return;
    if (m_options.linkCloseExpected && m_phase == Phase::Listening) {
        finish(ExitDone, tr("the reader closed the link after RESET: it is restarting."));
        return;
    }
    QString text = tr("the link was lost: %1.").arg(why);
    if (m_phase == Phase::AwaitingConfig)
        text += tr(" No whole configuration reply came%1.")
                    .arg(m_options.outputPath.isEmpty() ? QString() : tr("; no file was written"));
    finish(ExitLink, text + tr(" Check the cable or network and try again."));
}

void CtlSession::interrupt()
{
    if (m_phase == Phase::Done)
        return;
    const Phase before = m_phase;
    if (flushBurst())
        return;
    if (before == Phase::Monitoring)
        finish(ExitDone);
    else if (before == Phase::Listening && m_bursts > 0)
        finish(ExitDone);
    else
        finish(ExitNoAnswer, tr("interrupted before the answer came."));
}

void CtlSession::configReply(const DecodedConfig &decoded)
{
    if (m_options.command == Command::WriteConfig) {
        verify(decoded);
        return;
    }
    // What the Configure Reader dialog holds after the reply: its starting
    // texts with the fields the reply carries written over them.
    ConfigFields fields;
    applyDecoded(decoded, fields);

    if (!m_options.outputPath.isEmpty()) {
        QString path = m_options.outputPath;
        if (QFileInfo(path).isDir()) {
            const Result<QString> name = configFileName(fromBytes(fields[ConfigField::ReaderName]));
            if (!name) {
                finish(ExitBadInput, tr("%1. Give -o a file name instead of a folder.").arg(name.error()));
                return;
            }
            path = QDir(path).filePath(*name);
        }
        if (const Done written = writeLineFile(path, configFileLines(fields)); !written) {
            finish(ExitBadInput, tr("%1. Choose another file with -o.").arg(written.error()));
            return;
        }
    }
    if (m_options.json) {
        QByteArray line = "{";
        for (ConfigField field : AllConfigFields) {
            line += (line.size() > 1 ? ",\"" : "\"") + QByteArray(fieldControlName(field)) + "\":" + jsonString(fields[field]);
        }
        writeOutput(line + "}\n");
    } else if (m_options.outputPath.isEmpty()) {
        QByteArray lines;
        for (ConfigField field : AllConfigFields)
            lines += QByteArray(fieldCaption(field)) + ": " + shown(escapedText(fields[field])) + '\n';
        writeOutput(lines);
    }
    finish(ExitDone);
}

void CtlSession::verify(const DecodedConfig &decoded)
{
    const ConfigFields &expected = m_options.expected;
    // BuildConfigString took the file, so its Mode names a mode.
    const ReaderMode mode = modeFromName(expected[ConfigField::Mode]).value_or(ReaderMode::Standard);
    QByteArray differences;
    int count = 0;
    const auto differ = [&](ConfigField field, const QByteArray &actual) {
        ++count;
        differences += QByteArray(fieldCaption(field)) + ": expected \"" + shown(escapedText(expected[field]))
            + "\", " + actual + '\n';
    };
    for (ConfigField field : AllConfigFields) {
        if (field == ConfigField::Mode) {
            if (expected[ConfigField::Mode] != modeName(decoded.mode))
                differ(field, "the reader has \"" + QByteArray(modeName(decoded.mode)) + '"');
            continue;
        }
        if (!modeCarries(mode, field))
            continue;
        const std::optional<QByteArray> &actual = decoded[field];
        if (!actual)
            differ(field, "the reader reports none");
        else if (*actual != expected[field])
            differ(field, "the reader has \"" + shown(escapedText(*actual)) + '"');
    }
    writeOutput(differences);
    if (count == 0) {
        finish(ExitDone);
        return;
    }
    finish(ExitDiffers, tr("the reader's configuration differs from %1 in %2 field(s): it did not take the write. "
                           "See its answer above, check the file, and send it again.")
                            .arg(QDir::toNativeSeparators(m_options.configPath))
                            .arg(count));
}

void CtlSession::writeOutput(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    // A pipe reader sees each burst as it ends, not when a buffer fills.
    std::fflush(m_out);
}

void CtlSession::message(const QString &text)
{
    const QByteArray line = "zantoctl: " + text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), m_err);
    std::fflush(m_err);
}

void CtlSession::finish(int exitCode, const QString &text)
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_timer.stop();
    if (!text.isEmpty())
        message(text);
    m_link.closeLink();
    m_exitCode = exitCode;
    Q_EMIT finished(exitCode);
}

} // namespace zantoctl
