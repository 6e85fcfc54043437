#include "vantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Vantrel"));
    Vantrel window;
    window.show();
    return app.exec();
}
