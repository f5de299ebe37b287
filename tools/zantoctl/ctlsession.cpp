#include "ctlsession.h"

#include "ctlformat.h"

#include "platform/configfiles.h"
#include "platform/textfile.h"
#include "protocol/commands.h"
#include "protocol/latin1.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

using namespace zanto;

namespace zantoctl {

namespace {

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0) + QLatin1String(" s");
}

// What is kept of what a reader sends while a command waits: far more than any
// answer, far less than a stream left running for minutes.
constexpr qsizetype KeptBytes = 64 * 1024;

} // namespace

CtlSession::CtlSession(const CtlOptions &options, CtlOutput *out, std::FILE *err, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_link(&m_pipeline)
{
    m_pipeline.setQuietInterval(options.quietMs);
    m_link.setParameters(options.link);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
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
    // once, and its opened() has sent the command by the time this returns.
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
        break;
    case Command::WriteConfig:
        m_phase = m_options.verify ? Phase::AwaitingWrite : (m_options.waitMs ? Phase::Listening : Phase::Answer);
        break;
    default:
        m_phase = m_options.waitMs ? Phase::Listening : Phase::Answer;
        break;
    }
    sendNow(m_options.text, m_options.rule, m_options.waitMs.value_or(m_options.timeoutMs));
}

void CtlSession::sendNow(const QByteArray &text, LinkRule rule, int timeoutMs)
{
    // Only what comes after the command can answer it: a burst under way is
    // printed as it ends, but is no answer.
    m_bursts = 0;
    m_bytes = 0;
    m_received.clear();
    m_burstEnds.clear();
    m_burstStart = 0;
    m_timer.start(timeoutMs);
    m_sinceCommand.start();
    if (!m_link.send(text, rule))
        finish(ExitLink, tr("the command was not sent: %1").arg(m_lastStatus));
}

void CtlSession::arrived(QByteArrayView bytes)
{
    if (bytes.isEmpty() || m_phase == Phase::Done || m_phase == Phase::Connecting)
        return;
    m_bytes += bytes.size();
    if (m_phase == Phase::Monitoring)
        return;
    if (m_received.isEmpty() && !m_pipeline.gathering())
        m_burstStart = 0;
    m_received.append(bytes.data(), bytes.size());
    if (m_received.size() > 2 * KeptBytes) {
        const qsizetype drop = m_received.size() - KeptBytes;
        m_received.remove(0, drop);
        m_burstStart = qMax<qsizetype>(0, m_burstStart - drop);
        for (qsizetype &end : m_burstEnds)
            end -= drop;
        m_burstEnds.removeIf([](qsizetype end) { return end <= 0; });
    }
    if (m_phase == Phase::AwaitingConfig) {
        lookForReply();
    } else if (m_phase == Phase::AwaitingWrite) {
        if (m_writeAnswer.isEmpty())
            m_writeAnswerMs = QDateTime::currentMSecsSinceEpoch();
        m_writeAnswer.append(bytes.data(), bytes.size());
        // A line of its own is the reader's answer to the write (or one of its
        // tag reads, which says as much: it took the command in).
        if (m_writeAnswer.contains('\r') || m_writeAnswer.contains('\n'))
            requestConfiguration();
    }
}

void CtlSession::requestConfiguration()
{
    if (!m_writeAnswer.isEmpty())
        printLine(burstLine(m_writeAnswer, m_writeAnswerMs, m_options.json));
    if (const QByteArray refused = refusal(m_writeAnswer); !refused.isEmpty()) {
        finish(ExitNotTaken, tr("the reader refused the configuration: \"%1\". Nothing was verified; check the file "
                                "(a field the reader does not take?) and send it again.")
                                 .arg(QString::fromLocal8Bit(shownText(refused))));
        return;
    }
    m_phase = Phase::AwaitingConfig;
    sendNow(configReadRequest(), commandRule(ReaderCommand::ReadConfig), m_options.timeoutMs);
}

QByteArray CtlSession::refusal(const QByteArray &answer)
{
    // Readers say "ERR" first when they refuse a command.
    for (QByteArray line : answer.split('\n')) {
        line = line.trimmed();
        if (line.startsWith("ERR"))
            return line;
    }
    return {};
}

