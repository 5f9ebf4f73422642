#include "tst_catalogue.h"

#include "i18n/catalogue.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTest>

namespace {

const Language kLanguages[] = {SimplifiedChinese, English, TraditionalChinese};

QString textOf(const CatalogueEntry& entry, Language lang)
{
    return QString::fromUtf8(Catalogue::text(entry, lang));
}

QString keyOf(const CatalogueEntry& entry)
{
    return QString::fromUtf8(entry.key);
}

const CatalogueEntry* findEntry(const QString& key)
{
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        if (keyOf(Catalogue::entries()[i]) == key)
            return &Catalogue::entries()[i];
    }
    return nullptr;
}

QSet<int> placeholders(const QString& text)
{
    QSet<int> found;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("%(\\d+)")).globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured(1).toInt());
    return found;
}

// Tags and entities in order of appearance; "< threshold" in a plain-text tooltip is no tag.
QStringList markup(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("</?[A-Za-z][^<>]*>|&#?[A-Za-z0-9]+;"));
    QStringList found;
    QRegularExpressionMatchIterator it = re.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}

bool hasCjk(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

const QStringList kSameInAllLanguages = {
    QStringLiteral("LangZh"), QStringLiteral("LangEn"), QStringLiteral("MetricJitterFormula"),
    QStringLiteral("MetricCVFormula"), QStringLiteral("MetricDropFormula")};

const QStringList kSameInBothChinese = {
    QStringLiteral("BtnStop"),         QStringLiteral("ColVerdict"),
    QStringLiteral("HdrWarnGt"),       QStringLiteral("HdrWarnLt"),
    QStringLiteral("SuffixRuns"),      QStringLiteral("BtnCancel"),
    QStringLiteral("MsgBlockedTitle"), QStringLiteral("MsgCapLimitTitle"),
    QStringLiteral("MsgFormatting"),   QStringLiteral("MsgFormatDone"),
    QStringLiteral("VerdictWarn")};

} // namespace

void TestCatalogue::keysAndSimplifiedTextsAreDistinct()
{
    QCOMPARE(Catalogue::entryCount(), 156);
    const QRegularExpression keyShape(QStringLiteral(
        "^(Menu|Lang|Group|Label|Btn|Radio|Hint|Check|Progress|Round|Col|Row|Drive|Dlg|Section|"
        "Hdr|Metric|Tip|Suffix|Filter|Summary|Msg|Verdict|Log|Rolling|TotalSize|Err)"
        "[A-Z0-9][A-Za-z0-9]*$"));
    QSet<QString> keys;
    QSet<QString> simplified;
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const CatalogueEntry& entry = Catalogue::entries()[i];
        const QString key = keyOf(entry);
        QVERIFY2(keyShape.match(key).hasMatch(), qPrintable(key));
        QVERIFY2(!keys.contains(key), qPrintable("duplicate key " + key));
        keys.insert(key);
        const QString s = textOf(entry, SimplifiedChinese);
        QVERIFY2(!s.isEmpty(), qPrintable(key));
        QVERIFY2(!simplified.contains(s), qPrintable("duplicate Simplified text of " + key));
        simplified.insert(s);
        QVERIFY2(!textOf(entry, English).isEmpty(), qPrintable(key));
        QVERIFY2(!textOf(entry, TraditionalChinese).isEmpty(), qPrintable(key));
    }
    QVERIFY(!keys.intersects(simplified));
}

void TestCatalogue::tablesHoldKeyAndSimplifiedMappings()
{
    for (Language lang : kLanguages) {
        const QHash<QString, QString> table = Catalogue::buildTable(lang);
        QCOMPARE(table.size(), 312);
        for (int i = 0; i < Catalogue::entryCount(); ++i) {
            const CatalogueEntry& entry = Catalogue::entries()[i];
            QCOMPARE(table.value(keyOf(entry)), textOf(entry, lang));
            QCOMPARE(table.value(textOf(entry, SimplifiedChinese)), textOf(entry, lang));
        }
        // English and Traditional texts are shown, never looked up.
        QVERIFY(!table.contains(QStringLiteral("Test Settings")));
        QVERIFY(!table.contains(QStringLiteral("測試設定")));
    }
}

