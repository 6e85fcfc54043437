#pragma once

#include <QByteArray>
#include <QString>

// What PJLink projectors made of our logins, kept for every front end and
// across runs, by address and password: which login a projector took (or
// the newer one it refused), and a password it refused. The window, the
// Rooms view, vantrelctl and the exporter all read and write one small file
// beside the settings store, so that a refusal seen by one stops them all:
// projectors may lock out after repeated failed logins. Beside the store,
// because every front end finds it there alike; the runtime directory is
// emptied at each boot and missing for a script run by cron, and the store
// itself is the user's to edit, and written under a lock.
//
// A password is kept only as a salted SHA-256 hash. A new password starts
// afresh, which is also how a stop is cleared.
namespace PJLinkLogins {

enum class Kind { Unknown, Md5, Sha256 };

struct Memory
{
    Kind kind = Kind::Unknown; // the one login this projector is sent
    bool refused = false; // "PJLINK ERRA" to this password's login
};

// address: host and port as the link names them; case does not count.
Memory recall(const QString &address, const QByteArray &password);
void rememberKind(const QString &address, const QByteArray &password, Kind kind);
void rememberRefusal(const QString &address, const QByteArray &password);

// Why a link sends no login to a projector that refused its password.
constexpr char NotTriedAgain[] = "refused earlier, not tried again";

// The file, to name it to the user; deleting it clears every stop.
QString location();

// Entries kept at most, the oldest dropped first: one for each of the
// thousand projectors a store may hold, and room for changed passwords.
constexpr int MaxEntries = 2000;
// Passwords kept for one address: two entries at one address, and a few
// earlier passwords.
constexpr int MaxPerAddress = 4;

} // namespace PJLinkLogins
