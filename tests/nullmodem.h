#pragma once

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QString>

#include <functional>

// A virtual null-modem cable on a pseudo-terminal. The program under test
// opens portName() through its own QSerialPort; the test sits on the master
// side, sees exactly the bytes that went out and answers in any split.
//
// Every wait pumps the Qt event loop, because QSerialPort only moves bytes
// while events are processed.
class NullModem
{
public:
    struct LineSettings
    {
        bool valid = false;
        qint32 inputBaud = 0; // 0 when the rate is not a standard one
        qint32 outputBaud = 0;
        // -1 until read: Qt 6 has no "unknown" values of its own.
        QSerialPort::DataBits dataBits = QSerialPort::DataBits(-1);
        QSerialPort::Parity parity = QSerialPort::Parity(-1);
        QSerialPort::StopBits stopBits = QSerialPort::StopBits(-1);
        QSerialPort::FlowControl flowControl = QSerialPort::FlowControl(-1);
        bool rtsCts = false;
        bool xonXoff = false;
    };

    NullModem();
    // Also makes linkPath a symlink to the slave, replacing an older link, so
    // a test can bring a port back under the name the program knows.
    explicit NullModem(const QString &linkPath);
    ~NullModem();

    // False when setting up failed (see errorString) or after hangUp.
    bool isOpen() const { return master >= 0; }
    QString errorString() const { return error; }
    QString slavePath() const { return slave; }
    QString linkPath() const { return link; }
    // The name to give the program: the link if there is one.
    QString portName() const { return link.isEmpty() ? slave : link; }

    // Waits until count bytes came or the time is up; returns at most count
    // bytes and keeps the rest for the next read.
    QByteArray readBytes(int count, int timeoutMs = 5000);
    // Whatever has arrived by now, without waiting.
    QByteArray readAll();
    // Reads until the line stayed quiet for quietMs (or timeoutMs passed).
    QByteArray drain(int quietMs = 200, int timeoutMs = 5000);
    // Keeps the event loop running for ms and returns every byte that was not
    // read yet, so QCOMPARE(modem.expectSilence(300), QByteArray()) proves
    // nothing went out.
    QByteArray expectSilence(int ms = 300);

    bool write(const QByteArray &data);
    // Writes data in pieces of the given sizes (what is left over goes last).
    // Between pieces runs between, or by default waits until the reader took
    // the piece, so each piece reaches the program's QSerialPort on its own.
    bool writeSplit(const QByteArray &data, const QList<int> &chunkSizes,
                    const std::function<void()> &between = {});
    // True once nothing written from this side is waiting on the slave. The
    // kernel hands a large write (over about 4 KiB) to the slave in pieces, so
    // the queue can look empty between them: after such a write, wait for the
    // program's port to hold what it should instead.
    bool waitConsumed(int timeoutMs = 2000);

    // Closes the master: the program's port sees the line hang up.
    void hangUp();
    // hangUp, and the link disappears as a removed adapter's device node does.
    void unplug();

    // The line parameters the program's QSerialPort set on the slave. A Linux
    // pty stores 8 data bits and no parity whatever was asked, so only speed,
    // stop bits and flow control tell anything; for data bits and parity look
    // at the program's QSerialPort itself.
    LineSettings lineSettings() const;

private:
    Q_DISABLE_COPY(NullModem)

    void collect();
    void waitReadable(int timeoutMs);
    QByteArray take(int count);
    void removeLink();

    int master = -1;
    // The harness's own slave descriptor: with it open the master never reads
    // EIO between the program's close and reopen, and termios stays readable
    // while the program holds the port exclusively.
    int keeper = -1;
    QString slave;
    QString link;
    QString error;
    QByteArray pending;
};
