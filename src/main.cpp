#include "app/appearance.h"
#include "app/mainwindow.h"
#include "platform/textfile.h"
#include "platform/writingfiles.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    // A stop in the middle of a save takes the save's unfinished file with it;
    // one left by a program that could not (killed, or the machine went down)
    // goes at the next start. Files other running instances write are kept.
    zanto::WritingFiles::removeOnSignals();
    QApplication app(argc, argv);
    zanto::removeLeftoverTemporaryFiles(QDir::currentPath());
    zanto::applyAppearance(app);
    zanto::MainWindow window;
    window.show();
    return app.exec();
}
