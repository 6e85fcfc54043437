#pragma once

#include <QLatin1String>
#include <QString>

#include <iterator>

// The entry of a command table whose command-line name is name, or nullptr.
template<typename Table>
auto findByName(const Table &table, const QString &name) -> decltype(&*std::begin(table))
{
    for (const auto &entry : table) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}
