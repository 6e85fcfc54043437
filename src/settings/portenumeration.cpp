#include "portenumeration.h"

#include <QSerialPortInfo>

namespace PortEnumeration {

static Lister &currentLister()
{
    static Lister lister;
    return lister;
}

QStringList availablePortNames()
{
    if (const Lister &lister = currentLister())
        return lister();
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
}

void setLister(Lister lister)
{
    currentLister() = std::move(lister);
}

} // namespace PortEnumeration
