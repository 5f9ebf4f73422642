#pragma once

#include "i18n/language.h"

#include <QHash>
#include <QString>

// One text of the user interface in its three languages, held as UTF-8.
struct CatalogueEntry
{
    const char* key;
    const char* simplified;
    const char* english;
    const char* traditional;
};

// The built-in catalogue: a fixed table of entries, and the lookup tables built from it.
class Catalogue
{
public:
    // Key ending of an entry's singular form, chosen by tr(key, nullptr, 1). Such an entry is
    // found by its key only: its Simplified text is the plural entry's.
    static constexpr const char* SingularSuffix = "#one";

    // Entries in catalogue order.
    static const CatalogueEntry* entries();
    static int entryCount();

    // The entry's text in the given language (any unknown value counts as Simplified Chinese).
    static const char* text(const CatalogueEntry& entry, Language lang);

    // The lookup table of one language: every key and every Simplified Chinese text maps to the
    // entry's text in that language.
    static QHash<QString, QString> buildTable(Language lang);
};
