// Renders the tool's windows to PNG files for the README, with a few rows of
// reader output in the grid. Run it offscreen: screenshots OUTPUT_DIR
#include "app/appearance.h"
#include "app/mainwindow.h"
#include "link/receivepipeline.h"
#include "commands/setuptagdialog.h"
#include "config/readerconfigdialog.h"
#include "ethernet/ethernetsettingsdialog.h"
#include "widgets/receivedgrid.h"
#include "protocol/configstring.h"
#include "settings/portsettingsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFontDatabase>
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
    w.Text1->setText(QStringLiteral("1"));
    const QList<QByteArray> bursts{
        "ZANTO READER V3.0 SIM\r\n", "IN1 0\r\n", QByteArray("TAG 3000E2001234567890ABCD\r\n\0", 29),
        buildConfigReply(BuildConfigString(ConfigFields{"Universal"}).string), "W OK 5\r\n",
    };
    for (const QByteArray &b : bursts) {
        w.pipeline()->arrival(b);
        w.pipeline()->endBurstNow();
    }
    w.MSFlexGrid1->flush();
    w.OptUniversal->click();
    w.Text6->setText(QStringLiteral("AB/0DC"));
    bool ok = save(&w, out + QStringLiteral("/main-window.png"));

    ReaderConfigDialog *config = w.readerConfig(true);
    config->Mode->setEditText(QStringLiteral("Track"));
    config->Mode_Click();
    ok &= save(config, out + QStringLiteral("/configure-reader.png"));
    ok &= save(w.portSettings(true), out + QStringLiteral("/port-settings.png"));
    ok &= save(w.setupTag(true), out + QStringLiteral("/setup-tag.png"));
    ok &= save(w.ethernetSettings(true), out + QStringLiteral("/ethernet-settings.png"));
    return ok ? 0 : 1;
}