void CtlSession::lookForReply()
{
    const std::optional<ReplyInStream> found = findConfigReply(m_received);
    if (!found || !found->complete)
        return;
    const QByteArray reply = m_received.mid(found->at, found->length);
    const std::optional<DecodedConfig> decoded = decodeConfigReply(reply);
    if (!decoded)
        return;
    // A pause inside the reply splits it in two bursts: the window would show
    // two rows and decode neither.
    int pauses = 0;
    for (qsizetype end : m_burstEnds)
        pauses += end > found->at && end < found->at + found->length ? 1 : 0;
    if (m_pipeline.gathering() && m_burstStart > found->at && m_burstStart < found->at + found->length)
        ++pauses;
    if (pauses > 0)
        message(tr("note: the reply came in %1 pieces, with pauses of over %2 ms inside it. The window's Configure "
                   "Reader does not decode such a reply; zantoctl monitor and send show it as %1 bursts (give "
                   "--quiet-ms a longer pause to keep it in one).")
                    .arg(pauses + 1)
                    .arg(m_options.quietMs));
    configReply(*decoded);
}

void CtlSession::burstEnded(QByteArrayView view, qint64 firstArrivalMs)
{
    // Only the burst at hand is ever needed: a monitor left running for days
    // must not keep every burst it has printed.
    ReceivedStore &store = m_pipeline.store();
    if (store.rowCount() > 1)
        store.dropFront(store.rowCount() - 1);
    if (!m_received.isEmpty()) {
        m_burstEnds.append(m_received.size());
        m_burstStart = m_received.size();
    }
    if (view.isEmpty() || m_phase == Phase::Done || m_phase == Phase::Connecting)
        return;
    ++m_bursts;
    const QByteArray bytes = view.toByteArray();
    switch (m_phase) {
    case Phase::Answer:
        printLine(burstLine(bytes, firstArrivalMs, m_options.json));
        if (m_options.command == Command::WriteConfig && !refusal(bytes).isEmpty()) {
            finish(ExitNotTaken, tr("the reader refused the configuration (its answer is above)."));
            return;
        }
        finish(ExitDone, m_linkGone && m_options.linkCloseExpected ? restarting() : QString());
        break;
    case Phase::Listening:
    case Phase::Monitoring:
        printLine(burstLine(bytes, firstArrivalMs, m_options.json));
        break;
    case Phase::AwaitingWrite:
        // A quiet reader's whole answer; the read request goes now, unless
        // the link is gone (its loss is said instead).
        if (!m_linkGone)
            requestConfiguration();
        break;
    case Phase::AwaitingConfig:
    case Phase::Connecting:
    case Phase::Done:
        break;
    }
}

void CtlSession::printGathering()
{
    const QByteArrayView gathering = m_pipeline.receivedText();
    if (gathering.isEmpty())
        return;
    printLine(burstLine(gathering.toByteArray(), m_pipeline.firstArrivalMs(), m_options.json, true));
}

QString CtlSession::whatCame() const
{
    const QByteArray tail = m_received.right(200);
    return QString::fromLocal8Bit(shownText(tail))
        + (m_received.size() > tail.size() ? QStringLiteral(" (the last 200 bytes)") : QString());
}

