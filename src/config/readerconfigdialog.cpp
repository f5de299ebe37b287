#include "config/readerconfigdialog.h"

#include "app/answerline.h"
#include "link/answerwatch.h"
#include "link/readerchannel.h"
#include "platform/configfiles.h"
#include "platform/textfile.h"
#include "protocol/commands.h"
#include "protocol/latin1.h"
#include "protocol/textescapes.h"
#include "widgets/editablelist.h"
#include "widgets/enterpresses.h"
#include "widgets/fieldvalidator.h"
#include "widgets/fulltexttips.h"
#include "widgets/messageline.h"
#include "widgets/twips.h"
#include "widgets/wrapbutton.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace zanto {

namespace {

QString caption(ConfigField field)
{
    return QLatin1String(fieldCaption(field));
}

// Where each field's box stands in the grid of the large box: row, column and
// how many columns it spans.
struct FieldPlace {
    ConfigField field;
    int row, column, columns;
};
constexpr std::array<FieldPlace, ConfigFieldCount> FieldPlaces = {{
    {ConfigField::Mode, 0, 0, 1},
    {ConfigField::BaudRate, 0, 1, 1},
    {ConfigField::TermChar, 0, 2, 1},
    {ConfigField::HandShake, 0, 3, 1},
    {ConfigField::ReaderName, 1, 0, 1},
    {ConfigField::RS485Mode, 1, 1, 1},
    {ConfigField::HeadChar, 1, 2, 1},
    {ConfigField::Heartbeat, 1, 3, 1},
    {ConfigField::StringLength, 2, 2, 1},
    {ConfigField::TagsToRead, 2, 3, 1},
    {ConfigField::Frequency, 3, 0, 3},
    {ConfigField::ReadRange, 3, 3, 1},
}};

// The fields in the keyboard's order; the buttons and the file list follow.
constexpr std::array<ConfigField, ConfigFieldCount> KeyboardOrder = {
    ConfigField::Mode,      ConfigField::ReaderName, ConfigField::BaudRate,     ConfigField::RS485Mode,
    ConfigField::TermChar,  ConfigField::HeadChar,   ConfigField::Frequency,    ConfigField::ReadRange,
    ConfigField::StringLength, ConfigField::Heartbeat, ConfigField::TagsToRead, ConfigField::HandShake,
};

// Each field stands once in a list of them.
template <typename Row> constexpr bool eachFieldOnce(const std::array<Row, ConfigFieldCount> &rows, auto fieldOf)
{
    for (ConfigField field : AllConfigFields) {
        int count = 0;
        for (const Row &row : rows)
            count += fieldOf(row) == field ? 1 : 0;
        if (count != 1)
            return false;
    }
    return true;
}
static_assert(eachFieldOnce(FieldPlaces, [](const FieldPlace &p) { return p.field; }), "every field has its place");
static_assert(eachFieldOnce(KeyboardOrder, [](ConfigField f) { return f; }), "every field is reached by the keyboard");

// Layout, in twips. The field boxes stand in a grid of four columns inside
// the large box; positions below are relative to that box.
constexpr int ColumnLeft[4] = {150, 1830, 3510, 5190};
constexpr int ColumnWidth = 1620;
constexpr int ColumnGap = 60;
constexpr int RowTop[4] = {300, 1080, 1860, 2640};
constexpr int RowHeight = 720;
constexpr int ButtonRowTop = 3480;
constexpr int ButtonRowHeight = 495;

constexpr int spanWidth(int columns)
{
    return columns * ColumnWidth + (columns - 1) * ColumnGap;
}

QLineEdit *editOf(QWidget *control)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->lineEdit();
    return static_cast<QLineEdit *>(control);
}

constexpr const char *MarkStyle = "#%1 { border: 2px solid #c00000; }";

} // namespace

