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
    // Telnet answers a server has not read, past which it is dropped: a
    // server that keeps asking and never reads must not fill the memory.
    static constexpr qint64 MaxUnreadAnswers = 16 * 1024;

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
