// Renders the tool's windows to PNG files for the README, with a few rows of
// reader output in the grid. Run it offscreen: screenshots OUTPUT_DIR
#include "app/appearance.h"
#include "app/mainwindow.h"
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"
#include "protocol/commands.h"
#include "protocol/configstring.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace zanto;

static bool save(QWidget *widget, const QString &path)
{
    // Let the batched grid and counters catch up first.
    QEventLoop settle;
    QTimer::singleShot(120, &settle, &QEventLoop::quit);
    settle.exec();
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    applyAppearance(app);
    const QString out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".")).absolutePath();
    // A real font must be there, or the pictures show boxes instead of text.
    if (QFontDatabase::families().isEmpty()) {
        std::fprintf(stderr, "no fonts found\n");
        return 1;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    MainWindow w;
    w.show();
    // The window's parts by their object names, as a user finds them on screen.
    auto *pipeline = w.findChild<ReceivePipeline *>(QStringLiteral("ReceivePipeline"));
    auto *grid = w.findChild<ReceivedGrid *>(QStringLiteral("MSFlexGrid1"));
    auto *universal = w.findChild<QRadioButton *>(QStringLiteral("OptUniversal"));
    auto *tagData = w.findChild<QLineEdit *>(QStringLiteral("Text6"));
    if (!pipeline || !grid || !universal || !tagData) {
        std::fprintf(stderr, "the main window lacks a part the pictures show\n");
        return 1;
    }
    pipeline->setQuietInterval(1);
    ConfigFields universalConfig;
    universalConfig[ConfigField::Mode] = "Universal";
    const Result<QByteArray, ConfigProblem> configString = BuildConfigString(universalConfig);
    if (!configString) {
        std::fprintf(stderr, "no configuration reply: %s\n", qPrintable(configString.error().text));
        return 1;
    }
    const QList<QByteArray> bursts{
        "ZANTO READER V3.0 SIM\r\n", "IN1 0\r\n", QByteArray("TAG 3000E2001234567890ABCD\r\n\0", 29),
        buildConfigReply(*configString), "W OK 5\r\n",
    };
    for (const QByteArray &b : bursts) {
        pipeline->arrival(b);
        pipeline->endBurstNow();
    }
    grid->flush();
    universal->click();
    tagData->setText(QStringLiteral("AB/0DC"));
    bool ok = save(&w, out + QStringLiteral("/main-window.png"));

    // Each dialog as its menu item opens it.
    const auto openDialog = [&w](const char *action, const char *dialog) -> QDialog * {
        if (auto *item = w.findChild<QAction *>(QLatin1String(action)))
            item->trigger();
        return w.findChild<QDialog *>(QLatin1String(dialog));
    };
    QDialog *config = openDialog("mnuConfigReader", "ReaderConfig");
    auto *mode = config ? config->findChild<QComboBox *>(QStringLiteral("Mode")) : nullptr;
    if (!mode) {
        std::fprintf(stderr, "Configure Reader did not open\n");
        return 1;
    }
    // Track picked from the list with the arrow keys, from whichever mode
    // the reply above left there, so the dialog shows the fields of that mode.
    const int track = mode->findText(QStringLiteral("Track"));
    for (int at = mode->findText(mode->currentText()); at >= 0 && at != track; at += at < track ? 1 : -1) {
        QKeyEvent step(QEvent::KeyPress, at < track ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(mode, &step);
    }
    if (mode->currentText() != QLatin1String("Track")) {
        std::fprintf(stderr, "Track could not be picked in Configure Reader\n");
        return 1;
    }
    ok &= save(config, out + QStringLiteral("/configure-reader.png"));
    struct Picture {
        const char *action, *dialog, *file;
    };
    for (const Picture &p : {Picture{"mnuPortSettings", "PortSet", "port-settings.png"},
                             Picture{"mnuConfigureSetupTag", "readwritesetuptag", "setup-tag.png"},
                             Picture{"mnuEthernet", "EthernetSettings", "ethernet-settings.png"}}) {
        QDialog *dialog = openDialog(p.action, p.dialog);
        ok &= dialog && save(dialog, out + QLatin1Char('/') + QLatin1String(p.file));
    }
    return ok ? 0 : 1;
}
