#pragma once

// Connecting a real main window to the test's own reader: a loopback TCP
// server or a pseudo-terminal. Never any address but 127.0.0.1.
#include "app/mainwindow.h"
#include "settings/portsettingsdialog.h"
#include "support/loopbackreader.h"
#include "support/ptypair.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

inline void selectTcp(zanto::MainWindow &w, const QString &port)
{
    zanto::PortSettingsDialog *ps = w.portSettings(false);
    ps->Combo5->setEditText(QStringLiteral("TCP/IP"));
    ps->IPAddress->setText(QStringLiteral("127.0.0.1"));
    ps->PortNumber->setText(port);
}

inline void selectSerial(zanto::MainWindow &w, const QString &portText, const QString &baud = QStringLiteral("9600"))
{
    zanto::PortSettingsDialog *ps = w.portSettings(false);
    ps->Combo5->setEditText(portText);
    ps->Combo1->setEditText(baud);
}

// Presses Connect with TCP/IP selected and waits for the connection.
inline bool connectTcp(zanto::MainWindow &w, LoopbackReader &reader)
{
    selectTcp(w, reader.portText());
    if (w.Command1->text() != QLatin1String("Connect"))
        return false;
    w.Command1_Click();
    if (!reader.waitForClient())
        return false;
    for (int i = 0; i < 300 && !w.link()->tcpConnected(); ++i)
        QTest::qWait(10);
    return w.link()->tcpConnected();
}

// Presses Connect with the pty selected; leaves the caption as it found it
// pressed, i.e. "Disconnect" on success.
inline bool connectSerial(zanto::MainWindow &w, PtyPair &pty)
{
    selectSerial(w, pty.linkPath());
    if (w.Command1->text() != QLatin1String("Connect"))
        return false;
    w.Command1_Click();
    return w.link()->serialOpen();
}

// Both links at once, reached as a technician can: open the serial port,
// switch the selection to TCP/IP, press Disconnect (which closes the TCP side
// only) and Connect again.
inline bool connectBoth(zanto::MainWindow &w, PtyPair &pty, LoopbackReader &reader)
{
    if (!connectSerial(w, pty))
        return false;
    selectTcp(w, reader.portText());
    w.Command1_Click(); // "Disconnect" of the TCP side: the serial port stays open
    return w.link()->serialOpen() && connectTcp(w, reader);
}
