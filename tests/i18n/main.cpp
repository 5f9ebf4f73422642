#include "tst_catalogue.h"
#include "tst_language.h"

#include <QApplication>
#include <QTest>

// The catalogue checks and the language checks share one process, as the language object is a
// process-wide single instance.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int failures = 0;
    {
        TestCatalogue catalogue;
        failures += QTest::qExec(&catalogue, argc, argv);
    }
    {
        TestLanguage language;
        failures += QTest::qExec(&language, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
