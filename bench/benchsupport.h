#pragma once

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
