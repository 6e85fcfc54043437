// The floor Qt sets: an empty main window, started the way Vantrel starts.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare-window"));
    window.show();
    return app.exec();
}
