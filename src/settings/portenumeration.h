#pragma once

#include <QStringList>

#include <functional>

// Where the settings dialog learns which serial ports exist. Production asks
// QSerialPortInfo; tests put their own lister in, since the system enumerates
// no pseudo-terminals.
namespace PortEnumeration {

using Lister = std::function<QStringList()>;

QStringList availablePortNames();

// Replaces the lister; an empty function restores the system's enumeration.
void setLister(Lister lister);

} // namespace PortEnumeration
