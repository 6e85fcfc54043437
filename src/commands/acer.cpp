#include "acer.h"

#include "framing.h"
#include "names.h"

#include <QCoreApplication>

namespace Acer {

const std::array<ButtonCommand, ButtonCount> &buttonCommands()
{
    static const std::array<ButtonCommand, ButtonCount> table = { {
        { Button::QueryLampTime, "queryLampTime", "lamp-time", "* 0 Lamp", false },
        { Button::QueryModel, "queryModel", "model", "* 0 IR 035", false },
        { Button::Menu, "menu", "menu", "* 0 IR 008", true },
        { Button::Up, "up", "up", "* 0 IR 009", false },
        { Button::Right, "right", "right", "* 0 IR 011", false },
        { Button::Down, "down", "down", "* 0 IR 010", false },
        { Button::Left, "left", "left", "* 0 IR 012", false },
        { Button::Ok, "ok", "ok", "* 0 IR 013", false },
        { Button::Keystone, "keystone", "keystone-menu", "* 0 IR 004", false },
        { Button::Hide, "hide", "show-hide", "* 0 IR 030", false },
        { Button::KeystoneUp, "keystoneUpp", "keystone-up", "* 0 IR 042", false },
        { Button::KeystoneDown, "keystoneDown", "keystone-down", "* 0 IR 043", false },
        { Button::Resolution, "resolution", "resolution", "* 0 IR 036", false },
        { Button::Aspect4_3, "aspect4_3", "aspect-4-3", "* 0 IR 022", true },
        { Button::Aspect16_9, "aspect16_9", "aspect-16-9", "* 0 IR 021", true },
        { Button::Brightness, "brightness", "brightness", "* 0 IR 025", false },
        { Button::Contrast, "contrast", "contrast", "* 0 IR 026", false },
        { Button::Color, "color", "color", "* 0 IR 048", false },
        { Button::EKey, "eKey", "e-key", "* 0 IR 047", false },
        { Button::AnalogRGB, "analogRGB", "vga", "* 0 IR 015", false },
        { Button::SVideo, "sVideo", "s-video", "* 0 IR 018", false },
        { Button::Dvi, "dvi", "dvi", "* 0 IR 029", false },
        { Button::Hdmi, "hdmi", "hdmi", "* 0 IR 050", false },
        { Button::ColorTemperature, "colorTemperature", "color-temperature", "* 0 IR 027", false },
        { Button::Zoom, "zoom", "zoom", "* 0 IR 046", false },
        { Button::SearchVideo, "searchVideo", "search", "* 0 IR 031", false },
        { Button::CompositeVideo, "compositeVideo", "composite", "* 0 IR 019", false },
        { Button::Company, "company", "company", "* 0 IR 037", false },
        { Button::Freeze, "freeze", "freeze", "* 0 IR 007", false },
    } };
    return table;
}

const ButtonCommand &buttonCommand(Button button)
{
    return buttonCommands()[static_cast<std::size_t>(button)];
}

const ButtonCommand *findButton(const QString &name)
{
    return findByName(buttonCommands(), name);
}

bool sendsFor(const ButtonCommand &button, int modelIndex)
{
    return !button.acerOnly || modelIndex == ModelIndex;
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
    const QString upper = Framing::trimmed(reply).toUpper();
    if (upper == QLatin1String("LAMP 0"))
        return { Reply::LampOff, {} };
    if (upper == QLatin1String("LAMP 1"))
        return { Reply::LampOn, {} };
    if (reply == QLatin1String("*001"))
        return { Reply::Log,
                 QCoreApplication::translate("Vantrel", "Command not available at the moment.\n"),
                 true };
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
