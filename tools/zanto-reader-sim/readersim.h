#pragma once

#include "protocol/result.h"
#include "simoptions.h"
#include "simulatedreader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <memory>

class PtyLink;
class SimLink;
class TcpLink;
struct CommandFrame;

// The simulator as a whole: one reader state shared by the TCP client and the
// pseudo-terminal, the tag read stream, and the log on stderr.
class ReaderSim : public QObject
{
    Q_OBJECT
public:
    explicit ReaderSim(const SimOptions &options, QObject *parent = nullptr);
    ~ReaderSim() override;

    // Opens what the options ask for and announces it on stdout.
    zanto::Done start();

private:
    zanto::Done startTcp();
    zanto::Done startPty();
    zanto::Done makeLink();
    void removeLink();
    void acceptClients();
    void watch(SimLink *link);
    void answer(SimLink *link, const CommandFrame &frame);
    QList<SimLink *> openLinks() const;
    QByteArray nextTagLine();
    void streamTick();
    void floodTick();
    void log(const QString &text) const;

    SimOptions m_options;
    SimulatedReader m_reader;
    QTcpServer m_server;
    QPointer<TcpLink> m_tcp;
    std::unique_ptr<PtyLink> m_pty;
    bool m_linkMade = false;

    quint64 m_tagCounter = 0;
    QTimer m_streamTimer;
    QElapsedTimer m_streamClock;
    quint64 m_streamSent = 0;
    quint64 m_streamDropped = 0;
    quint64 m_repliesDropped = 0;
    QTimer m_floodTimer;
};
