#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QWidget;

namespace zanto {

class BurstLog;

// Settings > Log to File: every burst, as it ends, added as one line to a
// file of the working folder that the user picks. While the log runs, the
// menu item reads "Stop Logging" and a label of the window tells the file,
// the lines and the bytes so far; a failed write (a full disk) stops the log
// and says so in the window's status line.
class LogToFile : public QObject
{
    Q_OBJECT
public:
    // `item` is the menu item, `state` the label, `status` shows a line in
    // the window's status line; `window` is the file dialog's parent.
    LogToFile(QAction *item, QLabel *state, std::function<void(const QString &)> status, QWidget *window);
    ~LogToFile() override;

    bool running() const { return m_log != nullptr; }
    // The menu item: picks a file and starts, or stops.
    void toggle();
    // Starts logging to `path`, which must name a file in the working folder.
    void start(const QString &path);
    void stop();
    // Every burst as it ends (an empty one is no line).
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);

    static constexpr int RefreshMs = 250;

private:
    void chooseFile();
    void refresh();
    void showState(const QString &text);
    void setRunning(bool running);

    QAction *m_item;
    QLabel *m_state;
    std::function<void(const QString &)> m_status;
    QWidget *m_window;
    std::unique_ptr<BurstLog> m_log;
    QString m_name;
    QTimer m_refresh;
};

} // namespace zanto
