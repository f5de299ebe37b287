#include "config/readerconfigdialog.h"

#include "config/configfiles.h"
#include "platform/latin1.h"
#include "platform/textfile.h"
#include "platform/twips.h"
#include "platform/wrapbutton.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QValidator>

#include <algorithm>
#include <utility>

namespace zanto {

namespace {

// Typing rules for one field. What the user types is held to the field's
// length limit and to 8-bit characters; what the program puts there (a decoded
// reply, a loaded file) is taken whole, so a longer text from a file stands and
// can still be shortened by hand.
class TypedTextValidator : public QValidator
{
public:
    TypedTextValidator(QLineEdit *edit, int maxTyped)
        : QValidator(edit)
        , m_edit(edit)
        , m_maxTyped(maxTyped)
        , m_before(edit->text())
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
    }

    State validate(QString &input, int &) const override
    {
        // setText() clears the undo history, and every edit by the user adds to
        // it: no undo step means the program has just set this text.
        if (!m_edit->isUndoAvailable())
            return Acceptable;
        // Growing beyond the limit is refused; shortening a longer text that the
        // program put there is not.
        if (m_maxTyped >= 0 && input.size() > m_maxTyped && input.size() > m_before.size())
            return Invalid;
        if (wideCount(input) > wideCount(m_before))
            return Invalid;
        return Acceptable;
    }

private:
    static qsizetype wideCount(const QString &text)
    {
        return std::count_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    }

