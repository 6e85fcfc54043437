#pragma once

#include "linktransport.h"
#include "portstatus.h"

#include <QIODevice>
#include <QString>

#include <memory>

class QSerialPort;

// The projector's line, whatever carries it: a serial port name, or a
// network serial server as tcp://HOST:PORT or rfc2217://HOST:PORT; for the
// PJLink family the projector itself at HOST[:PORT] (port 4352 by default). The window
// and vantrelctl read and write it as a QIODevice once it is open.
//
// connectTo() never blocks: a serial port opens before it returns, a
// network address later. Either way exactly one of opened() and failed()
// follows. An open link that breaks is closed once, from the event loop, and
// lost() says why; nothing repeats while it is down. Reconnecting is the
// owner's choice: connectTo() again.
//
// The wait functions are for a program without an event loop of its own
// (vantrelctl): each runs one, for at most the time given.
class ProjectorLink : public QIODevice
{
    Q_OBJECT

public:
    explicit ProjectorLink(QObject *parent = nullptr);
    ~ProjectorLink() override;

    // Closes what was open or opening, then opens port for the family.
    void connectTo(const QString &port, int modelIndex);
    bool isOpening() const { return opening; }
    QString port() const { return portName; }
    bool isNetwork() const;

    // Why the link is not open, after failed() or lost(); None while it is.
    PortStatus::Problem problem() const { return why; }
    QString problemDetail() const { return detail; }
    LinkTransport::Speed speed() const;
    // The serial port underneath, if this is one.
    QSerialPort *serialDevice();

    // Applies to the next link opened as well.
    void setReadBufferSize(qint64 size);
    // A network link: how long connecting, and setting up the session, may
    // each take, from the next connectTo() on.
    void setOpenTimeout(int ms);
    // PJLink: the password for the next connectTo(); empty for none.
    void setPassword(const QString &password);
    // PJLink: a password refused ("PJLINK ERRA") is never offered to that
    // address again, by any program, until it changes. A login closed on is
    // not tried again for a back-off, nor one that wanted a password when
    // there was none; after the user has chosen again in the settings, call
    // this to allow one more try of those.
    static void forgetRejectedLogins();

    // Ends an open still under way as failed, with the reason its lateness
    // has (no greeting, timed out): for an owner that bounds the open by its
    // own clock.
    void giveUpOpening();

    // Drops the oldest count bytes waiting unread, and with them the rest
    // of the reply they cut, through its end, now or as it comes: what is
    // read next begins a reply. The reader drops the part it holds.
    void dropOldest(qint64 count);

    bool waitForOpened(int msecs);
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;
    bool flush();

    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

signals:
    void opened();
    void failed(PortStatus::Problem problem, const QString &detail);
    void lost(PortStatus::Problem problem, const QString &detail);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void onReady();
    void onFailed(PortStatus::Problem problem, const QString &text);
    void onGone(PortStatus::Problem problem, const QString &text);
    void closeLost();
    bool endsReply(char byte) const;
    void fail(PortStatus::Problem problem, const QString &text);
    void useTransport(std::unique_ptr<LinkTransport> next);
    // Runs the event loop until done() or the time is up.
    template<typename Done>
    bool waitUntil(int msecs, Done done);

    std::unique_ptr<LinkTransport> transport;
    QString portName;
    bool opening = false;
    bool lossPending = false; // a close of a broken link is queued
    PortStatus::Problem why = PortStatus::Problem::NoPortChosen;
    QString detail;
    qint64 readLimit = 0;
    int openTimeoutMs = 0; // 0: the transport's own
    int transportKind = -1;
    QByteArray loginPassword;
    int linkModel = -1;
    bool cutReply = false; // dropOldest() cut a reply whose end has not been read
};