void TestCatalogue::placeholdersAndMarkupMatchAcrossLanguages()
{
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const CatalogueEntry& entry = Catalogue::entries()[i];
        const QString key = keyOf(entry);
        const QString en = textOf(entry, English);
        // Placeholders run %1 … %n without gaps, at most %19.
        const QSet<int> expected = placeholders(en);
        for (int n = 1; n <= expected.size(); ++n)
            QVERIFY2(expected.contains(n), qPrintable(key));
        QVERIFY(expected.size() <= 19);
        for (Language lang : {SimplifiedChinese, TraditionalChinese}) {
            const QString text = textOf(entry, lang);
            QVERIFY2(placeholders(text) == expected, qPrintable(key));
            QVERIFY2(markup(text) == markup(en), qPrintable(key));
        }
    }
    // The checker itself sees tags and entities.
    QCOMPARE(markup(textOf(*findEntry(QStringLiteral("HdrFailGt")), English)),
             QStringList({QStringLiteral("<b>"), QStringLiteral("&gt;"), QStringLiteral("</b>")}));
}

void TestCatalogue::lineBreaks()
{
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const CatalogueEntry& entry = Catalogue::entries()[i];
        const QString key = keyOf(entry);
        const int en = textOf(entry, English).count(QLatin1Char('\n'));
        // The two long tooltips read better in Chinese with one more break.
        const bool tooltip =
            key == QLatin1String("TipFullCap") || key == QLatin1String("TipIterations");
        if (tooltip)
            QCOMPARE(en, 2);
        for (Language lang : {SimplifiedChinese, TraditionalChinese}) {
            const QString text = textOf(entry, lang);
            QVERIFY2(text.count(QLatin1Char('\n')) == (tooltip ? 3 : en), qPrintable(key));
            QVERIFY2(!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1String("\\n")),
                     qPrintable(key));
        }
    }
}

void TestCatalogue::sharedTexts()
{
    int same = 0;
    int sameChinese = 0;
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const CatalogueEntry& entry = Catalogue::entries()[i];
        const QString key = keyOf(entry);
        const QString s = textOf(entry, SimplifiedChinese);
        const QString e = textOf(entry, English);
        const QString t = textOf(entry, TraditionalChinese);
        if (kSameInAllLanguages.contains(key)) {
            ++same;
            QVERIFY2(s == e && t == e, qPrintable(key));
        } else if (kSameInBothChinese.contains(key)) {
            ++sameChinese;
            QVERIFY2(s == t && s != e, qPrintable(key));
        } else {
            QVERIFY2(s != t, qPrintable(key));
        }
        QVERIFY2(!(s + e + t).contains(QLatin1String("Vavozi")), qPrintable(key));
    }
    QCOMPARE(same, kSameInAllLanguages.size());
    QCOMPARE(sameChinese, kSameInBothChinese.size());
    QCOMPARE(textOf(*findEntry(QStringLiteral("LangZh")), English), QStringLiteral("中文"));
    QCOMPARE(textOf(*findEntry(QStringLiteral("LangEn")), SimplifiedChinese),
             QStringLiteral("English"));
}

