#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// A working folder with a folder beside it standing for everything outside,
// and ways to plant under a file's name what a hostile folder may hold. Both
// live in the test's own temporary directory; a device node is only ever one
// made here, so even a tool that wrongly wrote through a link could harm
// nothing of the system's.
class HostileFolder
{
public:
    enum Plant {
        LinkToOutsideFile, // to "outside/victim.txt", which holds VictimContent
        DanglingLink,      // to "outside/created.txt", which does not exist
        LinkToDevice,      // to a device node in "outside" (as root), else /dev/null
        Fifo,
        DeviceNode,        // a character device; needs root
        Directory,
        Socket,
    };
    static constexpr const char *VictimContent = "outside, keep me\n";

    HostileFolder();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const;        // the folder the tool works in
    QString outsidePath() const; // the one beside it
    // Puts `plant` under `name` in the folder. Returns why it could not (a
    // reason to skip), empty when it is there.
    QString plant(Plant plant, const QByteArray &name) const;
    // Both folders as text: every entry with its kind and its contents or
    // target, so that any change, anywhere, shows when two are compared.
    QByteArray snapshot() const;

private:
    QTemporaryDir m_dir;
};

// Every entry of a folder (not following links, not descending) as text.
QByteArray folderSnapshot(const QString &path);

// Runs `call` on a thread of its own. If it has not returned within `seconds`,
// the FIFOs in `fifoFolder` are opened for writing and closed again, which
// lets a reader stuck in them go, and false is returned: the call would have
// frozen the window.
bool returnsInTime(const std::function<void()> &call, const QString &fifoFolder, int seconds = 5);
