#include "translations.h"
#include "vantrel.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    // The window paints with the raster engine alone. Loading the X11 OpenGL
    // integration would only cost start-up time (some 50 ms under Xvfb, the
    // driver's load on a desktop); a user's own choice still wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(VANTREL_APP_ID));
    Translations::load(QLocale::system());
    Vantrel window;
    window.show();
    return app.exec();
}
