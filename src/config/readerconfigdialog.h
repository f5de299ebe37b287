#pragma once

#include "link/replywatch.h"
#include "protocol/configstring.h"
#include "widgets/keepingdialog.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zanto {

class AnswerWatch;
class MessageLine;
class ReaderChannel;

// "Configure Reader": the reader's configuration as twelve editable texts, the
// read request, the write command, and configuration files named after the
// reader. One shared instance; the decoder fills it whether it is shown or not.
class ReaderConfigDialog : public KeepingDialog
{
    Q_OBJECT
public:
    ReaderConfigDialog(ReaderChannel *channel, QWidget *parent = nullptr);
    ~ReaderConfigDialog() override;

    // The opening step, run by whoever makes the dialog: the mode rule on the
    // starting texts, then the read request.
    void Form_Load();

    // A decoded configuration reply: Mode, the mode rule, then the fields the
    // reply carries, in that order.
    void applyReply(const DecodedConfig &decoded);

    // The file is written this long after the click on "Write to File".
    static constexpr int WriteDelayMs = 1000;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // An armed write is done at once, with the texts of this moment: closing
    // must not lose the click.
    Done saveOnClose() override;
    void showCloseProblem(const QString &text) override;

private:
    void buildControls();

    void Mode_Click();
    void ReadConfig_Click();
    void SendConfig_Click();
    void WriteToFile_Click();
    void LoadFile_Click();
    void TmrWait_Timer();

    QWidget *field(ConfigField field) const { return m_fields[static_cast<std::size_t>(field)]; }
    QString fieldText(ConfigField field) const;
    void setFieldText(ConfigField field, const QString &text);
    // The texts as 8-bit text, or the first field holding a character outside
    // 8 bits (marked, with a message saying what was not done).
    std::optional<ConfigFields> eightBitFields(const QString &refusedAction);

    void showProblem(const QString &text, QWidget *field = nullptr);
    void clearProblem();
    void markEdited();
    void showSource();
    void showRequest(const ReplyWatch::Report &report);
    void refreshFileList();
    // Writes the file for the reader name of now with the texts of now; false
    // when it could not (the message says why).
    bool writeFileNow(bool refreshList);

    ReaderChannel *m_channel;
    QString m_directory;
    // The twelve fields, by field; their object names are the fields' names.
    std::array<QWidget *, ConfigFieldCount> m_fields{};
    QPushButton *SendConfig;
    QPushButton *ReadConfig;
    QPushButton *WriteToFile;
    QPushButton *LoadFile;
    QListWidget *File1;
    MessageLine *Problem;
    MessageLine *TextSource;
    MessageLine *RequestStatus;
    QTimer TmrWait;
    ReplyWatch *m_replyWatch;
    AnswerWatch *m_sendWatch;

    QString m_problem; // the whole message; the label may show less
    QWidget *m_markedField = nullptr;
    QString m_source;
    bool m_edited = false;
};

} // namespace zanto
