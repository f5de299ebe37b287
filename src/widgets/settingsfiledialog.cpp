#include "widgets/settingsfiledialog.h"

#include "platform/textfile.h"
#include "protocol/latin1.h"

#include <QDir>
#include <QLabel>

namespace zanto {

SettingsFileDialog::SettingsFileDialog(const QString &fileName, int lineCount, QWidget *parent)
    : KeepingDialog(parent)
    , FileStatus(new QLabel(this))
    , m_directory(QDir::currentPath())
    , m_fileName(fileName)
    , m_lineCount(lineCount)
{
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setWordWrap(false);
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    FileStatus->hide();
}

QString SettingsFileDialog::settingsPath() const
{
    return QDir(m_directory).filePath(m_fileName);
}

QString SettingsFileDialog::fileProblem() const
{
    return FileStatus->text();
}

void SettingsFileDialog::reportProblem(const QString &problem)
{
    FileStatus->setText(problem);
    FileStatus->setToolTip(problem);
    FileStatus->setVisible(!problem.isEmpty());
}

QList<QByteArray> SettingsFileDialog::loadLines()
{
    const QString path = settingsPath();
    QString problem = createIfMissing(path);
    QList<QByteArray> lines;
    if (problem.isEmpty()) {
        FileReadLimits limits;
        limits.maxLines = m_lineCount;
        FileLines file = readLineFile(path, limits);
        problem = file.problem;
        lines = file.lines;
    }
    m_loadProblem = problem;
    reportProblem(problem);
    return lines;
}

QString SettingsFileDialog::saveValues(const QList<QString> &values)
{
    // Only values the user set replace a file that could not be read.
    if (!m_loadProblem.isEmpty() && !m_changedByUser)
        return {};
    QList<QByteArray> lines;
    for (const QString &value : values) {
        const auto bytes = toBytes(value);
        if (!bytes) {
            const QString problem = tr("%1 not written: \"%2\" holds %3, a character outside 8 bits")
                                        .arg(m_fileName, value, firstWideCharacter(value));
            reportProblem(problem);
            return problem;
        }
        lines.append(*bytes);
    }
    const QString problem = writeLineFile(settingsPath(), lines);
    reportProblem(problem);
    return problem;
}

} // namespace zanto
