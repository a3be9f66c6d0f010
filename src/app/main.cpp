#include "app/mainwindow.h"
#include "config/romfolders.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"
#include "platform/folders.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setWindowIcon(forms::applicationIcon());

    app::AppContext context;
    context.applicationFolder = platform::applicationFolder();
    context.configFiles = config::configFiles(QStringLiteral(QUORVANE_CONFIG_DIR));

    app::MainWindow window(context);
    window.loadStartState();
    window.adjustSize();
    forms::centreOnScreen(&window);
    window.show();
    return application.exec();
}
