#include "app/appearance.h"

#include <QApplication>
#include <QFont>

namespace zanto {

void applyAppearance(QApplication &app)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    app.setFont(font);
    app.setApplicationName(QStringLiteral("zanto-setup"));
    app.setApplicationDisplayName(QStringLiteral("ZANTO Setup and Test Program"));
    app.setApplicationVersion(QStringLiteral("3.0"));
}

} // namespace zanto
