#!/usr/bin/env python3
"""Puts small hand-made faults into the code one at a time and sees whether the
tests catch each: the receive path, the reader's codec and the files.

    scripts/fault-run.py [BUILD_DIR] [--only NAME ...]

Builds in BUILD_DIR (default build-faults, configured here once), applies one
fault, rebuilds the tests that cover its area, runs them, puts the code back,
and goes on. Prints one line per fault and the share caught. The source tree
is always restored, also when interrupted.
"""
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The tests that cover each area.
AREAS = {
    "receive": ["tst_pipeline", "tst_link", "tst_links", "tst_serialline", "tst_receive", "tst_receivedgrid",
                "tst_counterbox", "tst_faults", "tst_e2e"],
    "codec": ["tst_configstring", "tst_frames", "tst_tagdata", "tst_linefile", "tst_receivedgrid", "tst_readerconfig",
              "tst_commands", "tst_readersim"],
    "files": ["tst_textfile", "tst_filefaults", "tst_filesyscalls", "tst_configfiles", "tst_faults", "tst_readerconfig",
              "tst_mainwindow", "tst_ethernet"],
}

# Faults that change nothing a test (or a user) can see, and why. They are run
# and reported, but not counted.
EQUIVALENT = {
    "link drops an event without data":
        "Qt's links announce data only, never an event without it, so the path for an empty event is unreachable here",
    "scroll rule starts a row early":
        "with four or more rows in view the rule's top row lies past the last one and the view stops at the newest",
    "written through a planted link":
        "the second look, just before the new file takes the name, refuses the link all the same",
    "share check dropped from the drain":
        "each read is also bounded by what is left of the share, so a full share reads nothing and ends the drain",
}

