#pragma once

#include "widgets/keepingdialog.h"

#include <QByteArray>
#include <QList>

class QLabel;

namespace zanto {

// A dialog whose values live in a small settings file of its own in the
// working folder, one value a line: read when the dialog is made (an empty
// file is created when there is none) and written when it closes. A file that
// could not be read is said on the dialog, and is not overwritten with the
// start texts the dialog fell back on unless the user changed a value.
class SettingsFileDialog : public KeepingDialog
{
    Q_OBJECT
public:
    QString settingsPath() const;
    // The last file problem shown on the dialog; empty when there was none.
    QString fileProblem() const;
    // Why the file could not be read when the dialog was made; empty when it was.
    QString loadProblem() const { return m_loadProblem; }

    QLabel *FileStatus;

protected:
    SettingsFileDialog(const QString &fileName, int lineCount, QWidget *parent);

    // The file's first lines, at most lineCount (fewer when it has fewer).
    QList<QByteArray> loadLines();
    // Writes the values, one a line; the problem, empty on success.
    QString saveValues(const QList<QString> &values);
    // A value was changed by the user's hand.
    void markChangedByUser() { m_changedByUser = true; }
    void reportProblem(const QString &problem);

    void showCloseProblem(const QString &text) override { reportProblem(text); }

private:
    QString m_directory;
    QString m_fileName;
    int m_lineCount;
    QString m_loadProblem;
    bool m_changedByUser = false;
};

} // namespace zanto
