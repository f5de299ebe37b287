#pragma once

#include "protocol/commands.h"
#include "protocol/configstring.h"
#include "protocol/linkrules.h"

#include <QByteArrayView>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace zanto {

class CounterBox;
class EditableList;
class EthernetSettingsDialog;
class LogToFile;
class PortSettings;
class PortSettingsDialog;
class ReaderChannel;
class ReaderConfigDialog;
class ReaderLink;
class ReceivedGrid;
class ReceivePipeline;
class SendTextDialog;
class SetupTagDialog;

// The main window: the link button and status line, the received-data grid
// with its counters, the test command buttons and modes of operation, the tag
// data write, and the menus that open the four dialogs. Every command of every
// window leaves through SendToReader(); everything received comes back through
// the receive pipeline. Its controls carry their names as object names; what
// they do is reached by using them.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void Form_Load();

    // The one send operation: the text, one CR, on the link(s) the rule picks.
    // True when the command went out on at least one link.
    bool SendToReader(const QByteArray &text, LinkRule rule);
    bool send(ReaderCommand command);

    // The menus. Each dialog is one instance, made on first use and brought
    // forward when chosen again.
    void mnuPortSettings_Click();
    void mnuConfigReader_Click();
    void mnuConfigureSetupTag_Click();
    void mnuEthernet_Click();
    void mnuSendText_Click();
    void mnuAbout_Click();
    // Makes the Configure Reader dialog and runs its opening steps (the mode
    // rule, the read request); the menu shows it, the decoder fills it hidden.
    ReaderConfigDialog *createReaderConfig();

    void Command1_Click();
    void Command9_Click();
    void Command3_Click();
    void Command4_Click();
    void Command6_Click();
    void S_Click();
    void Command8_Click();
    void Command10_Click();
    void Command7_Click();
    void ButH_Click();
    void Command17_Click();
    void ChkMini_Click();
    void Text6_Change();
    void Text1_Change();
    void OptStandard_Click();
    void OptEnhanced_Click();
    void OptTrack_Click();
    void OptUniversal_Click();
    void selectMode(ReaderMode mode);

    // Called with every burst as it ends (empty ones included).
    void Timer1_Burst(QByteArrayView text, qint64 firstArrivalMs);
    // Called with every non-empty burst, whole.
    void DecodeConfigReply(const QByteArray &receivedText);
    void showCounters();
    void showLiveRowWhenDue();
    void setStatus(const QString &text, const QString &detail = QString());
    // The tooltips of Command1 and the status line: where Connect goes.
    void showTarget();
    static QString aboutText();

    QPushButton *Command1;
    QLineEdit *Connect_Error;
    QLineEdit *Text1;
    ReceivedGrid *MSFlexGrid1;
    CounterBox *Receive_Count;
    CounterBox *Text7;
    QPushButton *Command9;
    QGroupBox *Frame6;
    QRadioButton *OptStandard;
    QRadioButton *OptEnhanced;
    QRadioButton *OptTrack;
    QRadioButton *OptUniversal;
    QPushButton *Command3;
    QPushButton *Command4;
    QPushButton *Command6;
    QPushButton *S;
    QPushButton *Command8;
    QPushButton *Command10;
    QPushButton *Command7;
    QPushButton *ButH;
    QPushButton *Command17;
    QLabel *Label1;
    QLineEdit *Text6;
    EditableList *CmboInterval;
    QLineEdit *Text5;
    QCheckBox *ChkMini;
    QLabel *DroppedRows;
    QLabel *LogState;

    QMenu *mnuSettings;
    QAction *mnuPortSettings;
    QAction *mnuLogToFile;
    QMenu *mnuReaderConfig;
    QAction *mnuConfigReader;
    QAction *mnuConfigureSetupTag;
    QAction *mnuEthernet;
    QAction *mnuSendText;
    QMenu *mnuHelp;
    QAction *mnuAbout;

    ReceivePipeline *m_pipeline;
    ReaderLink *m_link;
    PortSettings *m_portSettings;
    ReaderChannel *m_channel;
    LogToFile *m_log;
    QPointer<PortSettingsDialog> m_portSet;
    QPointer<ReaderConfigDialog> m_readerConfig;
    QPointer<SetupTagDialog> m_setupTag;
    QPointer<EthernetSettingsDialog> m_ethernet;
    QPointer<SendTextDialog> m_sendText;
    QScrollArea *m_clientScroll;
    QString m_statusDetail;
    bool m_placed = false;
    QPointer<QMessageBox> m_about;
    ReaderMode m_mode = ReaderMode::Standard;
    // Without "Mini" the field's limit is the line edit's own (no limit a
    // user meets).
    static constexpr int UnlimitedLength = 32767;
    // How long a burst gathers before it shows as a live row.
    static constexpr int LiveAfterMs = 1000;
    static constexpr int LiveCheckMs = 200;
    QTimer m_liveCheck;
    bool m_warnedOnClose = false;
    bool m_settingsProblemShown = false;
    qint64 m_burstCount = 0;
    qsizetype m_lastBurstBytes = 0;
};

} // namespace zanto
