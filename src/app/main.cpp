#include "app/mainwindow.h"
#include "config/romfolders.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"
#include "platform/folders.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setWindowIcon(forms::applicationIcon());

    app::AppContext context;
    context.applicationFolder = platform::applicationFolder();
    context.configFiles = config::configFiles(QStringLiteral(QUORVANE_CONFIG_DIR));
    // The emulator's output goes beside a portable configuration file, else to the user's cache.
    context.logFolder = context.configFiles.portable ? QFileInfo(context.configFiles.file).absolutePath()
                                                     : platform::userCacheFolder();

    app::MainWindow window(context);
    window.loadStartState();
    window.adjustSize();
    forms::centreOnScreen(&window);
    window.show();
    return application.exec();
}
