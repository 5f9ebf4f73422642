#include "analysis/testsettings.h"
#include "analysis/verdictrulesdialog.h"
#include "analysis/verdictsettings.h"
#include "i18n/catalogue.h"
#include "i18n/i18n.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(TestSettings)

namespace {

// The fields that differ from a first run's as "name=value", each double in the shortest form
// that reads back to the same bits, so a failure names the field and shows any stray bit.
QString changes(const VerdictRules& r, bool enableRead = false)
{
    const VerdictRules d;
    // clang-format off
#define FIELD(name) {#name, {r.name, d.name}}
    const std::pair<const char*, std::pair<double, double>> fields[] = {
        FIELD(jitterFail), FIELD(jitterWarn), FIELD(cvFail), FIELD(cvWarn), FIELD(dropFail),
        FIELD(dropWarn), FIELD(minSpeedMult), FIELD(perStreamWrite), FIELD(perStreamRead),
        FIELD(aggWriteFail), FIELD(aggWriteWarn), FIELD(aggReadFail), FIELD(aggReadWarn),
        FIELD(slcTrim), FIELD(fullCap), FIELD(iterCount), FIELD(rollVerify), {"enableRead", {enableRead, false}}};
#undef FIELD
    // clang-format on
    QStringList out;
    for (const auto& f : fields) {
        if (!(f.second.first == f.second.second)) // NaN shows too
            out << QStringLiteral("%1=%2").arg(
                QLatin1String(f.first),
                QString::number(f.second.first, 'g', QLocale::FloatingPointShortest));
    }
    return out.join(QLatin1Char(' '));
}

QVector<int> describe(const TestSettings& t)
{
    return {t.externalFiles, t.sizeIndex, t.streamCount, t.blockIndex};
}

QPushButton* buttonWithRole(QDialog& dialog, QDialogButtonBox::ButtonRole role)
{
    auto* box = dialog.findChild<QDialogButtonBox*>();
    for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>()) {
        if (box->buttonRole(b) == role)
            return qobject_cast<QPushButton*>(b);
    }
    return nullptr;
}

// Runs the dialog modally and clicks the buttons of roles in turn once it is up.
int execClicking(VerdictRulesDialog& dialog, QList<QDialogButtonBox::ButtonRole> roles)
{
    QTimer::singleShot(0, &dialog, [&dialog, roles] {
        for (QDialogButtonBox::ButtonRole role : roles) {
            if (QPushButton* b = buttonWithRole(dialog, role))
                b->click();
        }
        if (dialog.isVisible()) // a missing OK or Cancel must not hang the test
            dialog.done(-1);
    });
    return dialog.exec();
}

} // namespace