ReaderConfigDialog::ReaderConfigDialog(ReaderChannel *channel, QWidget *parent)
    : KeepingDialog(parent)
    , m_channel(channel)
    , m_directory(QDir::currentPath())
    , m_replyWatch(new ReplyWatch(channel, ReaderChannel::AnswerWaitMs, this))
    , m_sendWatch(new AnswerWatch(channel, ReaderChannel::AnswerWaitMs, this))
{
    setObjectName(QStringLiteral("ReaderConfig"));
    setWindowTitle(QStringLiteral("Configure Reader"));
    setFixedSize(twips(7200), twips(5565));

    buildControls();

    TmrWait.setObjectName(QStringLiteral("TmrWait"));
    TmrWait.setSingleShot(true);
    TmrWait.setInterval(WriteDelayMs);
    connect(&TmrWait, &QTimer::timeout, this, &ReaderConfigDialog::TmrWait_Timer);

    refreshFileList();

    connect(m_replyWatch, &ReplyWatch::settled, this, &ReaderConfigDialog::showRequest);
    // What the reader answers to Send Setup to Reader shows on the message
    // line: a refused configuration must not look like one taken.
    showAnswers(m_sendWatch, Problem, tr(": the configuration was not taken"));
}

ReaderConfigDialog::~ReaderConfigDialog()
{
    // Torn down without a close (the program ending): a click on "Write to
    // File" still gets its file.
    if (TmrWait.isActive()) {
        TmrWait.stop();
        writeFileNow(false);
    }
}

