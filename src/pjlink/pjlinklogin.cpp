#include "pjlinklogin.h"

#include "pjlink.h"

#include <QRandomGenerator>

#include <utility>

PJLinkLogin::PJLinkLogin(const QByteArray &password, Method method)
    : password(password)
    , how(method)
{ }

QByteArray PJLinkLogin::receive(const QByteArray &bytes)
{
    int from = 0;
    // The greeting and the newer login's answer are lines of their own.
    while (from < bytes.size() && (current == State::Greeting || current == State::Challenge)) {
        const char c = bytes.at(from++);
        if (c == '\r' || c == '\n') {
            if (!line.isEmpty())
                opening(std::exchange(line, QByteArray()));
            continue;
        }
        line.append(c);
        if (line.size() >= PJLink::MaxPacket) {
            current = current == State::Greeting ? State::NotPJLink : State::Rejected;
            line.clear();
        }
    }
    if (current != State::Open || from >= bytes.size())
        return QByteArray();

    QByteArray rest = bytes.mid(from);
    heard = heard || loginSent;
    bool first = false; // the first line after the login is among these
    if (loginSent && !verdict) {
        // The first answer after the login is held for as long as it may
        // still turn out to be the refusal.
        held += rest;
        if (!held.contains('\r')
            && QByteArray("PJLINK ERRA").startsWith(held.simplified().toUpper()))
            return QByteArray();
        verdict = true;
        first = true;
        rest = std::exchange(held, QByteArray());
    }
    // A refusal comes in place of an answer.
    for (char c : rest) {
        if (c != '\r') {
            if (line.size() < PJLink::MaxPacket)
                line.append(c);
            continue;
        }
        if (line.simplified().toUpper() == "PJLINK ERRA") {
            current = State::Rejected;
            loginRefused = first;
            line.clear();
            return QByteArray();
        }
        first = false;
        line.clear();
    }
    return rest;
}

void PJLinkLogin::opening(const QByteArray &text)
{
    if (current == State::Challenge) {
        const QByteArray challenge = PJLink::parseChallenge(text);
        if (challenge.isEmpty()) {
            // "PJLINK ERRA" from a projector that does not know the newer login.
            current = State::Rejected;
            return;
        }
        if (own.size() != PJLink::RandomLength) {
            own.resize(PJLink::RandomLength);
            for (char &byte : own)
                byte = char(QRandomGenerator::system()->bounded(256));
        }
        login = PJLink::sha256Login(challenge, own, password);
        current = State::Open;
        return;
    }

    const PJLink::Greeting greeting = PJLink::parseGreeting(text);
    switch (greeting.kind) {
    case PJLink::Greeting::Kind::Faulty:
        current = State::NotPJLink;
        return;
    case PJLink::Greeting::Kind::Rejected:
        current = State::Rejected;
        return;
    case PJLink::Greeting::Kind::Open:
        current = State::Open;
        return;
    case PJLink::Greeting::Kind::Protected:
        break;
    }
    // Without a password no login is tried: projectors may lock out after
    // failed ones.
    if (password.isEmpty()) {
        current = State::PasswordMissing;
        return;
    }
    if (how == Method::Withheld) {
        current = State::Withheld;
        return;
    }
    if (how == Method::Md5) {
        login = PJLink::digest(greeting.token, password);
        current = State::Open;
        return;
    }
    output += "PJLINK 2\r";
    asked = true;
    current = State::Challenge;
}

QByteArray PJLinkLogin::takeOutput()
{
    return std::exchange(output, QByteArray());
}

QByteArray PJLinkLogin::wrap(const QByteArray &commands)
{
    if (login.isEmpty() || commands.isEmpty())
        return commands;
    loginSent = true;
    return std::exchange(login, QByteArray()) + commands;
}
