#include "app/appearance.h"

#include "protocol/version.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

namespace zanto {

void applyAppearance(QApplication &app)
{
    // The layout was drawn for a narrow 8-point sans-serif; Liberation Sans has
    // those metrics. Elsewhere the desktop's sans-serif stands in.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    app.setFont(font);
    app.setApplicationName(QStringLiteral("zanto-setup"));
    app.setApplicationDisplayName(QStringLiteral("ZANTO Setup and Test Program"));
    app.setApplicationVersion(QLatin1String(ToolVersion));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/zanto-setup-256.png")));
    app.setDesktopFileName(QStringLiteral("zanto-setup"));
}

} // namespace zanto
