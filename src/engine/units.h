#pragma once

#include <QtGlobal>

// The units of every size and figure: a MB is 1048576 bytes and a GB 1073741824 bytes, as the
// window has always shown them; speeds are MB/s.
namespace units {

constexpr qint64 KiB = 1024;
constexpr qint64 MiB = 1024 * KiB;
constexpr qint64 GiB = 1024 * MiB;
constexpr double BytesPerMB = double(MiB);

} // namespace units
