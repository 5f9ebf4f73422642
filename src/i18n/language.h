#pragma once

#include <QMetaType>

// The user-interface language; the numbers are what "ui/language" stores.
enum Language
{
    SimplifiedChinese = 0,
    English = 1,
    TraditionalChinese = 2
};

Q_DECLARE_METATYPE(Language)
