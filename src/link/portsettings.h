#pragma once

#include "link/linkparameters.h"
#include "platform/settingsfile.h"
#include "protocol/result.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>

namespace zanto {

// The four link parameters (which link, the baud rate, the reader's address
// and TCP port) and settings1.ini in the working folder, which keeps them
// between runs. What they hold is in force at once: every change is told by
// parametersChanged(), which the link takes.
//
// Their life: not loaded; loaded and hidden (the link needed them, or the
// window closed its dialog without unloading); loaded and shown (the Port
// Settings dialog edits them). Loading reads the file of the folder current at
// that moment; closing saves them and unloads, so the next use reads the file
// again.
class PortSettings : public QObject
{
    Q_OBJECT
public:
    enum class State { NotLoaded, LoadedHidden, LoadedShown };
    // The file's lines, in file order: the TCP port comes after the baud rate.
    enum Line { PortLine, HostLine, BaudLine, TcpPortLine, LineCount };

    static constexpr const char *FileName = "settings1.ini";
    // What a line that is empty or missing leaves in its place.
    static constexpr std::array<const char *, LineCount> StartTexts = {"1", "192.168.0.2", "9600", "10000"};

    explicit PortSettings(QObject *parent = nullptr);
    ~PortSettings() override;

    State state() const { return m_state; }
    bool isLoaded() const { return m_state != State::NotLoaded; }

    // Not loaded: reads settings1.ini of the current folder (created empty
    // when missing); a value that is empty or missing keeps its start text.
    // Loaded already: nothing.
    void load();
    // The dialog shows them, loading first if needed.
    void show();
    // Writes settings1.ini with the texts of now and unloads. A save that
    // fails leaves them loaded, to be saved or discarded by the next close.
    Done close();
    // Unloads without writing (what was kept is discarded).
    void discard();
    // Writes settings1.ini with the texts of now.
    Done save();
    // Why the file could not be read at the last load; empty when it was.
    QString loadProblem() const;

    QString text(Line line) const { return m_texts[line]; }
    // A change made by the user, in force at once.
    void setText(Line line, const QString &text);

    LinkParameters parameters() const;

    // Reads a settings file as the dialog reads it (empty or missing lines
    // keep their start texts), without keeping it; for a program without the
    // dialog. Fails when the file cannot be read.
    static Result<LinkParameters> readFile(const QString &path);

Q_SIGNALS:
    void parametersChanged(const LinkParameters &parameters);

private:
    static std::array<QString, LineCount> textsFrom(const QList<QByteArray> &lines);
    void setTexts(const std::array<QString, LineCount> &texts);

    State m_state = State::NotLoaded;
    std::array<QString, LineCount> m_texts;
    std::unique_ptr<SettingsFile> m_file;
    bool m_changedByUser = false;
};

} // namespace zanto
