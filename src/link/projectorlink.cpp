#include "projectorlink.h"

#include "family.h"
#include "infocus.h"
#include "linkaddress.h"
#include "pjlinktransport.h"
#include "rfc2217transport.h"
#include "serialtransport.h"
#include "sockettransport.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstring>

ProjectorLink::ProjectorLink(QObject *parent)
    : QIODevice(parent)
{ }

ProjectorLink::~ProjectorLink()
{
    close();
}

bool ProjectorLink::isNetwork() const
{
    return Family::isNetwork(linkModel) || LinkAddress::parse(portName).isNetwork();
}

void ProjectorLink::connectTo(const QString &port, int modelIndex)
{
    close();
    portName = port;
    linkModel = modelIndex;
    why = PortStatus::Problem::None;
    detail.clear();
    if (port.isEmpty())
        return fail(PortStatus::Problem::NoPortChosen, QString());
    const LinkAddress address
        = Family::isNetwork(modelIndex) ? LinkAddress::parsePJLink(port) : LinkAddress::parse(port);
    if (!address.isValid())
        return fail(PortStatus::Problem::BadAddress, address.error());

    // The same kind keeps its transport: whoever watches a serial port's
    // errors keeps watching it.
    const int kind = int(address.kind());
    if (!transport || kind != transportKind) {
        switch (address.kind()) {
        case LinkAddress::Kind::Serial:
            useTransport(std::make_unique<SerialTransport>());
            break;
        case LinkAddress::Kind::Tcp:
            useTransport(std::make_unique<SocketTransport>());
            break;
        case LinkAddress::Kind::Rfc2217:
            useTransport(std::make_unique<Rfc2217Transport>());
            break;
        case LinkAddress::Kind::PJLink:
            useTransport(std::make_unique<PJLinkTransport>());
            break;
        }
        transportKind = kind;
    }
    transport->setPassword(loginPassword);
    opening = true;
    transport->start(address, modelIndex);
}

void ProjectorLink::useTransport(std::unique_ptr<LinkTransport> next)
{
    transport = std::move(next);
    if (readLimit > 0)
        transport->setReadLimit(readLimit);
    if (openTimeoutMs > 0)
        transport->setOpenTimeout(openTimeoutMs);
    LinkTransport *t = transport.get();
    connect(t, &LinkTransport::ready, this, &ProjectorLink::onReady);
    connect(t, &LinkTransport::failed, this, &ProjectorLink::onFailed);
    connect(t, &LinkTransport::gone, this, &ProjectorLink::onGone);
    connect(t, &LinkTransport::dataArrived, this, [this] {
        if (isOpen())
            emit readyRead();
    });
    connect(t, &LinkTransport::dataSent, this, [this] {
        if (isOpen())
            emit bytesWritten(0);
    });
}

void ProjectorLink::onReady()
{
    if (!opening)
        return;
    opening = false;
    why = PortStatus::Problem::None;
    detail.clear();
    cutReply = false;
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    emit opened();
    // What came with the connection is there to read.
    if (isOpen() && transport && transport->available() > 0)
        emit readyRead();
}

void ProjectorLink::onFailed(PortStatus::Problem problem, const QString &text)
{
    if (!opening)
        return;
    transport->stop();
    fail(problem, text);
}

void ProjectorLink::fail(PortStatus::Problem problem, const QString &text)
{
    opening = false;
    why = problem;
    detail = text;
    emit failed(problem, text);
}

void ProjectorLink::onGone(PortStatus::Problem problem, const QString &text)
{
    if (!isOpen() || lossPending)
        return;
    lossPending = true;
    why = problem;
    detail = text;
    // Closing inside the transport's signal would pull its notifier out from
    // under it; and a device that keeps failing must be closed only once.
    QMetaObject::invokeMethod(
        this, [this] { closeLost(); }, Qt::QueuedConnection);
}

void ProjectorLink::closeLost()
{
    if (!lossPending)
        return; // closed or reopened meanwhile
    lossPending = false;
    const PortStatus::Problem problem = why;
    const QString text = detail;
    QIODevice::close();
    transport->stop();
    why = problem;
    detail = text;
    emit lost(problem, text);
}

