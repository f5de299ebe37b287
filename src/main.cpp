#include "app/appearance.h"
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    zanto::applyAppearance(app);
    zanto::MainWindow window;
    window.show();
    return app.exec();
}
