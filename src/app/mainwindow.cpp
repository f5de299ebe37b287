#include "app/mainwindow.h"

#include "app/logtofile.h"
#include "commands/modes.h"
#include "commands/sendtextdialog.h"
#include "commands/setuptagdialog.h"
#include "commands/tagdatafield.h"
#include "config/readerconfigdialog.h"
#include "ethernet/ethernetsettingsdialog.h"
#include "link/portsettings.h"
#include "link/readerchannel.h"
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "protocol/commands.h"
#include "protocol/latin1.h"
#include "protocol/tagdata.h"
#include "protocol/version.h"
#include "settings/portsettingsdialog.h"
#include "widgets/counterbox.h"
#include "widgets/editablelist.h"
#include "widgets/enterpresses.h"
#include "widgets/fieldvalidator.h"
#include "widgets/fulltexttips.h"
#include "widgets/receivedgrid.h"
#include "widgets/twips.h"
#include "widgets/wrapbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionFrame>

namespace zanto {

namespace {

QFont sansFont(int points)
{
    QFont font = QApplication::font();
    font.setPointSize(points);
    return font;
}

} // namespace

// The dialogs' way to the reader: the main window's send, and its bursts.
class WindowChannel : public ReaderChannel
{
public:
    WindowChannel(std::function<bool(const QByteArray &, LinkRule)> send, const ReceivePipeline *pipeline,
                  QObject *parent)
        : ReaderChannel(parent)
        , m_send(std::move(send))
        , m_pipeline(pipeline)
    {
    }
    bool send(const QByteArray &text, LinkRule rule) override { return m_send(text, rule); }
    qint64 gatheringSinceMs() const override
    {
        return m_pipeline->receivedText().isEmpty() ? 0 : m_pipeline->firstArrivalMs();
    }
    void tellBurstEnded(QByteArrayView bytes, qint64 firstArrivalMs) { Q_EMIT burstEnded(bytes, firstArrivalMs); }
    void tellBytesArrived(QByteArrayView bytes) { Q_EMIT bytesArrived(bytes); }

private:
    std::function<bool(const QByteArray &, LinkRule)> m_send;
    const ReceivePipeline *m_pipeline;
};

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("rkz"));
    setWindowTitle(QStringLiteral("ZANTO Setup and Test Program"));
    buildControls();
    buildMenus();

    m_pipeline = new ReceivePipeline(this);
    // The grid shows the rows the pipeline gathers, where they were read to.
    MSFlexGrid1->useStore(&m_pipeline->store());
    m_link = new ReaderLink(m_pipeline, this);
    connect(m_link, &ReaderLink::status, this, [this](const QString &text, const QString &detail) { setStatus(text, detail); });
    connect(m_pipeline, &ReceivePipeline::burstEnded, this, &MainWindow::Timer1_Burst);
    auto *channel = new WindowChannel([this](const QByteArray &text, LinkRule rule) { return SendToReader(text, rule); },
                                      m_pipeline, this);
    m_channel = channel;
    connect(m_link, &ReaderLink::bytesArrived, channel, &WindowChannel::tellBytesArrived);

    // Settings > Log to File: every burst as one line of a file, with its state in LogState.
    m_log = new LogToFile(mnuLogToFile, LogState, [this](const QString &text) { setStatus(text); }, this);
    connect(mnuLogToFile, &QAction::triggered, m_log, &LogToFile::toggle);
    connect(m_pipeline, &ReceivePipeline::burstEnded, m_log, &LogToFile::burstEnded);

    // What Port Settings holds is in force at once: every change goes to the
    // link as it is made, and so does the quiet interval.
    m_portSettings = new PortSettings(this);
    connect(m_portSettings, &PortSettings::parametersChanged, m_link, &ReaderLink::setParameters);
    connect(m_portSettings, &PortSettings::parametersChanged, this, &MainWindow::showTarget);
    m_link->setParameters(m_portSettings->parameters());
    connect(Text1, &QLineEdit::textChanged, this, &MainWindow::Text1_Change);
    Text1_Change();

    // The counters follow the grid's pace: at once after a quiet spell, in
    // batches while a stream is being cut into full bursts.
    connect(MSFlexGrid1, &ReceivedGrid::flushed, this, &MainWindow::showCounters);

    // A burst that keeps growing (a reader streaming without the pause that
    // ends a burst) is shown while it grows, not only once it is full.
    // A few looks a second while bursts come, none when the links are quiet;
    // nothing per burst, which a stream has tens of thousands of a second.
    m_liveCheck.setInterval(LiveCheckMs);
    connect(m_pipeline, &ReceivePipeline::burstStarted, this, [this] {
        if (!m_liveCheck.isActive())
            m_liveCheck.start();
    });
    connect(&m_liveCheck, &QTimer::timeout, this, &MainWindow::showLiveRowWhenDue);

    pressButtonsOnEnter(this);
    showCutTextsWhole(this);
    Form_Load();
    showTarget();
}

