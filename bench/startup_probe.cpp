// The tool's own start-up (the same steps as its main()), printing "shown" once
// the main window has been shown and its first events handled. Used by the
// start-up benchmark, so the tool itself carries no timing hooks.
#include "app/appearance.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    zanto::applyAppearance(app);
    zanto::MainWindow window;
    window.show();
    QTimer::singleShot(0, [] {
        std::printf("shown\n");
        std::fflush(stdout);
    });
    return app.exec();
}