void TestCatalogue::chineseTextsUseTheirOwnScriptAndTerms()
{
    // Characters (and words) that belong to only one of the two written standards.
    const QString simplifiedOnly =
        QStringLiteral("这为们个设数据计删录读写时间开关动测试驱储导选择击"
                       "仅态块项现应复样错误败缓载级变结总满压滚轮还盘");
    const QString traditionalOnly =
        QStringLiteral("這為們個設數據計刪錄讀寫時間開關動測試驅儲導選擇擊"
                       "僅態塊項現應複樣錯誤敗緩載級變結總滿壓滾輪還盤檔資預");
    const QStringList mainlandTerms = {QStringLiteral("文件"), QStringLiteral("默認"),
                                       QStringLiteral("數據"), QStringLiteral("設置"),
                                       QStringLiteral("打開"), QStringLiteral("保存"),
                                       QStringLiteral("U 盤"), QStringLiteral("信息")};
    const QStringList taiwanTerms = {QStringLiteral("档案"),   QStringLiteral("预设"),
                                     QStringLiteral("资料"),   QStringLiteral("设定"),
                                     QStringLiteral("开启"),   QStringLiteral("储存"),
                                     QStringLiteral("记忆卡"), QStringLiteral("磁碟")};
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const CatalogueEntry& entry = Catalogue::entries()[i];
        const QString key = keyOf(entry);
        const QString en = textOf(entry, English);
        const QString s = textOf(entry, SimplifiedChinese);
        const QString t = textOf(entry, TraditionalChinese);
        QVERIFY2(s == en || hasCjk(s), qPrintable(key));
        QVERIFY2(t == en || hasCjk(t), qPrintable(key));
        for (const QChar c : traditionalOnly)
            QVERIFY2(!s.contains(c), qPrintable(key + QStringLiteral(" Simplified has ") + c));
        for (const QChar c : simplifiedOnly)
            QVERIFY2(!t.contains(c), qPrintable(key + QStringLiteral(" Traditional has ") + c));
        for (const QString& term : mainlandTerms)
            QVERIFY2(!t.contains(term),
                     qPrintable(key + QStringLiteral(" Traditional has ") + term));
        for (const QString& term : taiwanTerms)
            QVERIFY2(!s.contains(term),
                     qPrintable(key + QStringLiteral(" Simplified has ") + term));
    }
}

void TestCatalogue::englishTexts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("english");
    const char* const rows[][2] = {
        {"MenuLanguage", "Language"},
        {"GroupTestSettings", "Test Settings"},
        {"TotalSize1GB", "Total: 1 GB"},
        {"TotalSizeGB", "Total: %1 GB"},
        {"BtnBrowse", "Browse..."},
        {"CheckReadTest",
         "Run read test (when off, only write runs; read UI and columns are hidden)"},
        {"ProgressInitial", "Current: -- MB/s  |  Avg: -- MB/s"},
        {"ProgressLive", "Current: %1 MB/s  |  Avg: %2 MB/s  |  Elapsed: %3"},
        {"RoundPrefix", "Round %1/%2 · "},
        {"DriveWarnNoDrive",
         "⚠ No removable drive detected — please insert an memory card / USB drive"},
        {"HdrFailGt", "<b>Fail &gt;</b>"},
        {"HdrWarnLt", "<b>Warn &lt;</b>"},
        {"MetricJitterFormula",
         "<span style='color:#888;font-size:9pt;'>(P75−P25)/avg · IQR</span>"},
        {"MetricDropFormula",
         "<span style='color:#888;font-size:9pt;'>count(s&lt;avg*0.6)/N</span>"},
        {"TipSlcTrim",
         "When enabled, auto-detect the SLC→TLC transition point and recompute "
         "avg/max/min/jitter/CV/drop using the steady-state segment only. Prevents the high-speed "
         "cache peak from inflating jitter and causing the card to be misjudged as \"Fail\". True "
         "pSLC cards or cards with no cliff will not have any samples trimmed."},
        {"LabelPerStreamWriteMin", "Per-stream write min ≥"},
        {"LabelPerStreamReadMin", "Per-stream read min  ≥"},
        {"LabelMinSpeedLt", "Min speed &lt; threshold ×"},
        {"SuffixRuns", " runs"},
        {"TipIterations",
         "Without [Fill entire card]: repeat the whole test (test size × streams) N rounds.\nWith "
         "[Fill entire card]: fill the entire card N times — each iteration first deletes the "
         "previous iteration's files, then writes [test-size]-sized files sequentially until full. "
         "Total bytes ≈ N × card capacity.\nDefault 1."},
        {"FilterAllFiles", "All files (*.*)"},
        {"MsgBlockedBody", "Target %1 is not a removable drive — the test is refused to protect "
                           "local data.\n\nPlease "
                           "insert an memory card / USB drive and click \"Refresh\" to re-select."},
        {"MsgFormatting", "Formatting %1 …"},
        {"MsgFormatFailed", "Format failed. Continuing with test…"},
        {"MsgLowSpaceBody",
         "Selected drive has insufficient free space.\nRequired: %1 MB\nAvailable: %2 MB"},
        {"VerdictFail", "✗ Fail"},
        {"VerdictTooltip",
         "Write: jitter %1% · CV %2% · drops %3/%4 (%5%) · min %6 MB/s\nRead : jitter %7% · CV %8% "
         "· drops %9/%10 (%11%) · min %12 MB/s\n\nRules (any subitem trips the row):\n  Fail: "
         "jitter > %13% | CV > %14% | drops > %15% | min < threshold×%16\n  Warn: jitter > %17% | "
         "CV > %18% | drops > %19% | min < threshold"},
        {"VerdictDropSamples", "%1 / %2 samples below avg×60%"},
        {"LogRoundEnter", "—— Starting round %1/%2 ——"},
        {"LogTestStart", "========== Speed test started =========="},
        {"LogSizeBlock", "Total: %1 MB   Block: %2 KB"},
        {"LogBeginWrite", "  Writing %1"},
        {"LogRollingParams",
         "Per file: %1 MB   Files per fill: %2   Refills: %3   Total files: %4"},
        {"LogRollingTail", "  Last %1 MB is a tail file sized to fill the remaining card capacity"},
        {"TotalSizeRolling", "Total: %1 GB (fill × %2)"},
        {"ErrReadSource", "Reading source file failed (%1)"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]);
}

