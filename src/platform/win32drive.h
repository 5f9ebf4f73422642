#pragma once

#include <string>

namespace platform {

// The shell's drive number (0 for A) of a root "X:\..." with a letter X; -1 for any other
// root, which the shell's format dialog cannot take.
inline int win32DriveNumber(const std::string& root)
{
    if (root.size() < 3 || root[1] != ':' || root[2] != '\\')
        return -1;
    const char c = root[0];
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    return -1;
}

} // namespace platform
