// The floor Qt sets: an empty main window, started the way Vantrel starts.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    // As vantrel's main() does: no OpenGL integration for a raster window.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare-window"));
    window.show();
    return app.exec();
}
