#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A pseudo-terminal pair in raw mode standing in for a reader on a serial
// cable. The test keeps both ends open; the tool opens the slave through a
// unique symlink (Qt's lock file is named after the path, so a reused
// /dev/pts number can never be blocked by a stale lock).
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    // The path the tool opens (a symlink to the slave).
    QString linkPath() const { return m_link; }
    QString slavePath() const { return m_slavePath; }

    // The reader's side.
    bool write(const QByteArray &bytes);
    // Everything the tool has written so far (non-blocking).
    QByteArray readAvailable();
    // Reads until `count` bytes have been gathered or the time runs out,
    // spinning the event loop meanwhile.
    QByteArray readAtLeast(qsizetype count, int timeoutMs = 3000);
    // Closes the reader's side (the cable is pulled), and the slave the
    // fixture held, so the tool sees the line go away.
    void closeMaster();
    int masterFd() const { return m_master; }

private:
    QTemporaryDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_link;
};