void TestCatalogue::englishTexts()
{
    QFETCH(QString, key);
    QFETCH(QString, english);
    const CatalogueEntry* entry = findEntry(key);
    QVERIFY(entry != nullptr);
    QCOMPARE(textOf(*entry, English), english);
}

void TestCatalogue::chineseTexts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("simplified");
    QTest::addColumn<QString>("traditional");
    const char* const rows[][3] = {
        {"LabelWrite", "写入", "寫入"},
        {"LabelRead", "读取", "讀取"},
        {"ErrOpenSource", "无法打开源文件: %1", "無法開啟來源檔案: %1"},
        {"ErrCreateTarget", "无法创建目标文件: %1", "無法建立目標檔案: %1"},
        {"ErrOpenForRead", "无法读取文件: %1", "無法讀取檔案: %1"},
        {"ErrReadSource", "读取源文件失败 (%1)", "讀取來源檔案失敗 (%1)"},
        {"ErrWrite", "写入失败 (%1)", "寫入失敗 (%1)"},
        {"ErrRead", "读取失败 (%1)", "讀取失敗 (%1)"},
        {"MenuLanguage", "语言", "語言"},
        {"GroupTestSettings", "测试设置", "測試設定"},
        {"BtnStart", "开始测试", "開始測試"},
        {"BtnStop", "停止", "停止"},
        {"DriveRemovable", "可移动", "卸除式"},
        {"VerdictPass", "✓ 达标", "✓ 達標"},
        {"VerdictFail", "✗ 不达标", "✗ 未達標"},
        {"LogTestStart",
         "========== 速度测试开始 ==========", "========== 速度測試開始 =========="},
    };
    for (const auto& row : rows) {
        QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1])
                              << QString::fromUtf8(row[2]);
    }
}

void TestCatalogue::chineseTexts()
{
    QFETCH(QString, key);
    QFETCH(QString, simplified);
    QFETCH(QString, traditional);
    const CatalogueEntry* entry = findEntry(key);
    QVERIFY(entry != nullptr);
    QCOMPARE(textOf(*entry, SimplifiedChinese), simplified);
    QCOMPARE(textOf(*entry, TraditionalChinese), traditional);
}
