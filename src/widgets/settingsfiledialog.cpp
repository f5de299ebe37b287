#include "widgets/settingsfiledialog.h"

#include "widgets/messageline.h"

#include <QDir>

namespace zanto {

SettingsFileDialog::SettingsFileDialog(const QString &fileName, int lineCount, QWidget *parent)
    : KeepingDialog(parent)
    , FileStatus(new MessageLine(this))
    , m_file(QDir::currentPath(), fileName, lineCount)
{
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    FileStatus->hide();
}

void SettingsFileDialog::reportProblem(const QString &problem)
{
    FileStatus->showMessage(problem);
    FileStatus->setVisible(!problem.isEmpty());
}

QList<QByteArray> SettingsFileDialog::loadLines()
{
    const Result<QList<QByteArray>> lines = m_file.load();
    reportProblem(lines ? QString() : lines.error());
    return lines.value_or({});
}

Done SettingsFileDialog::saveValues(const QList<QString> &values)
{
    Done saved = m_file.save(values, false);
    reportProblem(saved ? QString() : saved.error());
    return saved;
}

} // namespace zanto
