#pragma once

// One run of zantoctl on Qt's event loop: open the link, send the command,
// gather what comes back into bursts exactly as the window does, and end with
// an exit status once the answer is in, the reader has been quiet long
// enough, the time is up or the link is gone. Nothing here waits in a loop of
// its own.

#include "ctloptions.h"

#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "protocol/configstring.h"

#include <QByteArrayView>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace zantoctl {

class CtlSession : public QObject
{
    Q_OBJECT
public:
    CtlSession(const CtlOptions &options, std::FILE *out, std::FILE *err, QObject *parent = nullptr);

    // Opens the link; the rest follows from its events.
    void start();
    // SIGINT or SIGTERM: what has arrived is printed, then the run ends.
    void interrupt();

Q_SIGNALS:
    void finished(int exitCode);

private:
    enum class Phase {
        Connecting,
        Listening,       // printing bursts until quiet for --wait
        AwaitingWrite,   // write-config --verify: the answer to the write, then "L"
        AwaitingConfig,  // a configuration reply, until --timeout
        Monitoring,
        Done,
    };

    void linkReady();
    void sendNow(const QByteArray &text, zanto::LinkRule rule);
    void arrived(QByteArrayView bytes);
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);
    void timeUp();
    void linkLost(const QString &why);
    // Ends a burst still being gathered; true when that ended the run.
    bool flushBurst();
    void configReply(const zanto::DecodedConfig &decoded);
    void verify(const zanto::DecodedConfig &decoded);
    void writeOutput(const QByteArray &bytes);
    void message(const QString &text);
    void finish(int exitCode, const QString &text = QString());

    CtlOptions m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    zanto::ReceivePipeline m_pipeline;
    zanto::ReaderLink m_link;
    QTimer m_timer;
    Phase m_phase = Phase::Connecting;
    QString m_lastStatus;
    int m_bursts = 0;     // bursts since the command went out
    int m_exitCode = ExitDone;
};

} // namespace zantoctl
