#pragma once

// A real main window, shown, in a temporary working folder of its own, and
// connecting it to the test's own reader: a loopback TCP server or a
// pseudo-terminal. Never any address but 127.0.0.1. Everything goes through
// the windows as a user works them (see ui.h).
#include "app/mainwindow.h"
#include "link/readerlink.h"
#include "support/loopbackreader.h"
#include "support/ptypair.h"
#include "support/testdir.h"
#include "support/ui.h"

#include <QLineEdit>
#include <QPushButton>

// The tool's menus, by their letters.
namespace menu {
inline constexpr Qt::Key Settings = Qt::Key_S, PortSettings = Qt::Key_P, LogToFile = Qt::Key_L;
inline constexpr Qt::Key ReaderSetup = Qt::Key_R, ConfigureReader = Qt::Key_C, SetupTag = Qt::Key_S,
                         Ethernet = Qt::Key_E;
inline constexpr Qt::Key Help = Qt::Key_H, About = Qt::Key_A;
} // namespace menu

// The tool as a technician finds it: started in an empty folder, shown.
struct Tool {
    TestDir dir;
    zanto::MainWindow w;

    Tool() { ui::activate(&w); }

    template <typename T = QWidget> T *control(const QString &name) const { return ui::find<T>(&w, name); }
    QPushButton *button(const QString &name) const { return control<QPushButton>(name); }
    QString text(const QString &name) const { return ui::text(control(name)); }
    QString status() const { return text(QStringLiteral("Connect_Error")); }

    // The dialog the menu item opens, once it is there.
    QDialog *open(Qt::Key menuLetter, Qt::Key itemLetter, const QString &objectName)
    {
        if (!ui::chooseMenu(&w, menuLetter, itemLetter))
            return nullptr;
        for (int i = 0; i < 200; ++i) {
            if (QDialog *d = ui::dialog(&w, objectName); d && d->isVisible())
                return d;
            QTest::qWait(10);
        }
        return nullptr;
    }
    QDialog *portSettings() { return open(menu::Settings, menu::PortSettings, QStringLiteral("PortSet")); }
    QDialog *readerConfig() { return open(menu::ReaderSetup, menu::ConfigureReader, QStringLiteral("ReaderConfig")); }
    QDialog *setupTag() { return open(menu::ReaderSetup, menu::SetupTag, QStringLiteral("readwritesetuptag")); }
    QDialog *ethernet() { return open(menu::ReaderSetup, menu::Ethernet, QStringLiteral("EthernetSettings")); }

    // The hidden quiet interval, typed shorter so a test need not wait a
    // quarter of a second for every burst to end.
    bool setQuietInterval(int ms) { return ui::type(control(QStringLiteral("Text1")), QString::number(ms)); }

    // Whether a link is open, as the link itself says (the status line says
    // it in words).
    const zanto::ReaderLink *link() const { return w.findChild<zanto::ReaderLink *>(); }
};

// Port Settings typed in through its dialog: TCP/IP, 127.0.0.1 and the port.
inline bool selectTcp(Tool &tool, const QString &port)
{
    QDialog *ps = tool.portSettings();
    return ps && ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo5")), QStringLiteral("TCP/IP"))
        && ui::typeAndLeave(ui::find(ps, QStringLiteral("IPAddress")), QStringLiteral("127.0.0.1"))
        && ui::typeAndLeave(ui::find(ps, QStringLiteral("PortNumber")), port);
}

inline bool selectSerial(Tool &tool, const QString &portText, const QString &baud = QStringLiteral("9600"))
{
    QDialog *ps = tool.portSettings();
    return ps && ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo5")), portText)
        && ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo1")), baud);
}

// Presses Connect with TCP/IP selected and waits for the connection.
inline bool connectTcp(Tool &tool, LoopbackReader &reader)
{
    if (!selectTcp(tool, reader.portText()) || tool.text(QStringLiteral("Command1")) != QLatin1String("Connect"))
        return false;
    if (!ui::click(tool.button(QStringLiteral("Command1"))) || !reader.waitForClient())
        return false;
    for (int i = 0; i < 300 && !tool.link()->tcpConnected(); ++i)
        QTest::qWait(10);
    return tool.link()->tcpConnected();
}

// Presses Connect with the pty selected; "Disconnect" on success.
inline bool connectSerial(Tool &tool, PtyPair &pty)
{
    if (!selectSerial(tool, pty.linkPath()) || tool.text(QStringLiteral("Command1")) != QLatin1String("Connect"))
        return false;
    return ui::click(tool.button(QStringLiteral("Command1"))) && tool.link()->serialOpen();
}

// Both links at once, reached as a technician can: open the serial port,
// switch the selection to TCP/IP, press Disconnect (which closes the TCP side
// only) and Connect again.
inline bool connectBoth(Tool &tool, PtyPair &pty, LoopbackReader &reader)
{
    if (!connectSerial(tool, pty) || !selectTcp(tool, reader.portText()))
        return false;
    if (!ui::click(tool.button(QStringLiteral("Command1")))) // Disconnect: the serial port stays open
        return false;
    return tool.link()->serialOpen() && connectTcp(tool, reader);
}