void CtlSession::timeUp()
{
    const QString waited = seconds(m_timer.interval());
    switch (m_phase) {
    case Phase::Connecting:
        finish(ExitLink, tr("no connection to %1 port %2 within %3. Check the reader's address and port (--tcp HOST:PORT, "
                            "or lines 2 and 4 of settings1.ini), that it is on, or give more time with --timeout.")
                             .arg(m_options.link.host, m_options.link.tcpPortText, waited));
        break;
    case Phase::Answer:
        if (m_pipeline.gathering() && !m_pipeline.receivedText().isEmpty()) {
            printGathering();
            finish(ExitNoAnswer,
                   tr("the reader sent %1 bytes in %2 without the pause of %3 ms that ends an answer, so its answer "
                      "cannot be told apart (what came is printed, the last line cut short). It may be sending tag "
                      "reads: stop them (LOFF in Track and Universal) or take the tags out of the field, or listen "
                      "longer with --wait.")
                       .arg(m_bytes)
                       .arg(waited)
                       .arg(m_options.quietMs));
        } else {
            finish(ExitNoAnswer, tr("no answer within %1. Check that the reader is on and set to this link, or wait "
                                    "longer with --timeout.").arg(waited));
        }
        break;
    case Phase::Listening:
        printGathering();
        if (m_options.command == Command::WriteConfig && !refusal(m_received).isEmpty())
            finish(ExitNotTaken, tr("the reader refused the configuration (its answer is above)."));
        else if (m_bytes > 0)
            finish(ExitDone);
        else
            finish(ExitNoAnswer, tr("no answer within %1. Check that the reader is on and set to this link.").arg(waited));
        break;
    case Phase::AwaitingWrite:
        finish(ExitNoAnswer, tr("no answer to the configuration write within %1; nothing was verified. Wait longer "
                                "with --timeout.").arg(waited));
        break;
    case Phase::AwaitingConfig: {
        const std::optional<ReplyInStream> begun = findConfigReply(m_received);
        QString text;
        if (begun) {
            text = tr("a configuration reply began but only %1 of its %2 characters came within %3. Wait longer "
                      "with --timeout.")
                       .arg(m_received.size() - begun->at)
                       .arg(begun->length)
                       .arg(waited);
        } else if (m_bytes > 0) {
            text = tr("no configuration reply within %1; %2 bytes of other data came: %3. If the reader is sending "
                      "tag reads, stop them (LOFF in Track and Universal) or wait longer with --timeout.")
                       .arg(waited)
                       .arg(m_bytes)
                       .arg(whatCame());
        } else {
            text = tr("no configuration reply within %1: nothing came. Check that the reader is on and set to this "
                      "link, or wait longer with --timeout.").arg(waited);
        }
        finish(ExitNoAnswer, text);
        break;
    }
    case Phase::Monitoring:
        printGathering();
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
    // and searched for the reply, as the window would.
    m_linkGone = true;
    if (m_pipeline.gathering())
        m_pipeline.endBurstNow();
    if (m_phase == Phase::Done)
        return;
    if (m_options.linkCloseExpected && (m_phase == Phase::Answer || m_phase == Phase::Listening)) {
        finish(ExitDone, restarting());
        return;
    }
    QString text = tr("the link was lost: %1.").arg(why);
    if (m_phase == Phase::AwaitingConfig)
        text += tr(" No whole configuration reply came%1.")
                    .arg(m_options.outputPath.isEmpty() ? QString() : tr("; no file was written"));
    if (m_phase == Phase::AwaitingWrite)
        text += tr(" Nothing was verified.");
    finish(ExitLink, text + tr(" Check the cable or network and try again."));
}

QString CtlSession::restarting()
{
    return tr("the reader closed the link after RESET: it is restarting.");
}

void CtlSession::interrupt()
{
    if (m_phase == Phase::Done)
        return;
    const Phase before = m_phase;
    if (before == Phase::Answer || before == Phase::Listening || before == Phase::Monitoring)
        printGathering();
    if (before == Phase::Monitoring || (before == Phase::Listening && m_bytes > 0))
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
            finish(ExitOutput, tr("%1. Choose another file with -o.").arg(written.error()));
            return;
        }
        // Which file it was, for a script that gave a folder.
        printLine(QFile::encodeName(QDir::toNativeSeparators(path)) + '\n');
    } else if (m_options.json) {
        printLine(configJson(fields));
    } else {
        printLine(configLines(fields));
    }
    finish(ExitDone);
}

void CtlSession::verify(const DecodedConfig &decoded)
{
    const ConfigFields &expected = m_options.expected;
    // The write command was built from the file, so its Mode names a mode.
    const ReaderMode mode = modeFromName(expected[ConfigField::Mode]).value_or(ReaderMode::Standard);
    QByteArray differences;
    int count = 0;
    const auto differ = [&](ConfigField field, const QByteArray &actual) {
        ++count;
        differences += QByteArray(fieldCaption(field)) + ": expected \"" + shownText(expected[field]) + "\", " + actual + '\n';
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
            differ(field, "the reader has \"" + shownText(*actual) + '"');
    }
    printLine(differences);
    if (count == 0) {
        finish(ExitDone);
        return;
    }
    finish(ExitNotTaken, tr("the reader's configuration differs from %1 in %2 field(s): it did not take the write. "
                            "Check the file, and send it again.")
                             .arg(QDir::toNativeSeparators(m_options.configPath))
                             .arg(count));
}

void CtlSession::printLine(const QByteArray &bytes)
{
    m_out->write(bytes);
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
    // The run did what it was asked, but what it had to say got lost.
    if (exitCode == ExitDone && m_out->failed()) {
        message(tr("the output could not be written: %1.").arg(m_out->error()));
        exitCode = ExitOutput;
    }
    Q_EMIT finished(exitCode);
}

} // namespace zantoctl