    QLineEdit *m_edit;
    int m_maxTyped;
    QString m_before;
};

// The captions the dialog shows, in file order; messages name fields the same way.
constexpr std::array<const char *, ConfigFieldCount> Captions = {
    "ReaderName", "Mode", "Baud Rate", "RS485 Port Mode", "Frequency", "Term Char(HEX)",
    "Head Char(HEX)", "Fixed String Length", "Handshake(HEX)", "Heartbeat", "Tags to read for LON",
    "Read Range",
};

QString caption(ConfigField field)
{
    return QLatin1String(Captions[static_cast<std::size_t>(field)]);
}

// Which of the mode-dependent fields each mode shows: exactly the fields its
// configuration string carries.
struct ModeVisibility {
    const char *mode;
    bool termChar, headChar, stringLength, heartbeat, handShake, tagsToRead;
};
constexpr std::array<ModeVisibility, 4> ModeRule = {{
    {"Standard", false, false, false, false, false, false},
    {"Enhanced", true, false, true, false, false, false},
    {"Track", true, true, true, false, true, true},
    {"Universal", true, true, true, true, false, false},
}};

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

ReaderConfigDialog::ReaderConfigDialog(SendFunction send, QWidget *parent)
    : KeepingDialog(parent)
    , m_send(std::move(send))
    , m_directory(QDir::currentPath())
{
    setObjectName(QStringLiteral("ReaderConfig"));
    setWindowTitle(QStringLiteral("Configure Reader"));
    setFixedSize(twips(7200), twips(5565));

    buildControls();

    TmrWait.setObjectName(QStringLiteral("TmrWait"));
    TmrWait.setSingleShot(true);
    TmrWait.setInterval(1000);
    connect(&TmrWait, &QTimer::timeout, this, &ReaderConfigDialog::TmrWait_Timer);

    refreshFileList();
    Form_Load();
}

ReaderConfigDialog::~ReaderConfigDialog()
{
    // Torn down without a close (the program ending): a click on "Write to
    // File" still gets its file.
    if (TmrWait.isActive()) {
        TmrWait.stop();
        writePendingFile(false);
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
        placeTwips(box, ColumnLeft[column], RowTop[row], spanWidth(columns), RowHeight);
        return box;
    };
    auto place = [this](ConfigField field, QWidget *control) {
        control->setObjectName(QLatin1String(fieldControlName(field)));
        const QWidget *box = control->parentWidget();
        control->setGeometry(twips(105), twips(300), box->width() - twips(210), twips(315));
        m_controls[static_cast<std::size_t>(field)] = control;
        // An edit of the field a message is about settles that message.
        auto settle = [this, control] {
            if (m_markedField == control)
                clearProblem();
        };
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            connect(edit, &QLineEdit::textChanged, this, settle);
        else if (auto *combo = qobject_cast<QComboBox *>(control))
            connect(combo, &QComboBox::editTextChanged, this, settle);
    };
    auto list = [&](ConfigField field, int row, int column, int columns, const QList<QByteArray> &entries,
                    const char *start) {
        auto *combo = new QComboBox(fieldBox(field, row, column, columns));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Case-sensitive completion: a typed text is never turned into a listed
        // entry of another case behind the user's back.
        if (QCompleter *completer = combo->completer())
            completer->setCaseSensitivity(Qt::CaseSensitive);
        for (const QByteArray &entry : entries)
            combo->addItem(fromBytes(entry));
        combo->setEditText(QLatin1String(start));
        combo->lineEdit()->setCursorPosition(0);
        combo->setValidator(new TypedTextValidator(combo->lineEdit(), -1));
        place(field, combo);
        return combo;
    };
    auto text = [&](ConfigField field, int row, int column, int maxTyped, const char *start) {
        // No setMaxLength: it would also cut texts that a reply or a file puts
        // here, and those are taken whole. The validator limits typing only.
        auto *edit = new QLineEdit(QLatin1String(start), fieldBox(field, row, column, 1));
        edit->setValidator(new TypedTextValidator(edit, maxTyped));
        place(field, edit);
        return edit;
    };

    Mode = list(ConfigField::Mode, 0, 0, 1, modeEntries(), "Standard");
    BaudRate = list(ConfigField::BaudRate, 0, 1, 1, baudRateEntries(), "9600");
    TermChar = text(ConfigField::TermChar, 0, 2, 2, "0D");
    HandShake = text(ConfigField::HandShake, 0, 3, 2, "48");
    ReaderName = text(ConfigField::ReaderName, 1, 0, 5, "XXXXX");
    RS485Mode = list(ConfigField::RS485Mode, 1, 1, 1, rs485ModeEntries(), "4-wire");
    HeadChar = text(ConfigField::HeadChar, 1, 2, 2, "00");
    Heartbeat = list(ConfigField::Heartbeat, 1, 3, 1, heartbeatEntries(), "No Heartbeat");
    StringLength = list(ConfigField::StringLength, 2, 2, 1, stringLengthEntries(), "F5");
    TagsToRead = list(ConfigField::TagsToRead, 2, 3, 1, tagsToReadEntries(), "Read Always");
    Frequency = list(ConfigField::Frequency, 3, 0, 3, frequencyEntries(), "Frequency hopping default sub-bands");
    ReadRange = list(ConfigField::ReadRange, 3, 3, 1, readRangeEntries(), "Range 4(100%)");

    // The rule follows a pick from the list only. An editable combo box would
    // otherwise also "pick" the entry matching a typed text when editing ends,
    // and typing a mode name is not meant to apply it.
    disconnect(Mode->lineEdit(), &QLineEdit::editingFinished, Mode, nullptr);
    connect(Mode, &QComboBox::activated, this, &ReaderConfigDialog::Mode_Click);

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

    Problem = new QLabel(this);
    Problem->setObjectName(QStringLiteral("Problem"));
    Problem->setWordWrap(false);
    Problem->setStyleSheet(QStringLiteral("color: #a00000;"));
    placeTwips(Problem, 120, 5160, 6960, 315);

    // Enter in a field is no click on a button.
    for (QPushButton *button : {SendConfig, ReadConfig, WriteToFile, LoadFile})
        button->setAutoDefault(false);

    const QList<QWidget *> keyboardOrder{Mode,         ReaderName, BaudRate,   RS485Mode,  TermChar, HeadChar,
                                         Frequency,    ReadRange,  StringLength, Heartbeat, TagsToRead, HandShake,
                                         ReadConfig,   SendConfig, File1,      WriteToFile, LoadFile};
    for (qsizetype i = 1; i < keyboardOrder.size(); ++i)
        setTabOrder(keyboardOrder[i - 1], keyboardOrder[i]);

    connect(SendConfig, &QPushButton::clicked, this, &ReaderConfigDialog::SendConfig_Click);
    connect(ReadConfig, &QPushButton::clicked, this, &ReaderConfigDialog::ReadConfig_Click);
    connect(WriteToFile, &QPushButton::clicked, this, &ReaderConfigDialog::WriteToFile_Click);
    connect(LoadFile, &QPushButton::clicked, this, &ReaderConfigDialog::LoadFile_Click);

    // Until the first mode rule runs, only the handshake is out of sight.
    HandShake->hide();
}

void ReaderConfigDialog::Form_Load()
{
    Mode_Click();
    ReadConfig_Click();
}

// ---- fields ----------------------------------------------------------------------

QWidget *ReaderConfigDialog::fieldControl(ConfigField field) const
{
    return m_controls[static_cast<std::size_t>(field)];
}

QString ReaderConfigDialog::fieldText(ConfigField field) const
{
    QWidget *control = fieldControl(field);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    return static_cast<QComboBox *>(control)->currentText();
}

void ReaderConfigDialog::setFieldText(ConfigField field, const QString &text)
{
    QWidget *control = fieldControl(field);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else
        static_cast<QComboBox *>(control)->setEditText(text);
    // Show a text from its start: "Range 4(100%)" is wider than its box.
    editOf(control)->setCursorPosition(0);
}

void ReaderConfigDialog::setFieldText(ConfigField field, const QByteArray &text)
{
    setFieldText(field, fromBytes(text));
}

ConfigFields ReaderConfigDialog::fields() const
{
    ConfigFields out;
    for (int k = 0; k < ConfigFieldCount; ++k) {
        const auto field = static_cast<ConfigField>(k);
        zanto::fieldText(out, field) = fieldText(field).toLatin1();
    }
    return out;
}

std::optional<ConfigFields> ReaderConfigDialog::eightBitFields(const QString &refusedAction)
{
    ConfigFields out;
    for (int k = 0; k < ConfigFieldCount; ++k) {
        const auto field = static_cast<ConfigField>(k);
        const QString text = fieldText(field);
        const std::optional<QByteArray> bytes = toBytes(text);
        if (!bytes) {
            showProblem(tr("%1: %2 holds %3, a character outside 8 bits")
                            .arg(refusedAction, caption(field), firstWideCharacter(text)),
                        fieldControl(field));
            return std::nullopt;
        }
        zanto::fieldText(out, field) = *bytes;
    }
    return out;
}

// ---- mode rule -------------------------------------------------------------------

void ReaderConfigDialog::Mode_Click()
{
    const QString mode = Mode->currentText();
    for (const ModeVisibility &row : ModeRule) {
        if (mode != QLatin1String(row.mode))
            continue;
        TermChar->setVisible(row.termChar);
        HeadChar->setVisible(row.headChar);
        StringLength->setVisible(row.stringLength);
        Heartbeat->setVisible(row.heartbeat);
        HandShake->setVisible(row.handShake);
        TagsToRead->setVisible(row.tagsToRead);
        return;
    }
    // Any other text leaves the fields as they are.
}

// ---- the exchange with the reader ----------------------------------------------------

void ReaderConfigDialog::ReadConfig_Click()
{
    m_send(configReadRequest(), LinkRule::TcpFirst);
}

void ReaderConfigDialog::applyReply(const DecodedConfig &decoded)
{
    setFieldText(ConfigField::Mode, QByteArray(modeName(decoded.mode)));
    Mode_Click();
    // In the order the reply is read, so a field's text is what the last step
    // that touches it put there.
    const std::pair<ConfigField, const std::optional<QByteArray> &> steps[] = {
        {ConfigField::ReaderName, decoded.readerName},     {ConfigField::Frequency, decoded.frequency},
        {ConfigField::ReadRange, decoded.readRange},       {ConfigField::BaudRate, decoded.baudRate},
        {ConfigField::RS485Mode, decoded.rs485Mode},       {ConfigField::StringLength, decoded.stringLength},
        {ConfigField::TermChar, decoded.termChar},         {ConfigField::HeadChar, decoded.headChar},
        {ConfigField::HandShake, decoded.handShake},       {ConfigField::TagsToRead, decoded.tagsToRead},
        {ConfigField::Heartbeat, decoded.heartbeat},
    };
    for (const auto &[field, value] : steps) {
        if (value)
            setFieldText(field, *value);
    }
}

void ReaderConfigDialog::SendConfig_Click()
{
    clearProblem();
    const std::optional<ConfigFields> texts = eightBitFields(tr("Not sent"));
    if (!texts)
        return;
    const ConfigBuildResult built = BuildConfigString(*texts);
    if (!built.ok) {
        showProblem(tr("Not sent: %1").arg(built.problem), built.badField ? fieldControl(*built.badField) : nullptr);
        return;
    }
    const std::optional<QByteArray> command = buildConfigWriteCommand(built.string);
    if (!command) {
        showProblem(tr("Not sent: the configuration string is longer than 99 characters"));
        return;
    }
    m_send(*command, LinkRule::SerialFirst);
}

// ---- configuration files -----------------------------------------------------------

void ReaderConfigDialog::WriteToFile_Click()
{
    clearProblem();
    const ConfigFileName name = configFileName(ReaderName->text());
    if (!name.problem.isEmpty()) {
        showProblem(name.problem, ReaderName);
        return;
    }
    // Nothing is emptied or created here: the file keeps its old contents until
    // the new ones are complete, so a failed write loses nothing. A click for
    // another name while one is armed writes the earlier one now, so every
    // click gets its file.
    if (TmrWait.isActive() && m_pendingFileName != name.fileName) {
        TmrWait.stop();
        writePendingFile(true);
    }
    m_pendingFileName = name.fileName;
    TmrWait.start(1000);
}

void ReaderConfigDialog::TmrWait_Timer()
{
    TmrWait.stop();
    writePendingFile(true);
}

bool ReaderConfigDialog::writePendingFile(bool refreshList)
{
    if (m_pendingFileName.isEmpty())
        return true;
    // Under the name of the click, with the texts of now: changing ReaderName
    // within the second neither loses that file nor writes one for the new name.
    const QString fileName = std::exchange(m_pendingFileName, QString());
    const std::optional<ConfigFields> texts = eightBitFields(tr("%1 not written").arg(fileName));
    if (!texts)
        return false;
    const QString problem = writeLineFile(QDir(m_directory).filePath(fileName), configFileLines(*texts));
    if (refreshList)
        refreshFileList();
    if (!problem.isEmpty()) {
        showProblem(tr("Not written: %1").arg(problem));
        return false;
    }
    return true;
}

void ReaderConfigDialog::refreshFileList()
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    const QString keep = selected.isEmpty() ? QString() : selected.first()->text();
    File1->clear();
    File1->addItems(configFileNames(m_directory));
    if (keep.isEmpty())
        return;
    for (int row = 0; row < File1->count(); ++row) {
        if (File1->item(row)->text() == keep) {
            File1->setCurrentRow(row);
            break;
        }
    }
}

