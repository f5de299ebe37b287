#include "widgets/settingsfiledialog.h"

#include <QDir>
#include <QLabel>

namespace zanto {

SettingsFileDialog::SettingsFileDialog(const QString &fileName, int lineCount, QWidget *parent)
    : KeepingDialog(parent)
    , FileStatus(new QLabel(this))
    , m_file(QDir::currentPath(), fileName, lineCount)
{
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setWordWrap(false);
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    FileStatus->hide();
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
    const Result<QList<QByteArray>> lines = m_file.load();
    reportProblem(lines ? QString() : lines.error());
    return lines.value_or({});
}

Done SettingsFileDialog::saveValues(const QList<QString> &values)
{
    Done saved = m_file.save(values, m_changedByUser);
    reportProblem(saved ? QString() : saved.error());
    return saved;
}

} // namespace zanto
