#pragma once

#include "link/readerlink.h"
#include "link/sendtoreader.h"
#include "protocol/commands.h"
#include "protocol/configstring.h"
#include "protocol/linkrules.h"
#include "widgets/counterbox.h"
#include "widgets/editablelist.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QRadioButton;

namespace zanto {

class EthernetSettingsDialog;
class PortSettingsDialog;
class ReaderConfigDialog;
class ReceivedGrid;
class ReceivePipeline;
class SetupTagDialog;

// The main window: the link button and status line, the received-data grid
// with its counters, the test command buttons and modes of operation, the tag
// data write, and the menus that open the four dialogs. Every command of every
// window leaves through SendToReader(); everything received comes back through
// the receive pipeline.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString aboutText();

    // The one send operation: the text, one CR, on the link(s) the rule picks.
    // True when the command went out on at least one link.
    bool SendToReader(const QByteArray &text, LinkRule rule);
    bool SendToReader(const QString &text, LinkRule rule);

    // Dialogs are single instances created on first use. show=false creates
    // one without showing it (the link reading the port settings, the decoder
    // filling the configuration).
    PortSettingsDialog *portSettings(bool show);
    ReaderConfigDialog *readerConfig(bool show);
    SetupTagDialog *setupTag(bool show);
    EthernetSettingsDialog *ethernetSettings(bool show);
    // The dialogs as they are now, without creating any.
    PortSettingsDialog *existingPortSettings() const;
    ReaderConfigDialog *existingReaderConfig() const;
    EthernetSettingsDialog *existingEthernetSettings() const;
    SetupTagDialog *existingSetupTag() const;

    ReaderLink *link() const { return m_link; }
    ReceivePipeline *pipeline() const { return m_pipeline; }
    qint64 burstCount() const { return m_burstCount; }
    ReaderMode currentMode() const { return m_mode; }

    // Handlers, named after their controls.
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
    void OptStandard_Click();
    void OptEnhanced_Click();
    void OptTrack_Click();
    void OptUniversal_Click();
    void selectMode(ReaderMode mode);
    void mnuAbout_Click();

    // Called with every non-empty burst, whole.
    void DecodeConfigReply(const QByteArray &receivedText);

    // Controls, by their names.
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

    QMenu *mnuSettings;
    QAction *mnuPortSettings;
    QMenu *mnuReaderConfig;
    QAction *mnuConfigReader;
    QAction *mnuConfigureSetupTag;
    QAction *mnuEthernet;
    QMenu *mnuHelp;
    QAction *mnuAbout;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void Form_Load();
    void Timer1_Burst(QByteArrayView text);
    void showCounters();
    LinkParameters linkParameters();
    bool send(ReaderCommand command);
    // How the dialogs send: through SendToReader.
    SendFunction sendFunction();
    void setStatus(const QString &text, const QString &detail = QString());

    ReaderLink *m_link;
    ReceivePipeline *m_pipeline;
    QPointer<PortSettingsDialog> m_portSet;
    QPointer<ReaderConfigDialog> m_readerConfig;
    QPointer<SetupTagDialog> m_setupTag;
    QPointer<EthernetSettingsDialog> m_ethernet;
    QPointer<QMessageBox> m_about;
    ReaderMode m_mode = ReaderMode::Standard;
    // "Mini" holds the tag data to this many characters; without it the
    // field's limit is the line edit's own (no limit a user meets).
    static constexpr int MiniMaxCharacters = 5;
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