# (name, area, file, text as it stands, text with the fault)
FAULTS = [
    # ---- receive path ----
    ("burst cut one byte late", "receive", "src/link/receivepipeline.h",
     "MaxBurstBytes = 32767;", "MaxBurstBytes = 32768;"),
    ("quiet count-down not restarted by later arrivals", "receive", "src/link/receivepipeline.cpp",
     "        m_gathering = true;\n        m_quietMs = qMax(0, m_interval());\n        m_sinceArrival.start();",
     "        if (!m_gathering)\n            m_sinceArrival.start();\n        m_gathering = true;\n        m_quietMs = qMax(0, m_interval());"),
    ("quiet timer ends a burst at its first tick", "receive", "src/link/receivepipeline.cpp",
     "    if (quietFor < m_quietMs) {", "    if (false) {"),
    ("row stamped with its last arrival", "receive", "src/link/receivepipeline.cpp",
     "        if (first)\n            m_firstArrivalMs = now;", "        m_firstArrivalMs = now;"),
    ("burst begun by a full cut keeps the old time", "receive", "src/link/receivepipeline.cpp",
     "            if (!m_store.openRow().isEmpty()) {\n                m_firstArrivalMs = now;",
     "            if (!m_store.openRow().isEmpty()) {"),
    ("event without data no longer counted", "receive", "src/link/receivepipeline.cpp",
     "if (!m_store.openRow().isEmpty() || n == 0) {", "if (!m_store.openRow().isEmpty()) {"),
    ("empty burst makes a row", "receive", "src/platform/receivedstore.cpp",
     "        size = m_openSize;\n    if (size == 0)\n        return;", "        size = m_openSize;"),
    ("reused chunk keeps its old fill level", "receive", "src/platform/receivedstore.cpp",
     "        m_spare.pop_back();\n        chunk.used = 0;", "        m_spare.pop_back();"),
    ("budget counts one row too few", "receive", "src/platform/receivedstore.cpp",
     "while (bytes > budget && n < rowCount() - 1)", "while (bytes >= budget && n < rowCount() - 1)"),
    ("dropped rows still counted in the budget", "receive", "src/platform/receivedstore.cpp",
     "        m_bytes -= m_rows[size_t(i)].size;\n", ""),
    ("Clear leaves the open row where it was", "receive", "src/platform/receivedstore.cpp",
     "    std::memmove(chunk.data, chunk.data + chunk.used, size_t(m_openSize));\n", ""),
    ("closed row one byte off", "receive", "src/platform/receivedstore.cpp",
     "    m_rows.push_back(Entry{seq, quint32(chunk.used), quint32(size), arrivalMs});\n    chunk.used += size;\n    m_bytes += quint64(size);\n    m_openSize -= size;",
     "    m_rows.push_back(Entry{seq, quint32(chunk.used + 1), quint32(size), arrivalMs});\n    chunk.used += size;\n    m_bytes += quint64(size);\n    m_openSize -= size;"),
    ("newest row dropped by the budget", "receive", "src/platform/receivedstore.cpp",
     "while (bytes > budget && n < rowCount() - 1)", "while (bytes > budget && n < rowCount())"),
    ("hex digits in lower case", "receive", "src/protocol/hexformat.cpp",
     'static constexpr char digits[] = "0123456789ABCDEF";', 'static constexpr char digits[] = "0123456789abcdef";'),
    ("NUL kept in the text column", "receive", "src/protocol/hexformat.cpp",
     "        if (bytes[i] != '\\0')\n            out.append(bytes[i]);", "        out.append(bytes[i]);"),
    ("space painted as a control character", "receive", "src/widgets/receivedmodel.cpp",
     "        if (b < 0x20)\n            out.append(QChar(ControlPictureBase.unicode() + b));",
     "        if (b <= 0x20)\n            out.append(QChar(ControlPictureBase.unicode() + b));"),
    ("slash before hex digits not escaped in copies", "receive", "src/protocol/textescapes.cpp",
     "if (control || slashReadAsEscape) {", "if (control) {"),
    ("link drops an event without data", "receive", "src/link/readerlink.cpp",
     "        if (n <= 0 && !first)\n            return;", "        if (n <= 0)\n            return;"),
    ("reader closing taken for an error", "receive", "src/platform/tcpclient.cpp",
     "    if (error == QAbstractSocket::RemoteHostClosedError)\n        return;\n", ""),
    ("connected is no longer state 7", "receive", "src/platform/tcpclient.cpp",
     "    case QAbstractSocket::ConnectedState:\n        return Connected;",
     "    case QAbstractSocket::ConnectedState:\n        return Connecting;"),
    ("serial read error leaves the port open", "receive", "src/platform/serialport.cpp",
     "    const bool lineGone = error == QSerialPort::ReadError", "    const bool lineGone = false && error == QSerialPort::ReadError"),
    ("serial line with even parity", "receive", "src/platform/serialport.cpp",
     "port.setParity(QSerialPort::NoParity)", "port.setParity(QSerialPort::EvenParity)"),
    ("serial line with two stop bits", "receive", "src/platform/serialport.cpp",
     "port.setStopBits(QSerialPort::OneStop)", "port.setStopBits(QSerialPort::TwoStop)"),
    ("serial line with 7 data bits", "receive", "src/platform/serialport.cpp",
     "port.setDataBits(QSerialPort::Data8)", "port.setDataBits(QSerialPort::Data7)"),
    ("serial line always at 9600", "receive", "src/platform/serialport.cpp",
     "return port.setBaudRate(baud)", "return port.setBaudRate(9600)"),
    ("serial line with hardware flow control", "receive", "src/platform/serialport.cpp",
     "port.setFlowControl(QSerialPort::NoFlowControl)", "port.setFlowControl(QSerialPort::HardwareControl)"),
    ("serial line with software flow control", "receive", "src/platform/serialport.cpp",
     "port.setFlowControl(QSerialPort::NoFlowControl)", "port.setFlowControl(QSerialPort::SoftwareControl)"),
    ("open serial port keeps its old rate", "receive", "src/platform/serialport.cpp",
     "        if (!configure(*m_port, baud)) {", "        if (false) {"),
    ("link opens the serial port at 9600", "receive", "src/link/readerlink.cpp",
     "serial.open(p.portText, *p.baud)", "serial.open(p.portText, 9600)"),
    ("share check dropped from the drain", "receive", "src/link/readerlink.cpp",
     "        if (taken >= PerEvent)\n            return;\n", ""),
    ("a fast reader drained at one arrival", "receive", "src/link/readerlink.cpp",
     "        if (taken >= PerEvent)\n            return;\n        qsizetype room = 0;\n        char *space = m_sink->reserve(&room);\n        const qint64 n = read(space, qMin(room, PerEvent - taken));",
     "        qsizetype room = 0;\n        char *space = m_sink->reserve(&room);\n        const qint64 n = read(space, room);"),
    ("counter text room without the line edit's margins", "receive", "src/widgets/counterbox.cpp",
     "constexpr int InnerMargin = 2;", "constexpr int InnerMargin = 0;"),
    ("counter font never shrinks", "receive", "src/widgets/counterbox.cpp",
     "    if (f != font())\n        setFont(f);", "    if (false)\n        setFont(f);"),
    ("counter not refitted on resize", "receive", "src/widgets/counterbox.cpp",
     "    QLineEdit::resizeEvent(event);\n    fitText();", "    QLineEdit::resizeEvent(event);"),
    ("counter font never grows back", "receive", "src/widgets/counterbox.cpp",
     "for (int points = m_fullPoints;", "for (int points = font().pointSize();"),
    ("TCP port 0 accepted", "receive", "src/link/linkparameters.cpp",
     "if (ok && number >= 1 && number <= 65535)", "if (ok && number >= 0 && number <= 65535)"),
    ("scroll rule starts a row early", "receive", "src/app/mainwindow.cpp",
     "    if (r > 4)\n        MSFlexGrid1->setTopRow(r - 3);", "    if (r > 3)\n        MSFlexGrid1->setTopRow(r - 3);"),
    ("both-links rule skips the serial port", "receive", "src/protocol/linkrules.cpp",
     "        return {tcpConnected, serialOpen};", "        return {tcpConnected, serialOpen && !tcpConnected};"),
    ("serial-first rule prefers TCP", "receive", "src/protocol/linkrules.cpp",
     "        if (serialOpen)\n            return {false, true};\n        return {tcpConnected, false};",
     "        if (tcpConnected)\n            return {true, false};\n        return {false, serialOpen};"),
    # ---- the reader's codec ----
    ("read ranges 20% and 10% swapped", "codec", "src/protocol/configlayout.cpp",
     '    {"RB", "20%"},\n    {"RA", "10%"},', '    {"RB", "10%"},\n    {"RA", "20%"},'),
    ("baud codes BC and BD swapped", "codec", "src/protocol/configlayout.cpp",
     '    {"BC", "38400", "2-wire"},\n    {"BD", "57600", "2-wire"},',
     '    {"BD", "38400", "2-wire"},\n    {"BC", "57600", "2-wire"},'),
    ("B1 said to be 2-wire", "codec", "src/protocol/configlayout.cpp",
     '    {"B1", "9600", "4-wire"},', '    {"B1", "9600", "2-wire"},'),
    ("frequencies C98 and C99 swapped", "codec", "src/protocol/configlayout.cpp",
     '    {"C98", "Frequency hopping all sub-bands"},\n    {"C99", "Adaptive Frequency all sub-bands"},',
     '    {"C98", "Adaptive Frequency all sub-bands"},\n    {"C99", "Frequency hopping all sub-bands"},'),
    ("heartbeat codes A1 and A2 swapped", "codec", "src/protocol/configlayout.cpp",
     '    {"A1", "Heartbeat"},\n    {"A2", "Heartbeat with handshake"},',
     '    {"A2", "Heartbeat"},\n    {"A1", "Heartbeat with handshake"},'),
    ("string length codes swapped", "codec", "src/protocol/configlayout.cpp",
     '    {"LF8", "Mark only"},\n    {"LFA", "Data+Mark"},', '    {"LFA", "Mark only"},\n    {"LF8", "Data+Mark"},'),
    ("Read Always written as M1", "codec", "src/protocol/configlayout.cpp",
     '    {"M0", "Read Always"},', '    {"M1", "Read Always"},'),
    ("C02 written back", "codec", "src/protocol/configlayout.cpp",
     '    {"C02", "Frequency hopping default sub-bands", true},', '    {"C02", "Frequency hopping default sub-bands", false},'),
    ("Universal prefix $$$$", "codec", "src/protocol/configlayout.cpp",
     '{ReaderMode::Universal, "Universal", "UUUU", UniversalFields},',
     '{ReaderMode::Universal, "Universal", "$$$$", UniversalFields},'),
    ("Track carries head and handshake the other way round", "codec", "src/protocol/configlayout.cpp",
     "F::TermChar, F::HeadChar, F::HandShake, F::TagsToRead};", "F::TermChar, F::HandShake, F::HeadChar, F::TagsToRead};"),
    ("tags to read two characters wide", "codec", "src/protocol/configlayout.cpp",
     "    {F::TagsToRead, 'M', 1, Coding::ListedOrCopied, TagsToReadCodes},",
     "    {F::TagsToRead, 'M', 2, Coding::ListedOrCopied, TagsToReadCodes},"),
    ("handshake letter H", "codec", "src/protocol/configlayout.cpp",
     "    {F::HandShake, 'X', 2, Coding::Copied, {}},", "    {F::HandShake, 'H', 2, Coding::Copied, {}},"),
    ("Enhanced carries the head character", "codec", "src/protocol/configlayout.cpp",
     "                                          F::StringLength, F::TermChar};",
     "                                          F::StringLength, F::TermChar, F::HeadChar};"),
    ("LOFF on the first link only", "codec", "src/protocol/commands.cpp",
     '{C::Loff, "rkz", "Command10", "LOFF", R::BothLinks, true},', '{C::Loff, "rkz", "Command10", "LOFF", R::TcpFirst, true},'),
    ("setup tag read and write swapped", "codec", "src/protocol/commands.cpp",
     '"Command11", "M", R::TcpFirst', '"Command11", "K", R::TcpFirst'),
    ("tag write tens character wraps at 10", "codec", "src/protocol/commands.cpp",
     "    command.append(lengthChar(length / 10));", "    command.append(lengthChar(length / 10 % 10));"),
    ("tag write length read units first", "codec", "src/protocol/commands.cpp",
     "    return *tens * 10 + *units;", "    return *units * 10 + *tens;"),
    ("short form counts one more", "codec", "src/protocol/commands.cpp",
     "    command.append(lengthChar(count));", "    command.append(lengthChar(count + 1));"),
    ("reply shorter by one accepted", "codec", "src/protocol/commands.cpp",
     "if (receivedText.size() != configStringLength(layout.mode) + 5)",
     "if (receivedText.size() != configStringLength(layout.mode) + 4)"),
    ("lower-case hex digits escape", "codec", "src/protocol/tagdata.cpp",
     "    if (c >= 'A' && c <= 'F')\n        return c - 'A' + 10;",
     "    if (c >= 'A' && c <= 'F')\n        return c - 'A' + 10;\n    if (c >= 'a' && c <= 'f')\n        return c - 'a' + 10;"),
    ("escape at the very end not taken", "codec", "src/protocol/tagdata.cpp",
     "if (c != '/' || i + 2 >= n) {", "if (c != '/' || i + 3 >= n) {"),
    ("unknown read range clears the field", "codec", "src/protocol/configstring.cpp",
     "        if (const CodeText *row = findByCode(segment.codes, code))\n            decodedText(decoded, segment.field) = bytes(row->text);\n        return;",
     "        decodedText(decoded, segment.field) = [&] { const CodeText *row = findByCode(segment.codes, code); return row ? bytes(row->text) : QByteArray(); }();\n        return;"),
    ("line break in a field sent", "codec", "src/protocol/configstring.cpp",
     "if (text.contains('\\r') || text.contains('\\n')) {", "if (false) {"),
    ("only CR refused in a field", "codec", "src/protocol/configstring.cpp",
     "if (text.contains('\\r') || text.contains('\\n')) {", "if (text.contains('\\r')) {"),
    ("CR before LF kept in a line", "codec", "src/protocol/linefile.cpp",
     "        if (found && end > start && data[end - 1] == '\\r')\n            --end;\n", ""),
    ("lines end with LF only", "codec", "src/protocol/linefile.cpp",
     '        out.append("\\r\\n");', '        out.append("\\n");'),
    # ---- files ----
    ("a FIFO opened for reading", "files", "src/platform/textfile.cpp",
     "    if (result.kind != FileKind::Regular)\n        return fail(itIs(result.kind));\n\n    // The name may have been swapped",
     "    // The name may have been swapped"),
    ("written through a planted link", "files", "src/platform/textfile.cpp",
     "    if (kind != FileKind::Missing && kind != FileKind::Regular)", "    if (false)"),
    ("a full disk found only after the rename", "files", "src/platform/textfile.cpp",
     "    if (::fsync(out.get()) != 0) {", "    if (false) {"),
    ("a failed write taken as written", "files", "src/platform/textfile.cpp",
     "            if (n <= 0)\n                return n < 0 ? errno : ENOSPC;", "            if (n <= 0)\n                return 0;"),
    ("a line feed split into two lines", "files", "src/platform/textfile.cpp",
     "        if (line.contains('\\n')) {", "        if (false) {"),
    ("a dangling link followed on create", "files", "src/platform/textfile.cpp",
     "O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));",
     "O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));"),
    ("a failed fsync taken as written", "files", "src/platform/textfile.cpp",
     "    if (::fsync(out.get()) != 0) {", "    if (::fsync(out.get()) != 0 && false) {"),
    ("a failed close taken as written", "files", "src/platform/textfile.cpp",
     "    if (!out.close())\n        return cancel(errno);", "    out.close();"),
    ("a failed rename taken as written", "files", "src/platform/textfile.cpp",
     "    if (::renameat(folder.get(), temp.constData(), folder.get(), name.constData()) != 0)\n        return cancel(errno);",
     "    (void)::renameat(folder.get(), temp.constData(), folder.get(), name.constData());"),
    ("a temporary file left after a failure", "files", "src/platform/textfile.cpp",
     "        ::unlinkat(folder.get(), temp.constData(), 0);\n        return notWritten(systemError(error), outcome);",
     "        return notWritten(systemError(error), outcome);"),
    ("a link swapped in is read through", "files", "src/platform/textfile.cpp",
     "O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC", "O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC"),
    ("reader name trimmed in its file name", "files", "src/platform/configfiles.cpp",
     "    result.fileName = readerName + QLatin1String(ConfigFileSuffix);",
     "    result.fileName = readerName.trimmed() + QLatin1String(ConfigFileSuffix);"),
    ("C1 controls in file names", "files", "src/platform/configfiles.cpp",
     "    return u < 0x20 || (u >= 0x7F && u <= 0x9F);", "    return u < 0x20 || u == 0x7F;"),
    ("'..' in a file name", "files", "src/platform/configfiles.cpp",
     '    if (readerName.contains(QLatin1String("..")))', '    if (false)'),
    ("a 4097-character line loaded", "files", "src/platform/configfiles.h",
     "MaxConfigLineLength = 4 * 1024;", "MaxConfigLineLength = 4 * 1024 + 1;"),
    ("directories in the file list", "files", "src/platform/configfiles.cpp",
     "        if (!isDirectory)\n", "        if (true)\n"),
]


