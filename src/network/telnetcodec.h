#pragma once

#include <QByteArray>
#include <QString>

// A telnet client (RFC 854) that speaks the COM port option (RFC 2217) to a
// network serial server: it asks for the option, sets the line to the
// family's speed, 8N1 without flow control, and checks what the server
// confirms. Data bytes pass with 0xFF doubled; every other telnet command is
// answered or ignored here and never reaches the data.
class TelnetCodec
{
public:
    enum class State {
        Negotiating,
        Agreed, // speed, data bits, parity and stop bits confirmed as asked
        Refused, // the option refused, or a setting confirmed otherwise
    };

    explicit TelnetCodec(qint32 baudRate);

    // What to send once connected.
    QByteArray greeting();
    // Takes bytes from the server: appends the data among them to data and
    // returns what has to go back (answers to the server's requests, the line
    // settings once the option is agreed).
    QByteArray receive(const QByteArray &wire, QByteArray *data);
    // Data to send, with 0xFF doubled.
    static QByteArray encode(const char *data, qint64 size);

    State state() const { return current; }
    // What the server refused, in words.
    QString refusal() const { return refused; }
    // Which settings are still unconfirmed, in words.
    QString unconfirmed() const;

    // Protocol constants, for the tests' server side.
    enum : unsigned char {
        Se = 240,
        Sb = 250,
        Will = 251,
        Wont = 252,
        Do = 253,
        Dont = 254,
        Iac = 255,
    };
    enum : unsigned char { Binary = 0, SuppressGoAhead = 3, ComPortOption = 44 };
    enum : unsigned char {
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        ServerOffset = 100, // a server's answer carries the code plus this
    };

private:
    struct Option
    {
        bool ourSide = false; // we do it (WILL accepted)
        bool theirSide = false; // they do it (DO accepted)
        bool askedOurs = false; // our WILL is unanswered
        bool askedTheirs = false; // our DO is unanswered
    };

    QByteArray negotiation(unsigned char verb, unsigned char option);
    QByteArray answer(unsigned char verb, unsigned char option);
    QByteArray settings();
    void confirmation(const QByteArray &payload);
    void refuse(const QString &what);
    static bool supported(unsigned char option);

    enum class Parse { Data, Iac, Verb, Sub, SubIac } parse = Parse::Data;
    unsigned char verb = 0;
    QByteArray sub;
    Option options[256];
    const qint32 baud;
    bool settingsSent = false;
    // Confirmations still awaited, by code (1 to 4; the control is optional).
    bool awaited[5] = {};
    State current = State::Negotiating;
    QString refused;
};
