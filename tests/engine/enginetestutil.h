#pragma once

#include "i18n/language.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace enginetest {

// Block sizes are multiples of 4096 so direct I/O works on the test disk.
constexpr qint64 Block = 64 * 1024;

// Switches the process to English texts with private test settings; call once, first.
void useEnglish();
// Switches the catalogue language.
void setLanguage(Language language);

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);
// Deterministic, non-repeating content, different for each seed.
QByteArray distinctBytes(qint64 size, quint32 seed);

} // namespace enginetest
