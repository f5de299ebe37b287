#pragma once

#include "link/sendtoreader.h"
#include "protocol/configstring.h"

#include "widgets/editablelist.h"
#include "widgets/keepingdialog.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zanto {

// "Configure Reader": the reader's configuration as twelve editable texts, the
// read request, the write command, and configuration files named after the
// reader. One shared instance; the decoder fills it whether it is shown or not.
class ReaderConfigDialog : public KeepingDialog
{
    Q_OBJECT
public:
    // Creating the dialog runs its opening steps: the mode rule, then the read
    // request.
    explicit ReaderConfigDialog(SendFunction send, QWidget *parent = nullptr);
    ~ReaderConfigDialog() override;

    // The twelve texts now (8-bit: a character outside 8 bits comes out as '?'
    // here; the send and file paths refuse such texts before they get this far).
    ConfigFields fields() const;
    QString fieldText(ConfigField field) const;
    void setFieldText(ConfigField field, const QByteArray &text);
    void setFieldText(ConfigField field, const QString &text);
    QWidget *fieldControl(ConfigField field) const;

    // A decoded configuration reply: Mode, the mode rule, then the fields the
    // reply carries, in that order.
    void applyReply(const DecodedConfig &decoded);

    // The file is written this long after the click on "Write to File".
    static constexpr int WriteDelayMs = 1000;

    void Mode_Click();
    void ReadConfig_Click();
    void SendConfig_Click();
    void WriteToFile_Click();
    void LoadFile_Click();
    void TmrWait_Timer();

    // The one-line message under the buttons (file and send problems).
    QString problemText() const;
    // Where the texts shown come from, and whether they were edited since.
    QString sourceText() const;
    QString directory() const { return m_directory; }
    void refreshFileList();

    EditableList *Mode;
    QLineEdit *ReaderName;
    EditableList *BaudRate;
    EditableList *RS485Mode;
    EditableList *Frequency;
    QLineEdit *TermChar;
    QLineEdit *HeadChar;
    EditableList *StringLength;
    QLineEdit *HandShake;
    EditableList *Heartbeat;
    EditableList *TagsToRead;
    EditableList *ReadRange;
    QPushButton *SendConfig;
    QPushButton *ReadConfig;
    QPushButton *WriteToFile;
    QPushButton *LoadFile;
    QListWidget *File1;
    QLabel *Problem;
    QLabel *TextSource;
    QTimer TmrWait;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // An armed write is done at once, with the texts of this moment: closing
    // must not lose the click.
    QString saveOnClose() override;
    void showCloseProblem(const QString &text) override;

private:
    void buildControls();
    void Form_Load();
    void showProblem(const QString &text, QWidget *field = nullptr);
    void markEdited();
    void showSource();
    void clearProblem();
    // The texts as 8-bit text, or the first field holding a character outside
    // 8 bits (marked, with a message saying what was not done).
    std::optional<ConfigFields> eightBitFields(const QString &refusedAction);
    // Writes the file for the reader name of now with the texts of now; false
    // when it could not (the message says why).
    bool writeFileNow(bool refreshList);

    SendFunction m_send;
    QString m_directory;
    QString m_problem; // the whole message; the label may show less
    std::array<QWidget *, ConfigFieldCount> m_controls{};
    QWidget *m_markedField = nullptr;
    enum class Request { None, Pending, NotSent };
    QString m_source;
    bool m_edited = false;
    Request m_request = Request::None;
};

} // namespace zanto
