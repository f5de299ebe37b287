#pragma once

#include "platform/settingsfile.h"
#include "widgets/keepingdialog.h"

#include <QByteArray>
#include <QList>



namespace zanto {

class MessageLine;

// A dialog whose values live in a small settings file of its own in the
// working folder, one value a line: read by its opening step (an empty file is
// created when there is none) and written when it closes. A file that could
// not be read is said on the dialog, and is not overwritten with the start
// texts the dialog fell back on.
class SettingsFileDialog : public KeepingDialog
{
    Q_OBJECT
protected:
    SettingsFileDialog(const QString &fileName, int lineCount, QWidget *parent);

    // The file's first lines, at most lineCount; none when it could not be read.
    QList<QByteArray> loadLines();
    // Writes the values, one a line. Nothing in such a dialog is edited on
    // screen, so a file that could not be read is never overwritten.
    Done saveValues(const QList<QString> &values);
    void reportProblem(const QString &problem);

    void showCloseProblem(const QString &text) override { reportProblem(text); }

    MessageLine *FileStatus;

private:
    SettingsFile m_file;
};

} // namespace zanto
