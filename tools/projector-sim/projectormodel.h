#ifndef PROJECTORMODEL_H
#define PROJECTORMODEL_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The protocol side of a simulated projector, free of any I/O: bytes from the
// line go in through receive(), bytes for the line come out of takeOutput().
// Time is always passed in as milliseconds on a monotonic clock, so the whole
// behaviour (warm-up, delays, noise, hang-up) can be driven without sleeping.
class ProjectorModel
{
public:
    enum class Family { Acer, Vivitek, InFocus };
    enum class Power { Off, WarmingUp, On, CoolingDown };
    // How Acer and Vivitek replies end; InFocus replies end with ")" either way.
    enum class LineEnd { Cr, CrLf };

    struct Options
    {
        Family family = Family::Acer;
        bool lampOn = false;
        qint64 warmupMs = 3000;
        qint64 cooldownMs = 3000;
        int lampHours = 1250;
        LineEnd lineEnd = LineEnd::Cr;
        // Faults. A negative hangupAfterMs means never.
        bool silent = false;
        qint64 delayMs = 0;
        int dropPercent = 0;
        quint32 seed = 1;
        double noisePerSecond = 0;
        qint64 hangupAfterMs = -1;
        // Reply delay by command text (no carriage return), used instead of delayMs.
        QMap<QByteArray, qint64> commandDelayMs;
        // Sent over and over, unasked, with the reply line end; empty for none.
        QByteArray chatter;
        int chatterBytesPerSecond = 960;
    };

    // Longest command kept; a line without a carriage return beyond this is cut.
    static constexpr int maxCommandLength = 256;

    ProjectorModel(const Options &options, qint64 nowMs);

    // Bytes as read from the line, split anywhere.
    void receive(const QByteArray &bytes, qint64 nowMs);
    // Moves the clock to nowMs and returns everything that is due on the line.
    QByteArray takeOutput(qint64 nowMs);
    // The next moment at which takeOutput() has something to do, or -1.
    qint64 nextDueMs() const;
    bool hungUp(qint64 nowMs) const;

    Power power(qint64 nowMs);
    int lampHours(qint64 nowMs);
    // Remembered Vivitek setting, or 0 for an unknown function number.
    int vivitekValue(int function) const { return m_vivitek.value(function); }

    // Traffic and events since the last call, one line each.
    QStringList takeLog();

    static QString printable(const QByteArray &bytes);
    static QString powerName(Power power);

private:
    struct Pending
    {
        qint64 dueMs;
        QByteArray text;
        QByteArray bytes;
    };

    void advance(qint64 nowMs);
    void handleCommand(const QByteArray &command, qint64 nowMs);
    void reply(const QByteArray &command, const QByteArray &text, qint64 nowMs);
    qint64 nextLineMs(bool *chatter) const;
    qint64 wireMs(qint64 bytes) const;
    void log(const QString &line);
    void countChatter(qint64 atMs);
    void logChatter();
    void setPower(Power power, qint64 atMs);
    bool lampLit() const { return m_power == Power::WarmingUp || m_power == Power::On; }
    bool requestPowerOn(qint64 nowMs);
    bool requestPowerOff(qint64 nowMs);

    QByteArray acerReply(const QByteArray &command, qint64 nowMs);
    QByteArray vivitekReply(const QByteArray &command, qint64 nowMs);
    QByteArray infocusReply(const QByteArray &command, qint64 nowMs);

    static quint32 nextRandom(quint32 &state);

    Options m_options;
    qint64 m_startMs;
    qint64 m_nowMs;
    Power m_power;
    qint64 m_transitionEndMs = 0;
    qint64 m_litSinceMs = 0;
    qint64 m_litTotalMs = 0;
    QByteArray m_line;
    bool m_discarding = false;
    QList<Pending> m_pending;
    QByteArray m_lineEnd;
    QByteArray m_chatterLine;
    qint64 m_wireBytes = 0;
    qint64 m_chatterCount = 0;
    qint64 m_lastChatterMs = 0;
    qint64 m_chatterLoggedMs = 0;
    QMap<int, int> m_vivitek;
    quint32 m_dropState;
    quint32 m_noiseState;
    qint64 m_nextNoiseMs = -1;
    qint64 m_noiseCount = 0;
    QStringList m_log;
};

#endif // PROJECTORMODEL_H
