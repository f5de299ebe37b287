// How zantoctl writes what the reader sent: every control character escaped,
// in the plain lines and in JSON alike, every other byte as its character.
#include "ctlformat.h"

#include <QTest>

using namespace zantoctl;

class TstCtlFormat : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void escapes_data();
    void escapes();
    void burstLines();
};

void TstCtlFormat::escapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("plain"); // as a terminal shows it (UTF-8)
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("text") << QByteArray("OK 12") << QByteArray("OK 12") << QByteArray("\"OK 12\"");
    QTest::newRow("CR LF") << QByteArray("A\r\n") << QByteArray("A/0D/0A") << QByteArray("\"A\\u000D\\u000A\"");
    QTest::newRow("NUL and DEL") << QByteArray("\0\x7F", 2) << QByteArray("/00/7F") << QByteArray("\"\\u0000\\u007F\"");
    QTest::newRow("C1: NEL, CSI") << QByteArray("\x85\x9B") << QByteArray("/85/9B") << QByteArray("\"\\u0085\\u009B\"");
    QTest::newRow("past C1") << QByteArray("\xA0\xE9\xFF") << QByteArray("\xC2\xA0\xC3\xA9\xC3\xBF")
                             << QByteArray("\"\xC2\xA0\xC3\xA9\xC3\xBF\"");
    QTest::newRow("quote, backslash, slash") << QByteArray("\"\\/41") << QByteArray("\"\\/2F41")
                                             << QByteArray("\"\\\"\\\\/41\"");
}

void TstCtlFormat::escapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, json);
    QCOMPARE(shownText(bytes), plain);
    QCOMPARE(jsonString(bytes), json);
}

// One line a burst whatever it holds; a cut burst says so.
void TstCtlFormat::burstLines()
{
    const QByteArray bytes("\x85X\r\n", 4);
    const QByteArray plain = burstLine(bytes, 0, false);
    QCOMPARE(plain.count('\n'), 1);
    QVERIFY2(plain.endsWith("\t 85 58 0D 0A\t/85X/0D/0A\n"), plain.constData());
    const QByteArray json = burstLine(bytes, 0, true);
    QVERIFY2(json.endsWith("\"hex\":\"85580D0A\",\"length\":4}\n"), json.constData());
    QVERIFY(burstLine(bytes, 0, false, true).endsWith("\t(cut short: no pause ended it)\n"));
    QVERIFY(burstLine(bytes, 0, true, true).endsWith(",\"ended\":false}\n"));
}

QTEST_GUILESS_MAIN(TstCtlFormat)
#include "tst_ctlformat.moc"
