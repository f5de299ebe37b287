#pragma once

// The tool's main window against the reader simulator, run as the separate
// program it is, over TCP (127.0.0.1) or over its pseudo-terminal.
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/simprocess.h"

#include <QRadioButton>

enum class Transport { Tcp, Serial };

// The fields of Configure Reader, in the order they are compared.
inline const QStringList ConfigFieldNames{"ReaderName", "Mode",     "BaudRate",  "RS485Mode", "Frequency",  "TermChar",
                                   "HeadChar",   "StringLength", "HandShake", "Heartbeat", "TagsToRead", "ReadRange"};

struct Session {
    Tool tool;
    QString link; // set while the simulator's arguments are made, so before it
    SimulatorProcess sim;
    Transport transport;

    Session(Transport t, const QStringList &extra = {})
        : sim(QStringLiteral(ZANTO_SIM_PATH), arguments(t, extra))
        , transport(t)
    {
    }

    QStringList arguments(Transport t, const QStringList &extra)
    {
        QStringList args{QStringLiteral("--quiet")};
        if (t == Transport::Tcp)
            args << QStringLiteral("--tcp") << QStringLiteral("0");
        else
            args << QStringLiteral("--pty") << QStringLiteral("--link") << (link = tool.dir.filePath(QStringLiteral("reader-link")));
        return args + extra;
    }

    // Starts the simulator, types the quiet interval and Port Settings, and
    // presses Connect.
    bool connect(int quietMs = 80)
    {
        if (!sim.start() || !tool.setQuietInterval(quietMs))
            return false;
        if (transport == Transport::Tcp) {
            if (!selectTcp(tool, QString::number(sim.port())) || !ui::click(tool.button(QStringLiteral("Command1"))))
                return false;
            for (int i = 0; i < 300 && !tool.link()->tcpConnected(); ++i)
                QTest::qWait(10);
            return tool.link()->tcpConnected();
        }
        return selectSerial(tool, link, QStringLiteral("115200")) && ui::click(tool.button(QStringLiteral("Command1")))
            && tool.link()->serialOpen();
    }

    zanto::ReceivedGrid *grid() const { return tool.control<zanto::ReceivedGrid>(QStringLiteral("MSFlexGrid1")); }
    // The bytes of the grid's row (0 the first received), as it shows them.
    QByteArray row(int r) const
    {
        const zanto::ReceivedStore &store = grid()->receivedModel()->store();
        return r < store.rowCount() ? store.row(r).bytes() : QByteArray("<no row>");
    }
    // The bytes of the newest row, once `rows` rows are there.
    QByteArray rowWhen(int rows)
    {
        for (int i = 0; i < 500 && grid()->rows() - 1 < rows; ++i)
            QTest::qWait(10);
        return grid()->receivedModel()->store().rowCount() >= rows ? row(rows - 1) : QByteArray("<no row>");
    }
    int rows() const { return grid()->rows() - 1; }

    bool checked(const char *option) const { return tool.control<QRadioButton>(QLatin1String(option))->isChecked(); }
    bool click(const char *name) { return ui::click(tool.control(QLatin1String(name))); }
};