MainWindow::~MainWindow()
{
    // The links go first, while the controls their events write to still exist.
    delete m_link;
}

void MainWindow::showLiveRowWhenDue()
{
    if (!m_pipeline->gathering()) {
        m_liveCheck.stop();
        return;
    }
    const qint64 age = QDateTime::currentMSecsSinceEpoch() - m_pipeline->firstArrivalMs();
    if (!m_pipeline->receivedText().isEmpty() && age >= LiveAfterMs)
        MSFlexGrid1->showLiveRow(m_pipeline->firstArrivalMs());
}

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(14325), twips(7635));
    // The layout is fixed; on a screen too small for it (a laptop at 150 %)
    // the client area scrolls instead of being cut, and no control moves.
    m_clientScroll = new QScrollArea(this);
    m_clientScroll->setObjectName(QStringLiteral("clientScroll"));
    m_clientScroll->setFrameShape(QFrame::NoFrame);
    m_clientScroll->setWidgetResizable(false);
    m_clientScroll->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_clientScroll->setWidget(client);
    setCentralWidget(m_clientScroll);

    Command1 = new WrapButton(QStringLiteral("Connect"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1, 360, 80, 1095, 495);

    Connect_Error = new QLineEdit(client);
    Connect_Error->setObjectName(QStringLiteral("Connect_Error"));
    Connect_Error->setReadOnly(true);
    placeTwips(Connect_Error, 1560, 120, 3975, 375);

    Text1 = new QLineEdit(QString::number(ReceivePipeline::DefaultQuietMs), client);
    Text1->setObjectName(QStringLiteral("Text1"));
    placeTwips(Text1, 7920, 120, 735, 375);
    Text1->hide();

    DroppedRows = new QLabel(client);
    DroppedRows->setObjectName(QStringLiteral("DroppedRows"));
    placeTwips(DroppedRows, 5640, 120, 5000, 375);
    DroppedRows->hide();

    // The log's state, right of DroppedRows in the top row, shown once a log starts.
    LogState = new QLabel(client);
    LogState->setObjectName(QStringLiteral("LogState"));
    placeTwips(LogState, 10700, 120, 3500, 375);
    LogState->hide();

    MSFlexGrid1 = new ReceivedGrid(client);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    placeTwips(MSFlexGrid1, 360, 600, 13680, 6000);
    connect(MSFlexGrid1, &ReceivedGrid::rowsDropped, this, [this](quint64 total) {
        DroppedRows->setText(tr("%1 oldest rows dropped to stay within the memory limit").arg(total));
        DroppedRows->show();
    });

    auto counter = [client](const char *name, int left, const QString &meaning) {
        auto *box = new CounterBox(24, client);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(meaning);
        box->setAccessibleName(meaning);
        placeTwips(box, left, 1080, 855, 675);
        return box;
    };
    Receive_Count = counter("Receive_Count", 10560, tr("bursts received"));
    Text7 = counter("Text7", 11400, tr("bytes in the last burst"));

    Command9 = new QPushButton(QStringLiteral("Clear"), client);
    Command9->setObjectName(QStringLiteral("Command9"));
    placeTwips(Command9, 12720, 960, 855, 555);
    // These sit on the grid's upper right corner and stay above it.
    Receive_Count->raise();
    Text7->raise();
    Command9->raise();

    Frame6 = new QGroupBox(QStringLiteral("Modes of Operation"), client);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    placeTwips(Frame6, 240, 6600, 2415, 855);
    auto option = [this](const char *name, const QString &caption, int left, int top, int width) {
        auto *button = new QRadioButton(caption, Frame6);
        button->setObjectName(QLatin1String(name));
        placeTwips(button, left, top, width, 255);
        return button;
    };
    OptStandard = option("OptStandard", QStringLiteral("Standard"), 240, 240, 975);
    OptEnhanced = option("OptEnhanced", QStringLiteral("Enhanced"), 240, 480, 1215);
    OptTrack = option("OptTrack", QStringLiteral("Track"), 1320, 240, 855);
    OptUniversal = option("OptUniversal", QStringLiteral("Universal"), 1320, 480, 975);
    OptStandard->setChecked(true);

    const QFont rowFont = sansFont(12);
    auto rowButton = [client, &rowFont](const char *name, const QString &caption, int left, int top, int width, int height) {
        auto *button = new WrapButton(caption, client);
        button->setObjectName(QLatin1String(name));
        button->setFont(rowFont);
        placeTwips(button, left, top, width, height);
        return button;
    };
    Command3 = rowButton("Command3", QStringLiteral("Input 1   "), 2640, 6600, 975, 855);
    Command4 = rowButton("Command4", QStringLiteral("Input 2   "), 3600, 6600, 975, 855);
    Command6 = rowButton("Command6", QStringLiteral("Input 1 +"), 4560, 6600, 975, 855);
    S = rowButton("S", QStringLiteral("Boot String"), 5520, 6600, 975, 855);
    Command8 = rowButton("Command8", QStringLiteral("LON"), 6480, 6600, 975, 427);
    Command10 = rowButton("Command10", QStringLiteral("LOFF"), 6480, 7020, 975, 428);
    Command7 = rowButton("Command7", QStringLiteral("Input 3"), 7440, 6600, 1095, 427);
    ButH = rowButton("ButH", QString(), 7440, 7020, 1095, 428);
    // The button has no caption; what it does must still be told.
    ButH->setAccessibleName(QStringLiteral("H"));
    ButH->setToolTip(tr("Sends the command H (on both links)"));
    Command17 = rowButton("Command17", QStringLiteral("Write"), 8520, 6600, 1095, 855);

    Label1 = new QLabel(QStringLiteral("Enter Data /xx for Hex"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(Label1, 9600, 6840, 2415, 495);

    Text6 = new QLineEdit(client);
    Text6->setObjectName(QStringLiteral("Text6"));
    Text6->setFont(rowFont);
    Text6->setValidator(new FieldValidator(Text6));
    placeTwips(Text6, 9600, 7030, 2295, 420);

    CmboInterval = new EditableList(client);
    CmboInterval->setObjectName(QStringLiteral("CmboInterval"));
    CmboInterval->setFont(rowFont);
    for (const char *code : TagWriteCodes)
        CmboInterval->addItem(QLatin1String(code));
    CmboInterval->setEditText(QLatin1String(DefaultTagWriteCode));
    CmboInterval->lineEdit()->setValidator(new FieldValidator(CmboInterval->lineEdit()));
    placeTwips(CmboInterval, 11880, 7030, 735, 420);

    Text5 = new QLineEdit(client);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setFont(rowFont);
    Text5->setReadOnly(true);
    Text5->setFocusPolicy(Qt::ClickFocus);
    placeTwips(Text5, 12600, 7030, 495, 420);

    ChkMini = new QCheckBox(QStringLiteral("Mini"), client);
    ChkMini->setObjectName(QStringLiteral("ChkMini"));
    placeTwips(ChkMini, 13200, 7200, 735, 180);
    ChkMini->setMinimumHeight(twips(180));

    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(Command9, &QPushButton::clicked, this, &MainWindow::Command9_Click);
    connect(Command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(Command6, &QPushButton::clicked, this, &MainWindow::Command6_Click);
    connect(S, &QPushButton::clicked, this, &MainWindow::S_Click);
    connect(Command8, &QPushButton::clicked, this, &MainWindow::Command8_Click);
    connect(Command10, &QPushButton::clicked, this, &MainWindow::Command10_Click);
    connect(Command7, &QPushButton::clicked, this, &MainWindow::Command7_Click);
    connect(ButH, &QPushButton::clicked, this, &MainWindow::ButH_Click);
    connect(Command17, &QPushButton::clicked, this, &MainWindow::Command17_Click);
    connect(ChkMini, &QCheckBox::clicked, this, &MainWindow::ChkMini_Click);
    connect(Text6, &QLineEdit::textChanged, this, &MainWindow::Text6_Change);
    connect(OptStandard, &QRadioButton::clicked, this, &MainWindow::OptStandard_Click);
    connect(OptEnhanced, &QRadioButton::clicked, this, &MainWindow::OptEnhanced_Click);
    connect(OptTrack, &QRadioButton::clicked, this, &MainWindow::OptTrack_Click);
    connect(OptUniversal, &QRadioButton::clicked, this, &MainWindow::OptUniversal_Click);
}

void MainWindow::buildMenus()
{
    // Alt and a menu's first letter open it.
    mnuSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuPortSettings = mnuSettings->addAction(QStringLiteral("&Port Settings"), this, &MainWindow::mnuPortSettings_Click);
    mnuPortSettings->setObjectName(QStringLiteral("mnuPortSettings"));
    mnuLogToFile = mnuSettings->addAction(QStringLiteral("&Log to File..."));
    mnuLogToFile->setObjectName(QStringLiteral("mnuLogToFile"));

    mnuReaderConfig = menuBar()->addMenu(QStringLiteral("&Reader Setup"));
    mnuReaderConfig->setObjectName(QStringLiteral("mnuReaderConfig"));
    mnuConfigReader = mnuReaderConfig->addAction(QStringLiteral("&Configure Reader"), this, &MainWindow::mnuConfigReader_Click);
    mnuConfigReader->setObjectName(QStringLiteral("mnuConfigReader"));
    mnuConfigureSetupTag = mnuReaderConfig->addAction(QStringLiteral("Configure &Setup tag"), this, &MainWindow::mnuConfigureSetupTag_Click);
    mnuConfigureSetupTag->setObjectName(QStringLiteral("mnuConfigureSetupTag"));
    mnuEthernet = mnuReaderConfig->addAction(QStringLiteral("Read &Ethernet Settings"), this, &MainWindow::mnuEthernet_Click);
    mnuEthernet->setObjectName(QStringLiteral("mnuEthernet"));
    mnuSendText = mnuReaderConfig->addAction(tr("Send &Text..."), this, &MainWindow::mnuSendText_Click);
    mnuSendText->setObjectName(QStringLiteral("mnuSendText"));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"), this, &MainWindow::mnuAbout_Click);
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

void MainWindow::Form_Load()
{
    MSFlexGrid1->setColWidth(0, 7000);
    MSFlexGrid1->setColWidth(1, 7000);
    MSFlexGrid1->setFormatString(QStringLiteral("<HEX|<ASCII"));
    OptStandard_Click();
}

QString MainWindow::aboutText()
{
    return QStringLiteral("ZANTO Setup and Test Program, written by the ZANTO reader tools team, ZANTO Systems")
        + QLatin1Char('\r') + QLatin1String("Version ") + QLatin1String(ReleaseVersion) + QLatin1String(", March 15, 2010")
        + QLatin1Char('\r')
        + QStringLiteral("Phone Number") + QStringLiteral(" +1 555 0142");
}

void MainWindow::mnuAbout_Click()
{
    if (m_about) {
        m_about->raise();
        return;
    }
    m_about = new QMessageBox(QMessageBox::Information, QStringLiteral("About"),
                              // The lines are kept apart by CR; shown one per line.
                              QString(aboutText()).replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Ok, this);
    m_about->setObjectName(QStringLiteral("aboutBox"));
    m_about->setProperty("aboutText", aboutText());
    m_about->setAttribute(Qt::WA_DeleteOnClose);
    m_about->open();
}

// ---- dialogs -------------------------------------------------------------------

namespace {

void bringForward(QWidget *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void MainWindow::mnuPortSettings_Click()
{
    if (!m_portSet) {
        m_portSettings->show();
        m_portSet = new PortSettingsDialog(m_portSettings, this);
    }
    bringForward(m_portSet);
}

ReaderConfigDialog *MainWindow::createReaderConfig()
{
    m_readerConfig = new ReaderConfigDialog(m_channel, this);
    m_readerConfig->Form_Load();
    return m_readerConfig;
}

void MainWindow::mnuConfigReader_Click()
{
    if (!m_readerConfig)
        createReaderConfig();
    bringForward(m_readerConfig);
}

void MainWindow::mnuConfigureSetupTag_Click()
{
    if (!m_setupTag)
        m_setupTag = new SetupTagDialog(m_channel, this);
    bringForward(m_setupTag);
}

void MainWindow::mnuSendText_Click()
{
    if (!m_sendText)
        m_sendText = new SendTextDialog(m_channel, this);
    bringForward(m_sendText);
}

void MainWindow::mnuEthernet_Click()
{
    if (!m_ethernet) {
        m_ethernet = new EthernetSettingsDialog(m_channel, this);
        m_ethernet->Form_Load();
    }
    bringForward(m_ethernet);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Opened inside the screen's free area, as large as the layout and no
    // larger than that area; the client area scrolls for the rest.
    const QScreen *where = screen();
    if (!where)
        return;
    const QRect room = where->availableGeometry();
    const QSize frame = frameGeometry().size() - geometry().size();
    const QWidget *client = m_clientScroll->widget();
    const QSize whole(client->width(), client->height() + menuBar()->sizeHint().height());
    resize(whole.boundedTo(room.size() - frame));
    QRect placed = frameGeometry();
    placed.moveLeft(qBound(room.left(), placed.left(), qMax(room.left(), room.right() - placed.width() + 1)));
    placed.moveTop(qBound(room.top(), placed.top(), qMax(room.top(), room.bottom() - placed.height() + 1)));
    move(placed.topLeft());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program; the dialogs that keep files
    // write them now. A save that fails keeps the window open once and says
    // so; closing again discards what could not be saved.
    const QList<KeepingDialog *> keeping{m_portSet, m_readerConfig, m_ethernet};
    if (!m_warnedOnClose) {
        QStringList problems;
        // Port Settings is saved whether its dialog is open or the link
        // loaded it without one.
        if (const Done saved = m_portSettings->save(); !saved)
            problems << KeepingDialog::asSentence(saved.error());
        for (KeepingDialog *dialog : {static_cast<KeepingDialog *>(m_readerConfig), static_cast<KeepingDialog *>(m_ethernet)}) {
            if (!dialog)
                continue;
            if (const Done saved = dialog->saveNow(); !saved)
                problems << KeepingDialog::asSentence(saved.error());
        }
        if (!problems.isEmpty()) {
            m_warnedOnClose = true;
            setStatus(problems.join(QLatin1Char(' ')) + tr(" Close again to discard."), problems.join(QLatin1Char('\n')));
            event->ignore();
            return;
        }
    }
    for (KeepingDialog *dialog : keeping) {
        if (dialog)
            dialog->closeWithoutSaving();
    }
    m_portSettings->discard();
    // The dialogs have this window as their parent, so none of them keeps the
    // program running once it is closed.
    if (m_setupTag)
        m_setupTag->close();
    if (m_sendText)
        m_sendText->close();
    event->accept();
}

// ---- link ----------------------------------------------------------------------

void MainWindow::setStatus(const QString &text, const QString &detail)
{
    Connect_Error->setText(text);
    Connect_Error->setCursorPosition(0);
    m_statusDetail = detail;
    showTarget();
}

void MainWindow::showTarget()
{
    // Where Connect will go, said before it is pressed.
    const QString target = linkTarget(m_link->parameters());
    const bool idle = Command1->text() == QLatin1String("Connect");
    Command1->setToolTip(idle ? tr("Connect to %1").arg(target) : tr("Close the link (opened to %1)").arg(target));
    // The whole status text shows as a tooltip when the line cuts it, and so
    // does whatever more there is to say (the system's reason a port would
    // not open), and the target of the next Connect.
    const QString text = Connect_Error->text();
    QStyleOptionFrame option;
    option.initFrom(Connect_Error);
    const int room = Connect_Error->style()->subElementRect(QStyle::SE_LineEditContents, &option, Connect_Error).width() - 4;
    QStringList tip;
    if (Connect_Error->fontMetrics().horizontalAdvance(text) > room)
        tip << text;
    if (!m_statusDetail.isEmpty())
        tip << m_statusDetail;
    if (idle)
        tip << tr("Connect goes to %1").arg(target);
    Connect_Error->setToolTip(tip.join(QLatin1Char('\n')));
}

void MainWindow::Command1_Click()
{
    // The link uses what Port Settings holds now; held by nobody, its
    // values are read from settings1.ini first.
    m_portSettings->load();
    if (Command1->text() == QLatin1String("Connect")) {
        // A settings file that could not be read is said before its start
        // texts are used for a link; the next Connect uses them.
        const QString problem = m_portSettings->loadProblem();
        if (!problem.isEmpty() && m_portSettings->state() != PortSettings::State::LoadedShown && !m_settingsProblemShown) {
            m_settingsProblemShown = true;
            setStatus(KeepingDialog::asSentence(problem) + tr(" Connect again to use the values in Port Settings."), problem);
            return;
        }
        if (m_link->openLink())
            Command1->setText(QStringLiteral("Disconnect"));
    } else {
        m_link->closeLink();
        Command1->setText(QStringLiteral("Connect"));
    }
    showTarget();
}

bool MainWindow::SendToReader(const QByteArray &text, LinkRule rule)
{
    return m_link->send(text, rule);
}


// ---- receiving -----------------------------------------------------------------

void MainWindow::Text1_Change()
{
    bool ok = false;
    const int ms = Text1->text().toInt(&ok);
    m_pipeline->setQuietInterval(ok && ms > 0 ? ms : ReceivePipeline::DefaultQuietMs);
}

void MainWindow::Timer1_Burst(QByteArrayView text, qint64 firstArrivalMs)
{
    m_lastBurstBytes = text.size();
    ++m_burstCount;
    if (text.isEmpty()) {
        MSFlexGrid1->endLiveRow();
        showCounters(); // no row, so no batch of the grid's to wait for
        static_cast<WindowChannel *>(m_channel)->tellBurstEnded(text, firstArrivalMs);
        return;
    }
    // The pipeline has stored the burst as the grid's last row already; the
    // scroll rule counts the rows before it.
    const int r = MSFlexGrid1->rows() - 1;
    if (r > 4)
        MSFlexGrid1->setTopRow(r - 3);
    MSFlexGrid1->rowAppended();
    // The live row, if the burst had one, becomes this row.
    MSFlexGrid1->endLiveRow();
    // The decoder reads the row where it stands; it keeps nothing of it.
    DecodeConfigReply(QByteArray::fromRawData(text.data(), text.size()));
    static_cast<WindowChannel *>(m_channel)->tellBurstEnded(text, firstArrivalMs);
}

void MainWindow::showCounters()
{
    Text7->showNumber(m_lastBurstBytes);
    Receive_Count->showNumber(m_burstCount);
}

void MainWindow::DecodeConfigReply(const QByteArray &receivedText)
{
    const std::optional<DecodedConfig> decoded = decodeConfigReply(receivedText);
    if (!decoded)
        return;
    selectMode(decoded->mode);
    // A dialog that does not exist is created hidden; its opening asks the
    // reader once more, and this reply fills it.
    if (!m_readerConfig)
        createReaderConfig();
    m_readerConfig->applyReply(*decoded);
}

void MainWindow::Command9_Click()
{
    MSFlexGrid1->clear();
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(QStringLiteral("<HEX|<ASCII"));
}

// ---- test commands -------------------------------------------------------------

bool MainWindow::send(ReaderCommand command)
{
    return SendToReader(commandText(command), commandRule(command));
}

void MainWindow::Command3_Click() { send(ReaderCommand::Input1); }
void MainWindow::Command4_Click() { send(ReaderCommand::Input2); }
void MainWindow::Command6_Click() { send(ReaderCommand::Input1Plus); }
void MainWindow::S_Click() { send(ReaderCommand::BootString); }
void MainWindow::Command8_Click() { send(ReaderCommand::Lon); }
void MainWindow::Command10_Click() { send(ReaderCommand::Loff); }
void MainWindow::Command7_Click() { send(ReaderCommand::Input3); }
void MainWindow::ButH_Click() { send(ReaderCommand::H); }

// ---- modes of operation --------------------------------------------------------

void MainWindow::selectMode(ReaderMode mode)
{
    m_mode = mode;
    QRadioButton *const options[] = {OptStandard, OptEnhanced, OptTrack, OptUniversal};
    options[int(mode)]->setChecked(true); // the group clears the other three
    const ModeButtons &row = modeButtons(mode);
    Command7->setVisible(row.Command7);
    Command8->setVisible(row.Command8);
    Command10->setVisible(row.Command10);
    ButH->setVisible(row.ButH);
}

void MainWindow::OptStandard_Click() { selectMode(ReaderMode::Standard); }
void MainWindow::OptEnhanced_Click() { selectMode(ReaderMode::Enhanced); }
void MainWindow::OptTrack_Click() { selectMode(ReaderMode::Track); }
void MainWindow::OptUniversal_Click() { selectMode(ReaderMode::Universal); }

// ---- tag data ------------------------------------------------------------------

void MainWindow::Text6_Change()
{
    Text5->setText(QString::number(tagTextByteCount(Text6->text())));
}

void MainWindow::ChkMini_Click()
{
    if (ChkMini->isChecked()) {
        Text6->setMaxLength(int(MaxShortTagWriteCharacters));
        if (Text6->text().size() > MaxShortTagWriteCharacters)
            Text6->setText(Text6->text().left(MaxShortTagWriteCharacters));
    } else {
        Text6->setMaxLength(UnlimitedLength);
    }
}

void MainWindow::Command17_Click()
{
    const bool mini = ChkMini->isChecked();
    if (!mini)
        Text5->setText(QString::number(tagTextByteCount(Text6->text())));
    const Result<QByteArray> data = toBytes(Text6->text());
    const Result<QByteArray> code = toBytes(CmboInterval->currentText());
    if (!data || !code) {
        setStatus(tr("Not written: %1 is not an 8-bit character").arg(!data ? data.error() : code.error()));
        return;
    }
    const ReaderCommand kind = mini ? ReaderCommand::ShortTagWrite : ReaderCommand::TagWrite;
    const Result<QByteArray> command = mini ? buildShortTagWriteCommand(*data, *code) : buildTagWriteCommand(*data, *code);
    if (!command) {
        setStatus(tr("Not written: %1").arg(command.error()));
        return;
    }
    SendToReader(*command, commandRule(kind));
}

} // namespace zanto