void ReaderConfigDialog::buildControls()
{
    auto *frame = new QGroupBox(QStringLiteral("Configure Reader"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    placeTwips(frame, 120, 60, 6960, 4140);

    // Each field sits in a small box of its own that carries its caption; the
    // mode rule hides the field only, so the box and caption stay.
    auto fieldBox = [frame](ConfigField field, int row, int column, int columns) {
        auto *box = new QGroupBox(caption(field), frame);
        box->setObjectName(QLatin1String(fieldControlName(field)) + QLatin1String("Frame"));
        // Named by its own caption: a box inside another is otherwise heard
        // under the outer box's title.
        box->setAccessibleName(caption(field));
        placeTwips(box, ColumnLeft[column], RowTop[row], spanWidth(columns), RowHeight);
        return box;
    };
    auto place = [this](ConfigField field, QWidget *control) {
        control->setObjectName(QLatin1String(fieldControlName(field)));
        const QWidget *box = control->parentWidget();
        control->setGeometry(twips(105), twips(300), box->width() - twips(210), twips(315));
        control->setAccessibleName(caption(field));
        m_fields[static_cast<std::size_t>(field)] = control;
        // An edit of the field a message is about settles that message.
        auto settle = [this, control] {
            if (m_markedField == control)
                clearProblem();
        };
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            connect(edit, &QLineEdit::textChanged, this, settle);
        else if (auto *combo = qobject_cast<QComboBox *>(control))
            connect(combo, &QComboBox::editTextChanged, this, settle);
        // A change by the user's hand, typed or picked, is an edit.
        connect(editOf(control), &QLineEdit::textEdited, this, &ReaderConfigDialog::markEdited);
        if (auto *combo = qobject_cast<QComboBox *>(control))
            connect(combo, &QComboBox::activated, this, &ReaderConfigDialog::markEdited);
    };
    // Each field as the layout table gives it: a list where entries are
    // offered, else a text box; its starting text; its typing limit.
    for (const FieldPlace &where : FieldPlaces) {
        const ConfigField field = where.field;
        QGroupBox *box = fieldBox(field, where.row, where.column, where.columns);
        const QString start = QLatin1String(fieldStartingText(field));
        const QList<QByteArray> entries = fieldEntries(field);
        QWidget *control = nullptr;
        if (!entries.isEmpty()) {
            auto *combo = new EditableList(box);
            for (const QByteArray &entry : entries)
                combo->addItem(fromBytes(entry));
            combo->setEditText(start);
            combo->lineEdit()->setCursorPosition(0);
            combo->setValidator(new FieldValidator(combo->lineEdit(), fieldTypingLimit(field)));
            control = combo;
        } else {
            // No setMaxLength: it would also cut texts that a reply or a file
            // puts here, and those are taken whole. The validator limits
            // typing only.
            auto *edit = new QLineEdit(start, box);
            edit->setValidator(new FieldValidator(edit, fieldTypingLimit(field)));
            control = edit;
        }
        place(field, control);
    }
    // The rule follows a pick from the list (by the mouse or the arrow keys)
    // only; typing a mode name is not meant to apply it.
    connect(static_cast<QComboBox *>(field(ConfigField::Mode)), &QComboBox::activated, this,
            &ReaderConfigDialog::Mode_Click);

    // Where the texts come from, in the grid's two empty cells: a technician
    // must not take the starting texts for the reader's configuration.
    TextSource = new MessageLine(frame);
    TextSource->setObjectName(QStringLiteral("TextSource"));
    placeTwips(TextSource, ColumnLeft[0], RowTop[2] + 60, spanWidth(2), 285);
    // What became of the last read request, below it in the same cells.
    RequestStatus = new MessageLine(frame);
    RequestStatus->setObjectName(QStringLiteral("RequestStatus"));
    placeTwips(RequestStatus, ColumnLeft[0], RowTop[2] + 345, spanWidth(2), RowHeight - 345);

    SendConfig = new QPushButton(QStringLiteral("Send Setup to Reader"), frame);
    SendConfig->setObjectName(QStringLiteral("SendConfig"));
    placeTwips(SendConfig, ColumnLeft[0], ButtonRowTop, spanWidth(2), ButtonRowHeight);

    ReadConfig = new QPushButton(QStringLiteral("Read Configuration,L"), frame);
    ReadConfig->setObjectName(QStringLiteral("ReadConfig"));
    placeTwips(ReadConfig, ColumnLeft[2], ButtonRowTop, spanWidth(2), ButtonRowHeight);

    WriteToFile = new WrapButton(QStringLiteral("Write to File (Reader Name as file name)"), this);
    WriteToFile->setObjectName(QStringLiteral("WriteToFile"));
    placeTwips(WriteToFile, 120, 4320, 2280, 780);

    LoadFile = new QPushButton(QStringLiteral("Load from File"), this);
    LoadFile->setObjectName(QStringLiteral("LoadFile"));
    placeTwips(LoadFile, 2520, 4320, 1560, 780);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    placeTwips(File1, 4200, 4320, 2880, 780);

    Problem = new MessageLine(this);
    Problem->setObjectName(QStringLiteral("Problem"));
    placeTwips(Problem, 120, 5160, 6960, 315);

    // Enter presses the button that has the focus, and no other: Enter in a
    // field is no click on a button.
    pressButtonsOnEnter(this);
    showCutTextsWhole(this);

    QList<QWidget *> keyboardOrder;
    for (ConfigField f : KeyboardOrder)
        keyboardOrder << field(f);
    keyboardOrder << ReadConfig << SendConfig << File1 << WriteToFile << LoadFile;
    for (qsizetype i = 1; i < keyboardOrder.size(); ++i)
        setTabOrder(keyboardOrder[i - 1], keyboardOrder[i]);

    connect(SendConfig, &QPushButton::clicked, this, &ReaderConfigDialog::SendConfig_Click);
    connect(ReadConfig, &QPushButton::clicked, this, &ReaderConfigDialog::ReadConfig_Click);
    connect(WriteToFile, &QPushButton::clicked, this, &ReaderConfigDialog::WriteToFile_Click);
    connect(LoadFile, &QPushButton::clicked, this, &ReaderConfigDialog::LoadFile_Click);

    // Until the first mode rule runs, only the handshake is out of sight.
    field(ConfigField::HandShake)->hide();
}

void ReaderConfigDialog::Form_Load()
{
    m_source = tr("starting texts, not the reader's");
    showSource();
    Mode_Click();
    ReadConfig_Click();
}

void ReaderConfigDialog::keyPressEvent(QKeyEvent *event)
{
    // Escape would close the dialog and lose every edit not yet sent.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    KeepingDialog::keyPressEvent(event);
}

void ReaderConfigDialog::markEdited()
{
    if (m_edited)
        return;
    m_edited = true;
    showSource();
}

void ReaderConfigDialog::showSource()
{
    QString text = tr("Texts: %1").arg(m_source);
    if (m_edited)
        text += tr(", edited");
    TextSource->showMessage(text);
}

void ReaderConfigDialog::showRequest(const ReplyWatch::Report &report)
{
    const int seconds = ReaderChannel::AnswerWaitMs / 1000;
    QString text;
    switch (report.outcome) {
    case ReplyWatch::Outcome::Decoded:
        text = tr("Reply decoded at %1.").arg(clockText(report.at));
        break;
    case ReplyWatch::Outcome::Mixed:
        // What to do first: a narrow box shows the start, its tooltip the rest.
        text = tr("Not decoded: reply mixed with tag reads, row of %1%2. Stop the reads (LOFF in Track and Universal) "
                  "or take the tags out of the field, then read again.")
                   .arg(clockText(report.at), report.arriving ? tr(" (still arriving)") : QString());
        break;
    case ReplyWatch::Outcome::InPieces:
        text = tr("Not decoded: reply in pieces, rows of %1 and %2 (a pause over the quiet interval inside it). "
                  "Read again.")
                   .arg(clockText(report.at), clockText(report.second));
        break;
    case ReplyWatch::Outcome::Incomplete:
        text = tr("Only the start of a reply came within %1 s. Read again.").arg(seconds);
        break;
    case ReplyWatch::Outcome::Nothing:
        text = report.bytes == 0 ? tr("Nothing came within %1 s of the read request.").arg(seconds)
                                 : tr("No reply within %1 s; %2 bytes of other data came.")
                                       .arg(seconds)
                                       .arg(report.bytes);
        break;
    }
    RequestStatus->showMessage(text);
}

// ---- fields ----------------------------------------------------------------------

QString ReaderConfigDialog::fieldText(ConfigField f) const
{
    QWidget *control = field(f);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    return static_cast<QComboBox *>(control)->currentText();
}

void ReaderConfigDialog::setFieldText(ConfigField f, const QString &text)
{
    QWidget *control = field(f);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else
        static_cast<QComboBox *>(control)->setEditText(text);
    // Show a text from its start: "Range 4(100%)" is wider than its box.
    editOf(control)->setCursorPosition(0);
}

std::optional<ConfigFields> ReaderConfigDialog::eightBitFields(const QString &refusedAction)
{
    ConfigFields out;
    for (ConfigField f : AllConfigFields) {
        const Result<QByteArray> bytes = toBytes(fieldText(f));
        if (!bytes) {
            showProblem(tr("%1: %2 holds %3, a character outside 8 bits").arg(refusedAction, caption(f), bytes.error()),
                        field(f));
            return std::nullopt;
        }
        out[f] = *bytes;
    }
    return out;
}

// ---- mode rule -------------------------------------------------------------------

void ReaderConfigDialog::Mode_Click()
{
    // A field is shown exactly when the mode's configuration string carries
    // it; a text that names no mode leaves every field as it is.
    const Result<QByteArray> name = toBytes(fieldText(ConfigField::Mode));
    const std::optional<ReaderMode> mode = name ? modeFromName(*name) : std::nullopt;
    if (!mode)
        return;
    for (ConfigField f : AllConfigFields) {
        if (isModeDependent(f))
            field(f)->setVisible(modeCarries(*mode, f));
    }
}

// ---- the exchange with the reader ----------------------------------------------------

void ReaderConfigDialog::ReadConfig_Click()
{
    if (m_channel->send(configReadRequest(), commandRule(ReaderCommand::ReadConfig))) {
        m_replyWatch->requestSent();
        RequestStatus->showMessage(tr("Read request sent at %1; waiting for the reply.")
                                       .arg(clockText(QDateTime::currentMSecsSinceEpoch())));
    } else {
        m_replyWatch->stop();
        RequestStatus->showMessage(tr("Read request not sent: no link is open."));
    }
}

void ReaderConfigDialog::applyReply(const DecodedConfig &decoded)
{
    setFieldText(ConfigField::Mode, QLatin1String(modeName(decoded.mode)));
    Mode_Click();
    // Each field the reply gave a text; the others keep theirs.
    for (ConfigField f : AllConfigFields) {
        if (const std::optional<QByteArray> &value = decoded[f])
            setFieldText(f, fromBytes(*value));
    }
    m_source = tr("the reader's reply of %1").arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    m_edited = false;
    showSource();
}

void ReaderConfigDialog::SendConfig_Click()
{
    clearProblem();
    const std::optional<ConfigFields> texts = eightBitFields(tr("Not sent"));
    if (!texts)
        return;
    const Result<QByteArray, ConfigProblem> command = configWriteCommand(*texts);
    if (!command) {
        showProblem(command.error().text, command.error().field ? field(*command.error().field) : nullptr);
        return;
    }
    commandSent(m_sendWatch, Problem, m_channel->send(*command, commandRule(ReaderCommand::ConfigWrite)));
}

// ---- configuration files -----------------------------------------------------------

void ReaderConfigDialog::WriteToFile_Click()
{
    clearProblem();
    // A name that cannot name a file is said at once; the write itself takes
    // the name and the texts of one moment, the tick's, so a reply arriving in
    // between cannot put one reader's texts in another reader's file.
    if (const Result<QString> name = configFileName(fieldText(ConfigField::ReaderName)); !name) {
        showProblem(name.error(), field(ConfigField::ReaderName));
        return;
    }
    // Nothing is emptied or created here: the file keeps its old contents until
    // the new ones are complete, so a failed write loses nothing. A second
    // click within the second only sets the tick a second later.
    TmrWait.start(WriteDelayMs);
}

void ReaderConfigDialog::TmrWait_Timer()
{
    TmrWait.stop();
    writeFileNow(true);
}

bool ReaderConfigDialog::writeFileNow(bool refreshList)
{
    const Result<QString> name = configFileName(fieldText(ConfigField::ReaderName));
    if (!name) {
        showProblem(name.error(), field(ConfigField::ReaderName));
        return false;
    }
    const std::optional<ConfigFields> texts = eightBitFields(tr("%1 not written").arg(*name));
    if (!texts)
        return false;
    const Done written = writeLineFile(QDir(m_directory).filePath(*name), configFileLines(*texts));
    if (refreshList)
        refreshFileList();
    if (!written) {
        showProblem(written.error());
        return false;
    }
    return true;
}

void ReaderConfigDialog::refreshFileList()
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    const QByteArray keep = selected.isEmpty() ? QByteArray() : selected.first()->data(Qt::UserRole).toByteArray();
    File1->clear();
    // Every ".zq" name shows, whatever its bytes; the item keeps the bytes
    // that open it.
    for (const ConfigFileEntry &entry : configFileEntries(m_directory)) {
        auto *item = new QListWidgetItem(entry.shownName, File1);
        item->setData(Qt::UserRole, entry.rawName);
        if (!keep.isEmpty() && entry.rawName == keep)
            File1->setCurrentItem(item);
    }
}

void ReaderConfigDialog::LoadFile_Click()
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    if (!selected.isEmpty()) {
        const QByteArray rawName = selected.first()->data(Qt::UserRole).toByteArray();
        const QString shown = selected.first()->text();
        clearProblem();
        // The list may be stale: what is there now is what the user sees after
        // the load, a file gone since included.
        refreshFileList();
        const auto lines = readConfigFile(m_directory, rawName);
        if (!lines) {
            showProblem(lines.error().message);
        } else {
            for (const auto &[f, text] : configFileAssignments(*lines))
                setFieldText(f, fromBytes(text));
            m_source = tr("file %1").arg(shown);
            m_edited = false;
            showSource();
        }
    }
    Mode_Click();
}

