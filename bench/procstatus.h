#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// A field of /proc/<pid>/status in KiB (VmHWM, VmRSS), -1 if absent. pid is
// a number or "self".
inline long procStatusKib(const std::string &pid, const char *field)
{
    FILE *file = std::fopen(("/proc/" + pid + "/status").c_str(), "r");
    if (!file)
        return -1;
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return value;
}
