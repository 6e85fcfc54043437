#pragma once

#include <QByteArray>

// The opening of one PJLink connection, free of any I/O: the greeting, the
// login and the verdict on it. Bytes from the connection go in through
// receive(), which gives back those meant for the owner (the answers);
// takeOutput() has what the opening itself sends ("PJLINK 2"), and wrap()
// puts the login in front of the first command.
//
// The SHA-256 login first asks for the projector's random value with
// "PJLINK 2", as the standard orders it; the owner falls back to MD5, on a
// new connection, only where the projector refuses that question. With MD5
// the login goes with the first command, so the connection opens at the
// greeting. Either way the verdict comes in place of the first answer.
// Withheld sends no login at all: the projector's greeting is read, and a
// password it refused before is not offered again.
class PJLinkLogin
{
public:
    enum class Method { Md5, Sha256, Withheld };
    enum class State {
        Greeting, // the greeting is awaited
        Challenge, // "PJLINK 2" went out; the projector's random value is awaited
        Open, // commands may go; the first carries the login, if one is owed
        NotPJLink, // what came first is no PJLink greeting
        PasswordMissing, // the projector wants a login and there is no password
        Rejected, // "PJLINK ERRA", or no answer of the newer login
        Withheld, // the projector wants a login, and Withheld sends none
    };

    explicit PJLinkLogin(const QByteArray &password = QByteArray(), Method method = Method::Md5);

    // The controller's own random value for the SHA-256 login; a fresh one
    // from the system's generator unless set.
    void setOwnRandom(const QByteArray &bytes) { own = bytes; }

    QByteArray receive(const QByteArray &bytes);
    QByteArray takeOutput();
    // commands as they go on the wire: the first after the opening carries
    // the login.
    QByteArray wrap(const QByteArray &commands);

    State state() const { return current; }
    Method method() const { return how; }
    // The login went out and nothing has come back yet: a connection that
    // closes now refused it, as some projectors do instead of "PJLINK ERRA".
    bool awaitingVerdict() const { return loginSent && !heard; }
    // The projector refused a login that went out, in place of the first
    // answer (not by a greeting of "PJLINK ERRA", nor later).
    bool refusedLogin() const { return current == State::Rejected && loginRefused; }
    // "PJLINK 2" was refused, or answered with something else: the
    // projector does not know the newer login, and nothing else was tried.
    bool newerLoginRefused() const { return current == State::Rejected && asked && !loginSent; }
    // A login went out and the first answer was no refusal.
    bool loginTaken() const { return verdict && current == State::Open; }

private:
    void opening(const QByteArray &text);
    void answer(const QByteArray &text);

    QByteArray password;
    Method how;
    State current = State::Greeting;
    QByteArray own;
    QByteArray login; // owed in front of the first command
    QByteArray output;
    QByteArray line;
    QByteArray held; // the first answer after the login, until it is seen to be none
    bool asked = false; // "PJLINK 2" went out
    bool loginSent = false;
    bool heard = false; // something came after the login went out
    bool verdict = false; // the first answer after the login has come
    bool loginRefused = false; // and it was "PJLINK ERRA"
};