// ---- messages ----------------------------------------------------------------------

void ReaderConfigDialog::showProblem(const QString &text, QWidget *field)
{
    clearProblem();
    m_problem = text;
    // One line: what does not fit ends in an ellipsis, and the whole text is
    // the tooltip. The messages put their reason first.
    Problem->setStyleSheet(QStringLiteral("color: #a00000;"));
    Problem->showMessage(text);
    if (field) {
        m_markedField = field;
        field->setProperty("invalid", true);
        field->setStyleSheet(QString::fromLatin1(MarkStyle).arg(field->objectName()));
    }
}

void ReaderConfigDialog::clearProblem()
{
    m_problem.clear();
    Problem->showMessage(QString());
    if (m_markedField) {
        QWidget *field = std::exchange(m_markedField, nullptr);
        field->setProperty("invalid", false);
        field->setStyleSheet(QString());
    }
}

// ---- closing -----------------------------------------------------------------------

Done ReaderConfigDialog::saveOnClose()
{
    if (!TmrWait.isActive())
        return Done();
    // Closing is the armed write's moment: the name and texts of now.
    TmrWait.stop();
    if (writeFileNow(false))
        return Done();
    return failure(m_problem);
}

void ReaderConfigDialog::showCloseProblem(const QString &text)
{
    showProblem(text);
}

} // namespace zanto
