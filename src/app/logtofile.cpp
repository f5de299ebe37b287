#include "app/logtofile.h"

#include "platform/burstlog.h"
#include "platform/textfile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

namespace zanto {

LogToFile::LogToFile(QAction *item, QLabel *state, std::function<void(const QString &)> status, QWidget *window)
    : QObject(window)
    , m_item(item)
    , m_state(state)
    , m_status(std::move(status))
    , m_window(window)
{
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &LogToFile::refresh);
    setRunning(false);
}

LogToFile::~LogToFile() = default;

void LogToFile::toggle()
{
    if (running())
        stop();
    else
        chooseFile();
}

void LogToFile::chooseFile()
{
    // Opened, not run in an event loop of its own: the log starts from the
    // window's event loop, not from inside a nested one the bursts also reach.
    auto *dialog = new QFileDialog(m_window, tr("Log to File"), QDir::currentPath(),
                                   tr("Log files (*.log);;Text files (*.txt);;All files (*)"));
    dialog->setObjectName(QStringLiteral("LogFileDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // The log is added to an existing file, never replaces it: the question
    // whether to replace it would say the wrong thing.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->selectFile(QStringLiteral("capture.log"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &LogToFile::start);
    dialog->open();
}

void LogToFile::start(const QString &path)
{
    if (running() || path.isEmpty())
        return;
    // The tool writes only in its folder: a dialog can reach any other.
    const QFileInfo file(path);
    const QString folder = QDir::current().canonicalPath();
    if (QDir(file.absolutePath()).canonicalPath() != folder) {
        m_status(tr("Not logging: %1 is not in the working folder %2").arg(QDir::toNativeSeparators(path), folder));
        return;
    }
    Result<std::unique_ptr<BurstLog>> opened = BurstLog::open(folder, QFile::encodeName(file.fileName()));
    if (!opened) {
        m_status(tr("Not logging: %1").arg(opened.error()));
        return;
    }
    m_log = std::move(opened.value());
    m_name = shownFileName(QFile::encodeName(file.fileName()));
    setRunning(true);
    refresh();
    m_refresh.start();
}

void LogToFile::stop()
{
    if (!running())
        return;
    m_refresh.stop();
    const Done closed = m_log->stop();
    const qint64 lines = m_log->linesWritten();
    const qint64 lost = m_log->linesLost();
    const QString size = QLocale().formattedDataSize(m_log->bytesWritten());
    m_log.reset();
    setRunning(false);
    if (!closed) {
        m_status(tr("Log stopped: %1; the %2 lines before it are in the file").arg(closed.error()).arg(lines));
        showState(tr("Log stopped: %1").arg(m_name));
        return;
    }
    QString text = tr("Logged %1 lines to %2, %3").arg(lines).arg(m_name, size);
    if (lost > 0)
        text += tr(", %1 bursts lost").arg(lost);
    showState(text);
}

void LogToFile::burstEnded(QByteArrayView bytes, qint64 firstArrivalMs)
{
    if (m_log && !bytes.isEmpty())
        m_log->add(bytes, firstArrivalMs);
}

void LogToFile::refresh()
{
    if (!m_log)
        return;
    if (m_log->failed()) {
        stop();
        return;
    }
    QString text = tr("Logging to %1: %2 lines, %3")
                       .arg(m_name)
                       .arg(m_log->linesWritten())
                       .arg(QLocale().formattedDataSize(m_log->bytesWritten()));
    // The disk fell so far behind that bursts found the queue full.
    if (const qint64 lost = m_log->linesLost(); lost > 0)
        text += tr(", %1 bursts lost").arg(lost);
    showState(text);
}

void LogToFile::showState(const QString &text)
{
    // The counts stay whole; the file's name gives way in the middle.
    const QFontMetrics metrics = m_state->fontMetrics();
    const int room = m_state->contentsRect().width();
    QString shown = text;
    if (metrics.horizontalAdvance(text) > room) {
        const qsizetype at = text.indexOf(m_name);
        const int rest = metrics.horizontalAdvance(QString(text).remove(at, m_name.size()));
        shown.replace(at, m_name.size(), metrics.elidedText(m_name, Qt::ElideMiddle, qMax(0, room - rest)));
    }
    m_state->setText(metrics.elidedText(shown, Qt::ElideRight, room));
    m_state->setToolTip(text);
    m_state->setAccessibleName(text);
    m_state->show();
}

void LogToFile::setRunning(bool running)
{
    m_item->setText(running ? tr("Stop &Logging") : tr("&Log to File..."));
}

} // namespace zanto