class TestSettingsGroups : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A settings file of its own per case with the given text, so no case sees another's.
    QString iniFile(const QString& text)
    {
        const QString path = m_dir.filePath(QStringLiteral("case%1.ini").arg(++m_files));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            return QString();
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        static QHash<QString, QString> english = Catalogue::buildTable(English);
        qApp->installTranslator(new I18n::Translator(&english, qApp));
    }

    void verdictLoad_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first run") << QString() << QString();
        QTest::newRow("stored values")
            << "enableRead=true\njitterFail=0.7\ncvWarn=0.30000000000000004\nminSpeedMult=0.25\n"
               "aggReadWarn=55.5\nslcTrim=false\nfullCap=true\niterCount=7\nperStreamWrite=12.5\n"
               "rollVerify=true"
            << "jitterFail=0.7 cvWarn=0.30000000000000004 minSpeedMult=0.25 perStreamWrite=12.5 "
               "aggReadWarn=55.5 slcTrim=0 fullCap=1 iterCount=7 rollVerify=1 enableRead=1";
        QTest::newRow("clamped up") << "iterCount=0\nperStreamRead=-3"
                                    << "perStreamRead=0";
        QTest::newRow("clamped down") << "iterCount=150\nperStreamWrite=5000"
                                      << "perStreamWrite=2000 iterCount=99";
        // Beyond the editors but plausible: kept, for the dialog to show clamped.
        QTest::newRow("beyond the editors") << "jitterFail=7\nminSpeedMult=0.05\naggReadWarn=2500"
                                            << "jitterFail=7 minSpeedMult=0.05 aggReadWarn=2500";
        QTest::newRow("garbage")
            << "enableRead=yes\njitterFail=abc\njitterWarn=nan\ncvFail=inf\ncvWarn=-inf\n"
               "dropFail=1e999\ndropWarn=-0.1\nminSpeedMult=-0.5\naggWriteFail=1e300\n"
               "aggWriteWarn=@Invalid()\naggReadFail=1, 2\naggReadWarn=\nslcTrim=maybe\n"
               "fullCap=2\niterCount=abc\nperStreamWrite=nan\nperStreamRead=inf\n"
            << QString();
    }

    void verdictLoad()
    {
        QFETCH(QString, group);
        QFETCH(QString, expected);
        const QString path = iniFile(QStringLiteral("[verdict]\n") + group);
        QSettings settings(path, QSettings::IniFormat);
        const VerdictSettings loaded = VerdictSettings::load(settings);
        QCOMPARE(changes(loaded.rules, loaded.enableRead), expected);

        // Whatever was loaded is saved as all keys of the group and reads back identically, to the
        // last bit of every double.
        QSettings out(iniFile(QString()), QSettings::IniFormat);
        loaded.save(out);
        out.sync();
        out.beginGroup(QStringLiteral("verdict"));
        QCOMPARE(out.childKeys().size(), 18);
        out.endGroup();
        QSettings reread(out.fileName(), QSettings::IniFormat);
        const VerdictSettings again = VerdictSettings::load(reread);
        QCOMPARE(changes(again.rules, again.enableRead), expected);
    }

    void testLoad_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<TestSettings>("expected");
        // The controls stand at {external, 2, 2, 4} before loading; the limits are 7 sizes,
        // 1..16 streams and 8 blocks.
        QTest::newRow("first run") << QString() << TestSettings{false, 2, 2, 4};
        QTest::newRow("all applied") << "testMode=1\ntestSizeIndex=6\nstreamCount=16\nblockIndex=0"
                                     << TestSettings{true, 6, 16, 0};
        QTest::newRow("mode 2, beyond the lists")
            << "testMode=2\ntestSizeIndex=7\nstreamCount=17\nblockIndex=8"
            << TestSettings{false, 2, 2, 4};
        QTest::newRow("below the lists")
            << "testMode=-1\ntestSizeIndex=-1\nstreamCount=0\nblockIndex=-1"
            << TestSettings{false, 2, 2, 4};
        QTest::newRow("garbage")
            << "testMode=external\ntestSizeIndex=1.5\nstreamCount=4294967298\nblockIndex=nan"
            << TestSettings{false, 2, 2, 4};
    }

    void testLoad()
    {
        QFETCH(QString, group);
        QFETCH(TestSettings, expected);
        const TestSettings::Limits limits{7, 1, 16, 8};
        QSettings settings(iniFile(QStringLiteral("[testSettings]\n") + group),
                           QSettings::IniFormat);
        QCOMPARE(describe(TestSettings::load(settings, TestSettings{true, 2, 2, 4}, limits)),
                 describe(expected));
    }

    void dialogClampsStoredValues()
    {
        // jitterFail 7.0, cvWarn 0.07, minSpeedMult 0.05, aggReadWarn 12.345, iterCount 150.
        VerdictRulesDialog dialog{VerdictRules{7.0, 0.45, 0.5, 0.07, 0.2, 0.1, 0.05, 5, 10, 10, 20,
                                               10, 12.345, true, false, 150}};
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("jitterFailSpin")->text(),
                 QStringLiteral("500.0 %"));
        QCOMPARE(dialog.findChild<QDoubleSpinBox*>("minSpeedMultSpin")->text(),
                 QStringLiteral("0.10"));
        QCOMPARE(execClicking(dialog, {QDialogButtonBox::AcceptRole}), int(QDialog::Accepted));
        QCOMPARE(changes(dialog.rules()),
                 QStringLiteral("jitterFail=5 cvWarn=0.07 minSpeedMult=0.1 aggReadWarn=12.3 "
                                "iterCount=99"));
    }

    void dialogRestoreDefaults_data()
    {
        QTest::addColumn<int>("closeRole");
        QTest::addColumn<int>("result");
        QTest::newRow("cancel") << int(QDialogButtonBox::RejectRole) << int(QDialog::Rejected);
        QTest::newRow("ok") << int(QDialogButtonBox::AcceptRole) << int(QDialog::Accepted);
    }

    void dialogRestoreDefaults()
    {
        QFETCH(int, closeRole);
        QFETCH(int, result);
        VerdictRules edited; // a first run: per-stream write minimum 5.0
        edited.fullCap = true;
        edited.dropWarn = 0.15;
        VerdictRulesDialog dialog(edited);
        QCOMPARE(execClicking(dialog, {QDialogButtonBox::ResetRole,
                                       QDialogButtonBox::ButtonRole(closeRole)}),
                 result);
        // The editors hold the defaults either way; only OK hands them on.
        QCOMPARE(changes(dialog.rules()), QStringLiteral("perStreamWrite=10"));
    }

    void dialogRichText()
    {
        VerdictRulesDialog dialog{VerdictRules()};
        // Labels carrying markup or entities must show as rich text, not as their source.
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->text().contains(QRegularExpression(QStringLiteral("[<&]"))))
                QCOMPARE(label->textFormat(), Qt::RichText);
        }
    }
};

int main(int argc, char* argv[])
{
    // Nothing here may touch the user's own store: the default one goes to a private folder.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationName(QStringLiteral("QuorvelCard"));
    TestSettingsGroups tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_settings.moc"
