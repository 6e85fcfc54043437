#include "translations.h"
#include "vantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The window paints with the raster engine alone. Loading the X11 OpenGL
    // integration would only cost start-up time (some 50 ms under Xvfb, the
    // driver's load on a desktop); a user's own choice still wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(VANTREL_APP_ID));
    // English as written unless the user chose a language in the program's own menu.
    Translations::loadChosen();
    Vantrel window;
    window.show();
    return app.exec();
}