void ReaderConfigDialog::LoadFile_Click()
{
    const QList<QListWidgetItem *> selected = File1->selectedItems();
    if (!selected.isEmpty()) {
        const QString name = selected.first()->text();
        clearProblem();
        // The list may be stale: what is there now is what the user sees after
        // the load, a file gone since included.
        refreshFileList();
        const ConfigFileContent content = readConfigFile(QDir(m_directory).filePath(name));
        if (!content.problem.isEmpty()) {
            showProblem(content.problem);
        } else {
            for (const auto &[field, text] : configFileAssignments(content.lines))
                setFieldText(field, text);
        }
    }
    Mode_Click();
}

// ---- messages ----------------------------------------------------------------------

QString ReaderConfigDialog::problemText() const
{
    return Problem->text();
}

void ReaderConfigDialog::showProblem(const QString &text, QWidget *field)
{
    clearProblem();
    Problem->setText(text);
    Problem->setToolTip(text);
    if (field) {
        m_markedField = field;
        field->setProperty("invalid", true);
        field->setStyleSheet(QString::fromLatin1(MarkStyle).arg(field->objectName()));
    }
}

void ReaderConfigDialog::clearProblem()
{
    Problem->clear();
    Problem->setToolTip(QString());
    if (m_markedField) {
        QWidget *field = std::exchange(m_markedField, nullptr);
        field->setProperty("invalid", false);
        field->setStyleSheet(QString());
    }
}

// ---- closing -----------------------------------------------------------------------

QString ReaderConfigDialog::saveOnClose()
{
    if (!TmrWait.isActive())
        return {};
    TmrWait.stop();
    return writePendingFile(false) ? QString() : Problem->text();
}

void ReaderConfigDialog::showCloseProblem(const QString &text)
{
    Problem->setText(text);
}

} // namespace zanto
