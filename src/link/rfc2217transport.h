#pragma once

#include "sockettransport.h"
#include "telnetcodec.h"

#include <memory>

// A serial server's telnet port with the COM port option (RFC 2217): the
// link opens once the server has confirmed the family's speed and 8N1.
class Rfc2217Transport : public SocketTransport
{
    Q_OBJECT

public:
    using SocketTransport::SocketTransport;
    Speed speed() const override { return Speed::Set; }

protected:
    void beginSession() override;
    void received(const QByteArray &wire) override;
    QByteArray encode(const char *data, qint64 size) override;
    void sessionTimedOut() override;

private:
    std::unique_ptr<TelnetCodec> codec;
};
