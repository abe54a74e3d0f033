// VintrelFrontEnd: a desktop front-end that converts a raw image with bin2iso and runs
// vintrel on it.

#include <QApplication>

#include "frmmain.h"
#include "qt_platform.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(APPLICATION_TITLE);
    Qt_Platform platform;
    frmmain form(platform);
    form.show();
    return app.exec();
}
