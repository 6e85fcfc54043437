#include "acer.h"

#include <QCoreApplication>

namespace Acer {

const std::array<ButtonCommand, ButtonCount> &buttonCommands()
{
    static const std::array<ButtonCommand, ButtonCount> table = { {
        { Button::QueryLampTime, "queryLampTime", "* 0 Lamp", false },
        { Button::QueryModel, "queryModel", "* 0 IR 035", false },
        { Button::Menu, "menu", "* 0 IR 008", true },
        { Button::Up, "up", "* 0 IR 009", false },
        { Button::Right, "right", "* 0 IR 011", false },
        { Button::Down, "down", "* 0 IR 010", false },
        { Button::Left, "left", "* 0 IR 012", false },
        { Button::Ok, "ok", "* 0 IR 013", false },
        { Button::Keystone, "keystone", "* 0 IR 004", false },
        { Button::Hide, "hide", "* 0 IR 030", false },
        { Button::KeystoneUp, "keystoneUpp", "* 0 IR 042", false },
        { Button::KeystoneDown, "keystoneDown", "* 0 IR 043", false },
        { Button::Resolution, "resolution", "* 0 IR 036", false },
        { Button::Aspect4_3, "aspect4_3", "* 0 IR 022", true },
        { Button::Aspect16_9, "aspect16_9", "* 0 IR 021", true },
        { Button::Brightness, "brightness", "* 0 IR 025", false },
        { Button::Contrast, "contrast", "* 0 IR 026", false },
        { Button::Color, "color", "* 0 IR 048", false },
        { Button::EKey, "eKey", "* 0 IR 047", false },
        { Button::AnalogRGB, "analogRGB", "* 0 IR 015", false },
        { Button::SVideo, "sVideo", "* 0 IR 018", false },
        { Button::Dvi, "dvi", "* 0 IR 029", false },
        { Button::Hdmi, "hdmi", "* 0 IR 050", false },
        { Button::ColorTemperature, "colorTemperature", "* 0 IR 027", false },
        { Button::Zoom, "zoom", "* 0 IR 046", false },
        { Button::SearchVideo, "searchVideo", "* 0 IR 031", false },
        { Button::CompositeVideo, "compositeVideo", "* 0 IR 019", false },
        { Button::Company, "company", "* 0 IR 037", false },
        { Button::Freeze, "freeze", "* 0 IR 007", false },
    } };
    return table;
}

const ButtonCommand &buttonCommand(Button button)
{
    return buttonCommands()[static_cast<std::size_t>(button)];
}

int refreshRate(int index)
{
    static const int rates[] = { 50, 60, 70, 72, 75, 85, 120 };
    return index >= 0 && index < int(std::size(rates)) ? rates[index] : 0;
}

// The byte at a position of the reply; characters beyond Latin-1 never come
// from the line, but count as 0 rather than being truncated.
static int byteAt(const QString &reply, int position)
{
    const ushort code = reply.at(position).unicode();
    return code > 255 ? 0 : code;
}

static QString resolutionLine(const QString &reply)
{
    const quint16 width = quint16(byteAt(reply, 4) * 256 + byteAt(reply, 5));
    const quint16 height = quint16(byteAt(reply, 6) * 256 + byteAt(reply, 7));
    return QString::number(width) + QLatin1String(" x ") + QString::number(height)
        + QLatin1String(" @ ") + QString::number(refreshRate(byteAt(reply, 8)))
        + QLatin1String(" Hz\n");
}

Reply interpretReply(const QString &reply)
{
    const QString upper = reply.toUpper();
    if (upper == QLatin1String("LAMP 0"))
        return { Reply::LampOff, {} };
    if (upper == QLatin1String("LAMP 1"))
        return { Reply::LampOn, {} };
    if (reply == QLatin1String("*001"))
        return { Reply::Log,
                 QCoreApplication::translate("Vantrel", "Command not available at the moment.\n") };
    if (reply == QLatin1String("*000"))
        return {};
    if (reply.left(3) == QLatin1String("Res")) {
        if (reply.size() <= 8)
            return {};
        return { Reply::Log, resolutionLine(reply) };
    }
    return { Reply::Log, reply + QLatin1Char('\n') };
}

} // namespace Acer
