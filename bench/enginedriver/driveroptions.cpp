#include "driveroptions.h"

#include "engine/units.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <limits>

qint64 parseByteSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)([KMG]?)(i?B)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return -1;
    bool ok = false;
    const qulonglong number = m.captured(1).toULongLong(&ok);
    if (!ok || number == 0)
        return -1;
    const QString suffix = m.captured(2).toUpper();
    const qulonglong unit = suffix == QLatin1String("K")   ? units::KiB
                            : suffix == QLatin1String("M") ? units::MiB
                            : suffix == QLatin1String("G") ? units::GiB
                                                           : 1;
    // A "B" alone is fine; "iB" without a unit letter ("5iB") is not a size.
    if (suffix.isEmpty() && m.captured(3).compare(QLatin1String("iB"), Qt::CaseInsensitive) == 0)
        return -1;
    const qulonglong limit = static_cast<qulonglong>(std::numeric_limits<qint64>::max());
    if (number > limit / unit)
        return -1;
    return static_cast<qint64>(number * unit);
}

namespace {

bool parseInt(const QString& text, int low, int high, int* out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *out = v;
    return true;
}

} // namespace

QString driverUsage()
{
    return QStringLiteral(
        "Usage: enginedriver --root DIR [options]\n"
        "Runs one engine test and prints every signal as a JSON line, then a summary line.\n"
        "\n"
        "  --root DIR        folder the test files are written to (the card's root)\n"
        "  --size SIZE       random data: size of each stream's file (default 1G)\n"
        "  --block SIZE      block size (default 1M)\n"
        "  --streams N       random data: parallel streams, 1 to 16 (default 1)\n"
        "  --stagger MS      delay between stream starts (default 0)\n"
        "  --read            read the files back after writing\n"
        "  --source FILE     copy FILE instead of random data (repeatable)\n"
        "  --stop-after MS   request a stop this many milliseconds after the start\n"
        "  --roll SIZE       rolling fill with files of SIZE instead of the speed test\n"
        "  --roll-free SIZE  rolling fill: free space to fill (default: the root's free space)\n"
        "  --roll-refills N  rolling fill: number of fills, 0 to 10000 (default 1)\n"
        "\n"
        "SIZE takes K, M or G (powers of 1024). Exit code: 0 complete, 1 the engine reported\n"
        "an error, 2 bad arguments, 3 the run ended without completing (stopped).\n");
}

bool parseDriverOptions(const QStringList& args, DriverOptions* options, bool* helpRequested,
                        QString* error)
{
    *helpRequested = false;
    DriverOptions result;
    bool haveRoot = false;
    for (int i = 0; i < args.size(); ++i) {
        QString name = args.at(i);
        QString value;
        bool haveValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            haveValue = true;
        }
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            *helpRequested = true;
            return true;
        }
        if (name == QLatin1String("--read")) {
            if (haveValue) {
                *error = QStringLiteral("--read takes no value");
                return false;
            }
            result.readEnabled = true;
            continue;
        }
        static const QStringList valued = {
            QStringLiteral("--root"),       QStringLiteral("--size"),
            QStringLiteral("--block"),      QStringLiteral("--streams"),
            QStringLiteral("--stagger"),    QStringLiteral("--source"),
            QStringLiteral("--stop-after"), QStringLiteral("--roll"),
            QStringLiteral("--roll-free"),  QStringLiteral("--roll-refills")};
        if (!valued.contains(name)) {
            *error = QStringLiteral("unknown argument '%1'").arg(args.at(i));
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = args.at(++i);
        }
        if (name == QLatin1String("--root")) {
            const QFileInfo info(value);
            if (value.isEmpty() || !info.isDir()) {
                *error = QStringLiteral("--root '%1' is not a folder").arg(value);
                return false;
            }
            // The engine appends file names to the root directly.
            QString root = QDir::cleanPath(info.absoluteFilePath());
            if (!root.endsWith(QLatin1Char('/')))
                root += QLatin1Char('/');
            result.rootPath = root;
            haveRoot = true;
        } else if (name == QLatin1String("--size") || name == QLatin1String("--block") ||
                   name == QLatin1String("--roll") || name == QLatin1String("--roll-free")) {
            const qint64 bytes = parseByteSize(value);
            if (bytes < 0) {
                *error = QStringLiteral("%1: bad size '%2'").arg(name, value);
                return false;
            }
            qint64* field = name == QLatin1String("--size")    ? &result.testSize
                            : name == QLatin1String("--block") ? &result.blockSize
                            : name == QLatin1String("--roll")  ? &result.rollFileSize
                                                               : &result.rollFreeBytes;
            *field = bytes;
        } else if (name == QLatin1String("--roll-refills")) {
            if (!parseInt(value, 0, 10000, &result.rollRefills)) {
                *error = QStringLiteral("--roll-refills takes 0 to 10000, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--streams")) {
            if (!parseInt(value, 1, 16, &result.streamCount)) {
                *error = QStringLiteral("--streams takes 1 to 16, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--stagger")) {
            if (!parseInt(value, 0, 3600000, &result.staggerMs)) {
                *error = QStringLiteral("--stagger takes 0 to 3600000 ms, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--stop-after")) {
            if (!parseInt(value, 0, 86400000, &result.stopAfterMs)) {
                *error = QStringLiteral("--stop-after takes 0 to 86400000 ms, not '%1'").arg(value);
                return false;
            }
        } else { // --source
            if (!QFileInfo(value).isFile()) {
                *error = QStringLiteral("--source '%1' is not a file").arg(value);
                return false;
            }
            result.sourceFiles << QFileInfo(value).absoluteFilePath();
        }
    }
    if (!haveRoot) {
        *error = QStringLiteral("--root is required");
        return false;
    }
    *options = result;
    return true;
}
