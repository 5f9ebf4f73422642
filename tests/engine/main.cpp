#include "enginetestutil.h"

#include <QCoreApplication>

int runFileWorkerTests(int argc, char** argv);
int runSpeedTesterTests(int argc, char** argv);
int runFileCopyTests(int argc, char** argv);
int runRollingFillTests(int argc, char** argv);

// One executable for the engine: each group of tests runs in turn; the exit code counts the
// groups with failures.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    enginetest::useEnglish();
    int failed = 0;
    failed += runFileWorkerTests(argc, argv) != 0;
    failed += runSpeedTesterTests(argc, argv) != 0;
    failed += runFileCopyTests(argc, argv) != 0;
    failed += runRollingFillTests(argc, argv) != 0;
    return failed;
}
