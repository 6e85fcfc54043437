#include "vantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Vantrel window;
    window.show();
    return app.exec();
}
