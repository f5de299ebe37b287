#pragma once

// One run of zantoctl on Qt's event loop: open the link, send the command,
// and end with an exit status as soon as what was asked for is known: the
// answer's burst has ended, the configuration reply is whole (found among
// whatever else the reader sends, in one piece or several), the time is up,
// or the link is gone. Received bytes are also gathered into bursts exactly
// as the window does, for printing. Nothing here waits in a loop of its own.

#include "ctloptions.h"
#include "ctloutput.h"

#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "protocol/configstring.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace zantoctl {

class CtlSession : public QObject
{
    Q_OBJECT
public:
    CtlSession(const CtlOptions &options, CtlOutput *out, std::FILE *err, QObject *parent = nullptr);

    // Opens the link; the rest follows from its events.
    void start();
    // SIGINT or SIGTERM: what has arrived is printed, then the run ends.
    void interrupt();

Q_SIGNALS:
    void finished(int exitCode);

private:
    enum class Phase {
        Connecting,
        Answer,          // the first burst after the command is its answer
        Listening,       // --wait: every burst until the time is up
        AwaitingWrite,   // write-config --verify: the write's answer, then "L"
        AwaitingConfig,  // a configuration reply, whole
        Monitoring,
        Done,
    };

    void linkReady();
    void sendNow(const QByteArray &text, zanto::LinkRule rule, int timeoutMs);
    void arrived(QByteArrayView bytes);
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);
    void timeUp();
    void linkLost(const QString &why);
    // Prints the burst still being gathered, marked as cut short.
    void printGathering();
    void lookForReply();
    void requestConfiguration();
    void configReply(const zanto::DecodedConfig &decoded);
    void verify(const zanto::DecodedConfig &decoded);
    // A line of the reader's that refuses a command, when one came.
    static QByteArray refusal(const QByteArray &answer);
    QString whatCame() const;
    static QString restarting();
    void printLine(const QByteArray &bytes);
    void message(const QString &text);
    void finish(int exitCode, const QString &text = QString());

    CtlOptions m_options;
    CtlOutput *m_out;
    std::FILE *m_err;
    zanto::ReceivePipeline m_pipeline;
    zanto::ReaderLink m_link;
    QTimer m_timer;
    QElapsedTimer m_sinceCommand;
    Phase m_phase = Phase::Connecting;
    QString m_lastStatus;
    int m_bursts = 0;          // bursts that ended since the command went out
    qint64 m_bytes = 0;        // bytes received since the command went out
    // The bytes since the command went out, for finding a reply among them;
    // bounded, since a reader may stream for as long as we wait.
    QByteArray m_received;
    qsizetype m_burstStart = 0; // where in m_received the burst being gathered began
    QList<qsizetype> m_burstEnds; // where in m_received each ended burst ended
    QByteArray m_writeAnswer;   // write-config --verify: what came after the write
    qint64 m_writeAnswerMs = 0;
    bool m_linkGone = false;
};

} // namespace zantoctl
