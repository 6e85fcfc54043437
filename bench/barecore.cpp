// The floor Qt Core sets for a program that talks to a serial line: start,
// open the device named on the command line, write one carriage return.
#include <QCoreApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QFile line(QString::fromLocal8Bit(argv[1]));
    if (!line.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    return line.write("\r", 1) == 1 ? 0 : 1;
}
