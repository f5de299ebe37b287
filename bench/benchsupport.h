#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QtGlobal>
#include <atomic>
#include <thread>

// Shared by the benchmark programs.
double residentMiB();     // VmRSS now
double peakResidentMiB(); // VmHWM
void resetPeakResident(); // so VmHWM starts again from now

// Writes `total` bytes as fast as the peer takes them to the first client that
// connects to a listening socket on 127.0.0.1 (never any other address).
class LoopbackSender
{
public:
    explicit LoopbackSender(qint64 total);
    ~LoopbackSender();
    quint16 port() const { return m_port; }

private:
    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

// Writes `total` bytes into a file descriptor (a pty master) from a thread.
class FdSender
{
public:
    FdSender(int fd, qint64 total);
    ~FdSender();

private:
    std::thread m_thread;
};

// The gaps of a 10 ms timer beyond its 10 ms, while the event loop runs: the
// longest, and how many passed 20 and 50 ms.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double stall = (now - m_last) / 1e6 - 10.0;
            m_max = qMax(m_max, stall);
            m_over20 += stall > 20 ? 1 : 0;
            m_over50 += stall > 50 ? 1 : 0;
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_max = 0;
        m_over20 = m_over50 = 0;
        m_timer.start(10);
    }
    // The longest stall, in ms.
    double stop()
    {
        m_timer.stop();
        return maxMs();
    }
    double maxMs() const { return qMax(0.0, m_max); }
    qint64 over20() const { return m_over20; }
    qint64 over50() const { return m_over50; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_max = 0;
    qint64 m_over20 = 0;
    qint64 m_over50 = 0;
};
