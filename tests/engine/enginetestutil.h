#pragma once

#include "i18n/language.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class SpeedTester;

namespace enginetest {

// Block sizes are multiples of 4096 so direct I/O works on the test disk.
constexpr qint64 Block = 64 * 1024;
extern const QString Started;
extern const QString Done;

// Switches the process to English texts with private test settings; call once, first.
void useEnglish();
// Switches the catalogue language.
void setLanguage(Language language);

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);
// Deterministic, non-repeating content, different for each seed.
QByteArray distinctBytes(qint64 size, quint32 seed);
// Everything left in a folder, hidden entries included, sorted by name.
QStringList entriesOf(const QString& folder);
// Runs a random-data test at root to its end; false if it did not end in time.
bool runRandom(SpeedTester& e, const QString& root, int streams, qint64 size, bool read,
               qint64 block = Block);

} // namespace enginetest
