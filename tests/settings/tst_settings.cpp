#include "settings/settingsvalue.h"
#include "settings/testsettings.h"
#include "settings/verdictsettings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The fields that differ from a first run's as "name=value", each in the shortest form that reads
// back to the same bits, so a failure names the field and shows any stray bit.
QString changes(const VerdictRules& r, bool enableRead = false)
{
    const VerdictRules d;
    QStringList out;
    const auto add = [&out](const char* name, double value, double first) {
        if (!(value == first)) // NaN shows too
            out << name + QString::number(value, 'g', QLocale::FloatingPointShortest);
    };
    // clang-format off
#define F(x) add(#x "=", r.x, d.x)
    F(jitterFail); F(jitterWarn); F(cvFail); F(cvWarn); F(dropFail); F(dropWarn);
    F(minSpeedMult); F(perStreamWrite); F(perStreamRead); F(aggWriteFail); F(aggWriteWarn);
    F(aggReadFail); F(aggReadWarn); F(slcTrim); F(fullCap); F(iterCount); F(rollVerify);
#undef F
    // clang-format on
    add("enableRead=", enableRead, false);
    return out.join(' ');
}

} // namespace

class TestSettingsGroups : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A settings file of its own per case, so no case sees another's.
    QString iniFile(const QString& text)
    {
        QFile file(m_dir.filePath(QStringLiteral("case%1.ini").arg(++m_files)));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
        return written ? file.fileName() : QString();
    }

private slots:
    // The verdict group (fields that differ from a first run; plausible values are kept) and the
    // test set-up, read over controls at {external, 2, 2, 4}, 7 sizes, 1..16 streams, 8 blocks.
    void load_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QVector<int>>("test");
        QTest::newRow("stored values")
            << "[verdict]\nenableRead=true\njitterFail=7\ncvWarn=0.30000000000000004\n"
               "minSpeedMult=0.05\naggReadWarn=2500\nslcTrim=false\nfullCap=true\niterCount=7\n"
               "perStreamWrite=12.5\nrollVerify=true\n"
               "[testSettings]\ntestMode=1\ntestSizeIndex=6\nstreamCount=16\nblockIndex=0"
            << "jitterFail=7 cvWarn=0.30000000000000004 minSpeedMult=0.05 perStreamWrite=12.5 "
               "aggReadWarn=2500 slcTrim=0 fullCap=1 iterCount=7 rollVerify=1 enableRead=1"
            << QVector<int>{1, 6, 16, 0};
        QTest::newRow("blanks inside quotes")
            << "[verdict]\nenableRead=\" TRUE \"\nslcTrim=\"\t0 \"\n"
               "[testSettings]\ntestMode=\" 1\"\ntestSizeIndex=\"3 \""
            << "slcTrim=0 enableRead=1" << QVector<int>{1, 3, 2, 4};
        QTest::newRow("clamped up, below the lists")
            << "[verdict]\niterCount=0\nperStreamRead=-3\n"
               "[testSettings]\ntestMode=-1\ntestSizeIndex=-1\nstreamCount=0\nblockIndex=-1"
            << "perStreamRead=0" << QVector<int>{0, 2, 2, 4};
        QTest::newRow("clamped down, above the lists")
            << "[verdict]\niterCount=150\nperStreamWrite=5000\n"
               "[testSettings]\ntestMode=2\ntestSizeIndex=7\nstreamCount=17\nblockIndex=8"
            << "perStreamWrite=2000 iterCount=99" << QVector<int>{0, 2, 2, 4};
        QTest::newRow("garbage")
            << "[verdict]\nenableRead=yes\njitterFail=abc\njitterWarn=nan\ncvFail=inf\n"
               "cvWarn=-inf\ndropFail=1e999\ndropWarn=-0.1\nminSpeedMult=-0.5\n"
               "aggWriteFail=1e300\naggWriteWarn=@Invalid()\naggReadFail=1, 2\naggReadWarn=\n"
               "slcTrim=maybe\nfullCap=2\niterCount=abc\nperStreamWrite=nan\nperStreamRead=inf\n"
               "[testSettings]\ntestMode=external\ntestSizeIndex=1.5\nstreamCount=4294967298\n"
               "blockIndex=nan"
            << QString() << QVector<int>{0, 2, 2, 4};
    }

    void load()
    {
        QFETCH(QString, ini);
        QFETCH(QString, verdict);
        QSettings settings(iniFile(ini), QSettings::IniFormat);
        const VerdictSettings loaded = VerdictSettings::load(settings);
        QCOMPARE(changes(loaded.rules, loaded.enableRead), verdict);
        const TestSettings t = TestSettings::load(settings, {true, 2, 2, 4}, {7, 1, 16, 8});
        QTEST((QVector<int>{t.externalFiles, t.sizeIndex, t.streamCount, t.blockIndex}), "test");

        // Saved as all keys of the group, it reads back to the last bit of every double.
        QSettings out(iniFile(QString()), QSettings::IniFormat);
        loaded.save(out);
        out.sync();
        QCOMPARE(out.allKeys().size(), 18);
        QSettings reread(out.fileName(), QSettings::IniFormat);
        const VerdictSettings again = VerdictSettings::load(reread);
        QCOMPARE(changes(again.rules, again.enableRead), verdict);
    }

    // The loaders check ranges too, so only the readers themselves show a non-finite number.
    void nonFiniteRefused()
    {
        double d = 1;
        for (const QVariant& v : {QVariant("nan"), QVariant(" -inf"), QVariant(qQNaN())})
            QVERIFY2(!SettingsValue::toDouble(v, &d) && d == 1, qPrintable(v.toString()));
    }
};

QTEST_MAIN(TestSettingsGroups)
#include "tst_settings.moc"
