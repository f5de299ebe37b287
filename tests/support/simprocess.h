#pragma once

// The reader simulator as a child process of a test, announced on stdout,
// talked to over 127.0.0.1 or its pseudo-terminal. It always ends with the
// test that made it, and only ever by its own pid.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

class SimulatorProcess
{
public:
    SimulatorProcess(const QString &program, const QStringList &arguments)
        : m_arguments(arguments)
    {
        m_process.setProgram(program);
    }
    ~SimulatorProcess() { stop(); }

    // Starts it and waits for what it announces on stdout: the TCP port (also
    // from the port file) and/or the pseudo-terminal path.
    bool start()
    {
        QStringList arguments = m_arguments;
        const bool tcp = arguments.contains(QStringLiteral("--tcp"));
        const bool pty = arguments.contains(QStringLiteral("--pty"));
        const QString portFile = m_dir.filePath(QStringLiteral("port"));
        if (tcp)
            arguments << QStringLiteral("--port-file") << portFile;
        m_process.setArguments(arguments);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
            m_stdout += m_process.readAllStandardOutput();
            const bool tcpSeen = !tcp || m_stdout.contains("tcp: ");
            const bool ptySeen = !pty || m_stdout.contains("pty: ");
            if (tcpSeen && ptySeen && m_stdout.endsWith('\n'))
                break;
            if (m_process.state() != QProcess::Running)
                return false;
            m_process.waitForReadyRead(50);
        }
        if (tcp) {
            QFile file(portFile);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            bool ok = false;
            m_port = quint16(file.readAll().toUInt(&ok));
            if (!ok || m_port == 0)
                return false;
        }
        if (pty) {
            const QRegularExpressionMatch match =
                QRegularExpression(QStringLiteral("^pty: (\\S+)$"), QRegularExpression::MultilineOption)
                    .match(QString::fromLocal8Bit(m_stdout));
            if (!match.hasMatch())
                return false;
            m_ptyPath = match.captured(1);
        }
        return true;
    }

    // Ends it with the given signal and waits; true when it exited of its
    // own accord with code 0.
    bool stop(int signalNumber = SIGTERM)
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
        if (signalNumber == SIGTERM)
            m_process.terminate();
        else
            ::kill(pid_t(m_process.processId()), signalNumber);
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return false;
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    quint16 port() const { return m_port; }
    QString ptyPath() const { return m_ptyPath; }
    QByteArray announced() const { return m_stdout; }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QProcess &process() { return m_process; }

private:
    QStringList m_arguments;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_stdout;
    quint16 m_port = 0;
    QString m_ptyPath;
};