def run(cmd, **kwargs):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kwargs)


def main():
    args = sys.argv[1:]
    only = []
    if "--only" in args:
        at = args.index("--only")
        only, args = args[at + 1:], args[:at]
    build = args[0] if args else "build-faults"
    faults = [f for f in FAULTS if not only or f[0] in only]
    if not os.path.exists(os.path.join(ROOT, build, "build.ninja")):
        r = run(["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"])
        if r.returncode:
            sys.exit(r.stdout)
    if run(["cmake", "--build", build]).returncode:
        sys.exit("the unchanged code does not build")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_LOGGING_RULES="qt.qpa.*=false")
    caught = counted = skipped = 0
    for name, area, path, before, after in faults:
        file = os.path.join(ROOT, path)
        original = open(file, encoding="utf-8").read()
        if original.count(before) != 1:
            print(f"SKIPPED  {name}: the text to change stands {original.count(before)} times in {path}")
            skipped += 1
            continue
        start = time.time()
        try:
            open(file, "w", encoding="utf-8").write(original.replace(before, after))
            tests = AREAS[area]
            built = run(["cmake", "--build", build, "--target", *tests])
            if built.returncode:
                verdict, detail = "BUILD", "does not build"
            else:
                ran = run(["ctest", "--test-dir", build, "-R", "^(" + "|".join(tests) + ")$", "--timeout", "300"],
                          env=env)
                verdict = "caught" if ran.returncode else "MISSED"
                failed = re.findall(r"^\s+\d+ - (\S+) \(", ran.stdout, re.MULTILINE)
                detail = ", ".join(failed) or "-"
        finally:
            open(file, "w", encoding="utf-8").write(original)
        if name in EQUIVALENT:
            print(f"{verdict:7}  {name}  [equivalent: {EQUIVALENT[name]}]", flush=True)
            continue
        counted += 1
        if verdict != "MISSED":
            caught += 1
        print(f"{verdict:7}  {name}  [{detail}]  {time.time() - start:.0f} s", flush=True)
    print(f"caught {caught} of {counted} ({100.0 * caught / max(1, counted):.0f} %); "
          f"{len(faults) - counted - skipped} equivalent faults not counted; {skipped} skipped")
    run(["cmake", "--build", build])


if __name__ == "__main__":
    main()
