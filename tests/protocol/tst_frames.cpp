// The reader's command vocabulary and frames against the golden frames typed
// by hand in tests/data/frames.txt: every builder gives the bytes, every parser
// takes them apart again, and what is no frame is refused.
#include "protocol/answerfile.h"
#include "protocol/commands.h"
#include "protocol/tagdata.h"

#include <QTest>

#include <algorithm>
#include <string>

using namespace zanto;

namespace {

LinkRule rule(const QByteArray &name, int line)
{
    const QList<QPair<QByteArray, LinkRule>> rules = {
        {"tcp-first", LinkRule::TcpFirst}, {"both-links", LinkRule::BothLinks}, {"serial-first", LinkRule::SerialFirst}};
    for (const auto &[ruleName, value] : rules) {
        if (ruleName == name)
            return value;
    }
    qFatal("answer line %d: no link rule %s", line, name.constData());
}

const QList<AnswerRecord> &frames()
{
    static const QList<AnswerRecord> all = readAnswerFile("frames.txt");
    return all;
}

QByteArray bytesOf(const AnswerRecord &r, qsizetype column)
{
    return fromHexColumn(r.column(column), r.line);
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void vocabulary();
    void frames_data();
    void frames();
};

// The command table holds exactly the commands of the answers, each under its
// rule; a received fixed command is told by its whole text, a frame by its lead.
void TestFrames::vocabulary()
{
    qsizetype rows = 0;
    for (const AnswerRecord &r : ::frames()) {
        if (r.kind() != "command" && r.kind() != "lead")
            continue;
        const QByteArray text = r.column(3);
        ++rows;
        if (r.kind() == "command") {
            const std::optional<ReaderCommand> command = identifyCommand(text);
            QVERIFY2(command && commandSpec(*command).fixed, text.constData());
            QCOMPARE(commandText(*command), text);
            QCOMPARE(commandRule(*command), rule(r.column(4), r.line));
            QCOMPARE(commandText(*command) + '\r', bytesOf(r, 5));
            QVERIFY(!identifyCommand(text + ' ') || !commandSpec(*identifyCommand(text + ' ')).fixed);
        } else {
            const std::optional<ReaderCommand> command = identifyCommand(text + "0x");
            QVERIFY2(command && !commandSpec(*command).fixed, text.constData());
            QCOMPARE(commandText(*command), text);
            QCOMPARE(commandRule(*command), rule(r.column(4), r.line));
        }
    }
    QCOMPARE(rows, qsizetype(ReaderCommandCount));
    for (const QByteArray &unknown : {QByteArray("l"), QByteArray("LONG"), QByteArray("RESET2"), QByteArray("W"),
                                      QByteArray("C"), QByteArray()})
        QVERIFY2(!identifyCommand(unknown), unknown.constData());
}

void TestFrames::frames_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArrayList>("columns"); // as bytes; "-" for a refused build
    for (const AnswerRecord &r : ::frames()) {
        if (r.kind() == "command" || r.kind() == "lead")
            continue;
        QByteArrayList columns;
        for (qsizetype i = 1; i < r.columns.size(); ++i) {
            const bool text = (r.kind() == "bad" && i == 1) || (r.kind() == "reply" && i == 1);
            columns << (text || r.columns[i] == "-" ? r.columns[i] : bytesOf(r, i));
        }
        QTest::newRow(("line " + QByteArray::number(r.line) + ": " + r.kind()).constData()) << r.kind() << columns;
    }
}

void TestFrames::frames()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArrayList, columns);
    const QByteArray frame = columns.last();
    const bool refused = frame == "-";
    const QByteArrayView sent = refused ? QByteArrayView() : QByteArrayView(frame).chopped(1);

    if (kind == "tag") {
        const QByteArray text = columns[0], code = columns[1], data = columns[2];
        QCOMPARE(buildTagWriteCommand(text, code).value_or("-") + (refused ? "" : "\r"), frame);
        QCOMPARE(buildTagWriteFrame(data, code).value_or("-") + (refused ? "" : "\r"), frame);
        if (refused)
            return;
        QCOMPARE(frame.back(), '\r');
        QCOMPARE(tagWriteDataLength(sent), std::optional(data.size()));
        QCOMPARE(parseTagWriteCommand(sent), std::optional(TagWriteFrame{data, code}));
        QCOMPARE(identifyCommand(sent), std::optional(ReaderCommand::TagWrite));
    } else if (kind == "short") {
        const QByteArray text = columns[0], code = columns[1];
        QCOMPARE(buildShortTagWriteCommand(text, code).value_or("-") + (refused ? "" : "\r"), frame);
        if (refused)
            return;
        QCOMPARE(parseShortTagWriteCommand(sent), std::optional(ShortTagWriteFrame{text, code}));
        QCOMPARE(identifyCommand(sent), std::optional(ReaderCommand::ShortTagWrite));
    } else if (kind == "config") {
        const QByteArray string = columns[0];
        QCOMPARE(buildConfigWriteCommand(string).value_or("-") + (refused ? "" : "\r"), frame);
        if (refused)
            return;
        QCOMPARE(parseConfigWriteCommand(sent), std::optional(string));
        QCOMPARE(identifyCommand(sent), std::optional(ReaderCommand::ConfigWrite));
    } else if (kind == "reply") {
        const QByteArray mode = columns[0], string = columns[1];
        const char finalChar = columns[2].at(0);
        QCOMPARE(buildConfigReply(string, finalChar), frame);
        const std::optional<ConfigReply> reply = parseConfigReply(frame);
        QVERIFY(reply);
        QCOMPARE(QByteArray(modeName(reply->mode)), mode);
        QCOMPARE(reply->configString, string);
        QCOMPARE(reply->finalChar, finalChar);
    } else if (kind == "bad") {
        const QByteArray what = columns[0];
        if (what == "tag")
            QVERIFY(!parseTagWriteCommand(frame));
        else if (what == "short")
            QVERIFY(!parseShortTagWriteCommand(frame));
        else if (what == "config")
            QVERIFY(!parseConfigWriteCommand(frame));
        else if (what == "reply")
            QVERIFY(!parseConfigReply(frame));
        else
            QFAIL(what.constData());
    } else {
        QFAIL(kind.constData());
    }
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
