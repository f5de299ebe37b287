#pragma once

#include "protocol/result.h"

#include "simlink.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QSocketNotifier;

// The serial side: a pseudo-terminal whose slave the tool opens as its serial
// port. We hold the slave open ourselves as well, so the tool closing and
// reopening its port never hangs up the master under us.
class PtyLink : public SimLink
{
    Q_OBJECT
public:
    // Nothing, with the reason in *error, when no pseudo-terminal can be had.
    static zanto::Result<std::unique_ptr<PtyLink>> create(QObject *parent = nullptr);
    ~PtyLink() override;

    QString slavePath() const { return m_slavePath; }

    bool isOpen() const override { return m_master >= 0; }
    qint64 backlog() const override { return m_out.size(); }

protected:
    void writeBytes(const QByteArray &bytes) override;
    bool hangUp() override { return false; }
    bool overflow() override { return false; }

private:
    PtyLink(int master, int slave, const QString &slavePath, QObject *parent);
    void readMaster();
    void flush();

    // A reader's send buffer is finite too; past this, new bytes are dropped.
    static constexpr qsizetype MaxPending = 1024 * 1024;

    int m_master;
    int m_slave;
    QString m_slavePath;
    QByteArray m_out;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};
