#pragma once

#include <QByteArray>
#include <QString>

// The projector's end of a virtual null-modem: the master of a pseudo-
// terminal whose slave the program opens as its serial port. Plain POSIX, so
// it can serve a program in another process as well as a window in this one.
class FarSide
{
public:
    FarSide();
    ~FarSide();
    FarSide(const FarSide &) = delete;
    FarSide &operator=(const FarSide &) = delete;

    bool isOpen() const { return master >= 0; }
    int fd() const { return master; }
    QString slavePath() const { return slave; }

    // Whatever arrives within timeoutMs (empty if nothing does).
    QByteArray read(int timeoutMs);
    bool write(const QByteArray &bytes);
    // Closes both ends held here, as a projector's cable being pulled: the
    // program's open slave reads an error from then on and the slave's
    // device node goes away once the program closes it.
    void hangUp();

private:
    int master = -1;
    int slaveKeeper = -1;
    QString slave;
};