void ProjectorLink::close()
{
    lossPending = false;
    opening = false;
    if (isOpen())
        QIODevice::close();
    if (transport)
        transport->stop();
}

LinkTransport::Speed ProjectorLink::speed() const
{
    return transport ? transport->speed() : LinkTransport::Speed::Set;
}

QSerialPort *ProjectorLink::serialDevice()
{
    return transport ? transport->serialDevice() : nullptr;
}

void ProjectorLink::setPassword(const QString &password)
{
    loginPassword = password.toUtf8();
}

void ProjectorLink::forgetRejectedLogins()
{
    PJLinkTransport::forgetRejectedLogins();
}

void ProjectorLink::setReadBufferSize(qint64 size)
{
    readLimit = size;
    if (transport)
        transport->setReadLimit(size);
}

void ProjectorLink::setOpenTimeout(int ms)
{
    openTimeoutMs = ms;
    if (transport)
        transport->setOpenTimeout(ms);
}

qint64 ProjectorLink::bytesAvailable() const
{
    return (isOpen() && transport ? transport->available() : 0) + QIODevice::bytesAvailable();
}

qint64 ProjectorLink::bytesToWrite() const
{
    return isOpen() && transport ? transport->unsent() : 0;
}

bool ProjectorLink::endsReply(char byte) const
{
    if (linkModel == InFocus::ModelIndex)
        return byte == ')';
    return byte == '\r' || byte == '\n';
}

void ProjectorLink::dropOldest(qint64 count)
{
    cutReply = false;
    char last = '\r';
    char scrap[4096];
    while (count > 0) {
        const qint64 got = read(scrap, qMin<qint64>(count, qint64(sizeof scrap)));
        if (got <= 0)
            break;
        last = scrap[got - 1];
        count -= got;
    }
    cutReply = !endsReply(last);
}

qint64 ProjectorLink::readData(char *data, qint64 maxSize)
{
    if (!transport)
        return -1;
    qint64 size = transport->take(data, maxSize);
    while (cutReply && size > 0) {
        char *const end = std::find_if(data, data + size, [this](char c) { return endsReply(c); });
        if (end == data + size) {
            size = transport->take(data, maxSize);
            continue;
        }
        cutReply = false;
        size = data + size - (end + 1);
        std::memmove(data, end + 1, std::size_t(size));
    }
    return cutReply ? 0 : size;
}

qint64 ProjectorLink::writeData(const char *data, qint64 size)
{
    return transport ? transport->send(data, size) : -1;
}

bool ProjectorLink::flush()
{
    return isOpen() && transport && transport->push();
}

template<typename Done>
bool ProjectorLink::waitUntil(int msecs, Done done)
{
    if (done() || !(isOpen() || opening))
        return done();
    const QDeadlineTimer deadline(qMax(0, msecs));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    connect(this, &ProjectorLink::opened, &loop, check);
    connect(this, &ProjectorLink::failed, &loop, &QEventLoop::quit);
    connect(this, &ProjectorLink::lost, &loop, &QEventLoop::quit);
    connect(this, &QIODevice::readyRead, &loop, check);
    connect(this, &QIODevice::bytesWritten, &loop, check);
    // Once even when no time is left: what the system holds is taken in.
    do {
        timer.start(int(qMax<qint64>(0, deadline.remainingTime())));
        loop.exec();
    } while (!done() && !deadline.hasExpired() && (isOpen() || opening));
    return done();
}

bool ProjectorLink::waitForOpened(int msecs)
{
    if (waitUntil(msecs, [this] { return isOpen(); }))
        return true;
    giveUpOpening();
    return false;
}

void ProjectorLink::giveUpOpening()
{
    if (!opening)
        return;
    const PortStatus::Problem late = transport->overdue();
    transport->stop();
    fail(late, QString());
}

bool ProjectorLink::waitForReadyRead(int msecs)
{
    return waitUntil(msecs, [this] { return bytesAvailable() > 0; });
}

bool ProjectorLink::waitForBytesWritten(int msecs)
{
    return isOpen() && waitUntil(msecs, [this] { return isOpen() && bytesToWrite() == 0; });
}
