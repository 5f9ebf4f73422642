#include "i18n/catalogue.h"

#include <iterator>

namespace {

// Every user-visible text: key, Simplified Chinese, English, Traditional Chinese, in catalogue
// order. Callers look entries up by key, a few by their Simplified Chinese text; keys and
// Simplified texts are therefore unique and never equal to one another.
const CatalogueEntry kEntries[] = {
    {"MenuLanguage", "语言(&L)", "&Language", "語言(&L)"},
    {"LangZh", "中文", "中文", "中文"},
    {"LangEn", "English", "English", "English"},
    {"GroupTestSettings", "测试设置", "Test Settings", "測試設定"},
    {"GroupWriteTest", "写入测试", "Write Test", "寫入測試"},
    {"GroupReadTest", "读取测试", "Read Test", "讀取測試"},
    {"GroupSpeedCurve", "实时速度曲线", "Real-time Speed Curve", "即時速度曲線"},
    {"GroupResults", "测试结果", "Test Results", "測試結果"},
    {"LabelDrive", "目标驱动器：", "Target drive:", "目標磁碟機："},
    {"BtnRefresh", "刷新", "Refresh", "重新整理"},
    {"LabelMode", "测试模式：", "Test mode:", "測試模式："},
    {"RadioRandom", "随机数据", "Random data", "隨機資料"},
    {"RadioExternalFile", "外部文件", "External file", "外部檔案"},
    {"LabelSize", "测试大小：", "Test size:", "測試大小："},
    {"LabelStreams", "并行数：", "Streams:", "平行串流數："},
    {"TotalSize1GB", "总计：1 GB", "Total: 1 GB", "總計：1 GB"},
    {"TotalSizeGB", "总计：%1 GB", "Total: %1 GB", "總計：%1 GB"},
    {"TotalSizeMB", "总计：%1 MB", "Total: %1 MB", "總計：%1 MB"},
    {"LabelFiles", "外部文件：", "External files:", "外部檔案："},
    {"HintAddFiles", "点击添加文件", "Click to add files", "按一下以新增檔案"},
    {"HintNoFileSelected", "未选择文件", "No files selected", "未選取檔案"},
    {"BtnBrowse", "浏览...", "Browse...", "瀏覽..."},
    {"BtnClearFiles", "清空", "Clear", "清除"},
    {"LabelBlock", "块大小：", "Block size:", "區塊大小："},
    {"LabelReadSpeed", "读取速度：", "Read speed:", "讀取速度："},
    {"CheckReadTest", "执行读取测试（关闭时只进行写入，并隐藏读取相关的界面和列）",
     "Run read test (when off, only write runs; read UI and columns are hidden)",
     "執行讀取測試（關閉時只進行寫入，並隱藏讀取相關的介面與欄位）"},
    {"BtnVerdictRules", "判定规则(&R)...", "Verdict &rules...", "判定規則(&R)..."},
    {"BtnStart", "开始测试(&S)", "&Start test", "開始測試(&S)"},
    {"BtnStop", "停止(&O)", "St&op", "停止(&O)"},
    {"ProgressInitial", "当前：-- MB/s  |  平均：-- MB/s", "Current: -- MB/s  |  Avg: -- MB/s",
     "目前：-- MB/s  |  平均：-- MB/s"},
    {"ProgressLive", "当前：%1 MB/s  |  平均：%2 MB/s  |  已用时间：%3",
     "Current: %1 MB/s  |  Avg: %2 MB/s  |  Elapsed: %3",
     "目前：%1 MB/s  |  平均：%2 MB/s  |  經過時間：%3"},
    {"RoundPrefix", "第 %1/%2 轮 · ", "Round %1/%2 · ", "第 %1/%2 輪 · "},
    {"ColFile", "文件", "File", "檔案"},
    {"ColWriteAvg", "写入平均", "Write Avg", "寫入平均"},
    {"ColWriteMax", "写入最高", "Write Max", "寫入最高"},
    {"ColWriteMin", "写入最低", "Write Min", "寫入最低"},
    {"ColWriteJitter", "写入抖动", "Write Jitter", "寫入抖動"},
    {"ColWriteCV", "写入 CV", "Write CV", "寫入 CV"},
    {"ColWriteDrop", "写入掉速", "Write Drop", "寫入降速"},
    {"ColReadAvg", "读取平均", "Read Avg", "讀取平均"},
    {"ColReadMax", "读取最高", "Read Max", "讀取最高"},
    {"ColReadMin", "读取最低", "Read Min", "讀取最低"},
    {"ColReadJitter", "读取抖动", "Read Jitter", "讀取抖動"},
    {"ColReadCV", "读取 CV", "Read CV", "讀取 CV"},
    {"ColReadDrop", "读取掉速", "Read Drop", "讀取降速"},
    {"ColVerdict", "判定", "Verdict", "判定"},
    {"RowCardTotal", "整卡合计", "Card total", "整卡合計"},
    // Reports, the copy of the results and the history of runs.
    {"MenuFile", "文件(&F)", "&File", "檔案(&F)"},
    {"MenuSaveReport", "保存报告(&S)...", "&Save report...", "儲存報告(&S)..."},
    {"MenuHistory", "历史记录(&H)...", "&History...", "歷史記錄(&H)..."},
    {"MenuCopy", "复制", "Copy", "複製"},
    {"MenuCopyAll", "全部复制", "Copy all", "全部複製"},
    {"BtnSaveReport", "保存报告...", "Save report...", "儲存報告..."},
    {"DlgSaveReport", "保存测试报告", "Save test report", "儲存測試報告"},
    {"FilterReportHtml", "HTML 报告 (*.html)", "HTML report (*.html)", "HTML 報告 (*.html)"},
    {"FilterReportJson", "JSON 数据 (*.json)", "JSON data (*.json)", "JSON 資料 (*.json)"},
    {"FilterReportCsv", "CSV 表格 (*.csv)", "CSV table (*.csv)", "CSV 表格 (*.csv)"},
    {"FilterReportPng", "速度曲线图 (*.png)", "Speed chart (*.png)", "速度曲線圖 (*.png)"},
    {"MsgSaveFailedTitle", "保存失败", "Save failed", "儲存失敗"},
    {"MsgSaveFailedBody", "无法保存报告：\n%1", "The report could not be saved:\n%1",
     "無法儲存報告：\n%1"},
    {"LogReportSaved", "报告已保存：%1", "Report saved: %1", "報告已儲存：%1"},
    {"LogHistoryOff", "历史记录已关闭：%1", "History is off: %1", "歷史記錄已關閉：%1"},
    {"LogHistoryNotStored", "本次测试未存入历史记录：%1",
     "This run was not stored in the history: %1", "本次測試未存入歷史記錄：%1"},
    {"HdrReportTitle", "存储卡速度测试报告", "Card speed test report", "記憶卡速度測試報告"},
    {"ColCard", "存储卡", "Card", "記憶卡"},
    {"SectionSpeedChart", "速度曲线", "Speed curve", "速度曲線"},
    {"SectionErrors", "错误信息", "Errors", "錯誤訊息"},
    {"LabelCardVerdict", "整卡判定：", "Card verdict:", "整卡判定："},
    {"LabelCardLabel", "卷标：", "Volume label:", "磁碟區標籤："},
    {"LabelFileSystem", "文件系统：", "File system:", "檔案系統："},
    {"LabelCapacity", "容量：", "Capacity:", "容量："},
    {"LabelFreeBefore", "测试前可用空间：", "Free before the test:", "測試前可用空間："},
    {"LabelTotalBytes", "总大小：", "Total size:", "總大小："},
    {"LabelReadBack", "读取测试：", "Read test:", "讀取測試："},
    {"LabelYes", "是", "Yes", "是"},
    {"LabelNo", "否", "No", "否"},
    {"LabelRounds", "轮次：", "Rounds:", "輪次："},
    {"LabelFillFile", "每个文件：", "Per file:", "每個檔案："},
    {"LabelStarted", "开始时间：", "Started:", "開始時間："},
    {"LabelEnded", "结束时间：", "Ended:", "結束時間："},
    {"LabelOutcome", "结束方式：", "Outcome:", "結束方式："},
    {"LabelEndCompleted", "已完成", "Completed", "已完成"},
    {"LabelEndStopped", "已被用户停止", "Stopped by the user", "已由使用者停止"},
    {"LabelEndFailed", "因错误而中止", "Failed", "因錯誤而中止"},
    {"LabelModeRolling", "填满整卡", "Fill entire card", "寫滿整張卡"},
    {"LabelAggWriteMin", "整卡写入最低速度", "Card-total write min", "整卡寫入最低速度"},
    {"LabelAggReadMin", "整卡读取最低速度", "Card-total read min", "整卡讀取最低速度"},
    {"LabelProgram", "程序版本：", "Program version:", "程式版本："},
    {"LabelReportMade", "报告生成时间：", "Report made:", "報告產生時間："},
    {"ColWriteDropCount", "写入掉速样本", "Write drop samples", "寫入降速樣本"},
    {"ColWriteSamples", "写入样本数", "Write samples", "寫入樣本數"},
    {"ColReadDropCount", "读取掉速样本", "Read drop samples", "讀取降速樣本"},
    {"ColReadSamples", "读取样本数", "Read samples", "讀取樣本數"},
    {"ColBadBlocks", "坏块", "Bad blocks", "壞區塊"},
    {"ColReasons", "判定原因", "Reasons", "判定原因"},
    {"ColPhase", "阶段", "Phase", "階段"},
    {"ColSample", "样本序号", "Sample", "樣本序號"},
    {"ColProgress", "进度 (%)", "Progress (%)", "進度 (%)"},
    {"ColSpeed", "速度 (MB/s)", "Speed (MB/s)", "速度 (MB/s)"},
    {"ErrReportNotOurs", "不是本程序的测试结果文件", "not a test result file of this program",
     "不是本程式的測試結果檔案"},
    {"ErrReportNewer", "格式版本 %1 无法识别，可能来自更新版本的程序",
     "format version %1 is not known; a newer version of the program may have written it",
     "無法識別格式版本 %1，可能來自較新版本的程式"},
    {"ErrHistoryNotOpen", "历史记录尚未打开", "the history has not been opened",
     "歷史記錄尚未開啟"},
    {"ErrNoSqlDriver", "没有可用的 SQLite 驱动", "no SQLite driver is available",
     "沒有可用的 SQLite 驅動程式"},
    {"ErrHistoryFolder", "无法创建文件夹 %1", "the folder %1 cannot be created",
     "無法建立資料夾 %1"},
    {"ErrHistorySchema", "数据库结构版本 %1 无法识别，可能来自更新版本的程序",
     "the database has a layout this program does not know (schema %1); a newer version may "
     "have made it",
     "無法識別資料庫結構版本 %1，可能來自較新版本的程式"},
    {"ErrHistoryNoRun", "历史记录中没有编号为 %1 的测试", "the history holds no run number %1",
     "歷史記錄中沒有編號為 %1 的測試"},
    {"DlgHistoryTitle", "测试历史", "Run history", "測試歷史"},
    {"ColTime", "时间", "Time", "時間"},
    {"ColCapacity", "容量", "Capacity", "容量"},
    {"ColFileSystem", "文件系统", "File system", "檔案系統"},
    {"ColMode", "模式", "Mode", "模式"},
    {"ColStreams", "并行数", "Streams", "平行串流數"},
    {"ColBlockSize", "块大小", "Block size", "區塊大小"},
    {"ColOutcome", "结束方式", "Outcome", "結束方式"},
    {"LabelFilterCard", "存储卡：", "Card:", "記憶卡："},
    {"LabelAllCards", "全部存储卡", "All cards", "全部記憶卡"},
    {"LabelHistoryCount", "共 %1 条记录", "%1 runs", "共 %1 筆記錄"},
    {"LabelHistoryCount#one", "共 %1 条记录", "%1 run", "共 %1 筆記錄"},
    {"BtnDelete", "删除", "Delete", "刪除"},
    {"BtnCompare", "对比", "Compare", "比較"},
    {"BtnClose", "关闭", "Close", "關閉"},
    {"TipCompare", "选择两条记录进行对比", "Select two runs to compare them", "選取兩筆記錄來比較"},
    {"MsgDeleteTitle", "删除记录", "Delete runs", "刪除記錄"},
    {"MsgDeleteBody", "确定删除所选的 %1 条记录吗？", "Delete the %1 selected runs?",
     "確定刪除所選的 %1 筆記錄嗎？"},
    {"MsgDeleteBody#one", "确定删除所选的 %1 条记录吗？", "Delete the %1 selected run?",
     "確定刪除所選的 %1 筆記錄嗎？"},
    {"MsgHistoryOff", "历史记录不可用：%1", "The history is not available: %1",
     "歷史記錄無法使用：%1"},
    {"MsgLoadFailed", "无法读取这条记录：%1", "This run could not be read: %1",
     "無法讀取這筆記錄：%1"},
    {"DlgCompareTitle", "对比两次测试", "Compare two runs", "比較兩次測試"},
    {"TipOtherRun", "另一次测试：%1", "Other run: %1", "另一次測試：%1"},
    {"DriveRemovable", "可移动", "Removable", "卸除式"},
    {"DriveWarnNoDrive", "⚠ 未检测到可移动驱动器 — 请插入存储卡 / U 盘",
     "⚠ No removable drive detected — please insert a memory card / USB drive",
     "⚠ 未偵測到卸除式磁碟 — 請插入記憶卡 / USB 隨身碟"},
    {"DriveOnlyWindows", "仅支持 Windows", "Windows only", "僅支援 Windows"},
    {"DlgVerdictTitle", "判定规则", "Verdict Rules", "判定規則"},
    {"SectionMetricThresholds", "指标阈值（任意一项超出即触发相应的降级）",
     "Metric thresholds (any one downgrades the verdict)",
     "指標門檻（任一項超出即觸發對應的降級）"},
    {"ColMetric", "指标", "Metric", "指標"},
    {"HdrFailGt", "<b>不达标 &gt;</b>", "<b>Fail &gt;</b>", "<b>未達標 &gt;</b>"},
    {"HdrWarnGt", "<b>警告 &gt;</b>", "<b>Warn &gt;</b>", "<b>警告 &gt;</b>"},
    {"HdrFailLt", "<b>不达标 &lt;</b>", "<b>Fail &lt;</b>", "<b>未達標 &lt;</b>"},
    {"HdrWarnLt", "<b>警告 &lt;</b>", "<b>Warn &lt;</b>", "<b>警告 &lt;</b>"},
    {"MetricJitter", "抖动", "Jitter", "抖動"},
    {"MetricCV", "CV（变异系数）", "CV (coefficient of variation)", "CV（變異係數）"},
    {"MetricDrop", "掉速比例", "Drop ratio", "降速比率"},
    {"MetricJitterFormula", "<span style='color:#888;font-size:9pt;'>(P75−P25)/avg · IQR</span>",
     "<span style='color:#888;font-size:9pt;'>(P75−P25)/avg · IQR</span>",
     "<span style='color:#888;font-size:9pt;'>(P75−P25)/avg · IQR</span>"},
    {"MetricCVFormula",
     "<span style='color:#888;font-size:9pt;'>trimmed stddev/avg · [P5,P95]</span>",
     "<span style='color:#888;font-size:9pt;'>trimmed stddev/avg · [P5,P95]</span>",
     "<span style='color:#888;font-size:9pt;'>trimmed stddev/avg · [P5,P95]</span>"},
    {"MetricDropFormula", "<span style='color:#888;font-size:9pt;'>count(s&lt;avg*0.6)/N</span>",
     "<span style='color:#888;font-size:9pt;'>count(s&lt;avg*0.6)/N</span>",
     "<span style='color:#888;font-size:9pt;'>count(s&lt;avg*0.6)/N</span>"},
    {"CheckSlcTrim", "剔除 SLC 缓存区段（所有指标仅按稳态 TLC 段计算）",
     "Trim SLC cache region (compute all metrics on steady-state TLC only)",
     "排除 SLC 快取區段（所有指標僅以穩定狀態的 TLC 區段計算）"},
    {"TipSlcTrim",
     "启用后，自动检测 SLC→TLC 的切换点，仅用稳态区段重新计算平均值、最高、最低、抖动、CV "
     "和掉速比例。可避免高速缓存的峰值拉高抖动，导致卡被误判为“不达标”。真正的 pSLC "
     "卡或没有断崖式掉速的卡不会被剔除任何样本。",
     "When enabled, auto-detect the SLC→TLC transition point and recompute "
     "avg/max/min/jitter/CV/drop using the steady-state segment only. Prevents the high-speed "
     "cache peak from inflating jitter and causing the card to be misjudged as \"Fail\". True pSLC "
     "cards or cards with no cliff will not have any samples trimmed.",
     "啟用後會自動偵測 SLC→TLC 的轉換點，並只以穩定狀態的區段重新計算平均值、最高、最低、抖動、CV "
     "與降速比率。可避免高速快取的峰值拉高抖動，使記憶卡被誤判為「未達標」。真正的 pSLC "
     "卡或沒有斷崖式降速的卡，不會排除任何樣本。"},
    {"SectionPerStreamMin", "单流最低速度（仅适用于单个文件 / 单个流的行）",
     "Per-stream min speed (stream rows only)",
     "單一串流最低速度（僅適用於個別檔案 / 個別串流的列）"},
    {"LabelPerStreamWriteMin", "单流写入最低 ≥", "Per-stream write min ≥", "單一串流寫入下限 ≥"},
    {"LabelPerStreamReadMin", "单流读取最低 ≥", "Per-stream read min  ≥", "單一串流讀取下限 ≥"},
    {"LabelMinSpeedLt", "最低速度 &lt; 阈值 ×", "Min speed &lt; threshold ×",
     "最低速度 &lt; 門檻 ×"},
    {"LabelThenFail", "→ 不达标", "→ Fail", "→ 未達標"},
    {"SectionAggMin", "整卡最低速度（仅适用于整卡合计行）",
     "Card-total min speed (card-total row only)", "整卡最低速度（僅適用於整卡合計列）"},
    {"SectionStressTest", "压力测试", "Stress Test", "壓力測試"},
    {"CheckFullCap", "填满整卡", "Fill entire card", "寫滿整張卡"},
    {"HintFullCap", "按[测试大小]依次写入文件直到卡满；之后每轮删除全部文件后重新写满。",
     "Writes [Test size] files one after another until the card is full; each further round "
     "deletes them all and fills the card again.",
     "依[測試大小]依序寫入檔案直到卡滿；之後每輪刪除全部檔案後重新寫滿。"},
    {"TipFullCap",
     "启用后不再受单次[测试大小]的限制：以所选[测试大小]的文件依次写入，直到整张卡写满。\n"
     "之后的每一轮（见[每次测试轮数]）先删除上一轮写入的全部文件，再重新写满整张卡。\n"
     "适合观察 SLC 缓存耗尽后的真实稳态速度，以及卡的长期写入耐久度。\n"
     "启用此模式会将[并行数]强制设为 1，并且不使用读取测试。",
     "When enabled, the one-shot [Test size] cap is ignored: files of the selected [Test size] "
     "are written one after another until the card is full.\n"
     "Each further round (see [Rounds per test]) deletes the whole fill and fills the card "
     "again.\n"
     "Useful for observing the true steady state after SLC cache exhaustion and the card's "
     "long-term write endurance.\n"
     "Enabling this mode forces [Streams] to 1 and leaves out the read test.",
     "啟用後不再受單次[測試大小]的限制：以所選[測試大小]的檔案依序寫入，直到整張卡寫滿。\n"
     "之後的每一輪（見[每次測試輪數]）先刪除上一輪寫入的全部檔案，再重新寫滿整張卡。\n"
     "適合用來觀察 SLC 快取用盡後的真實穩定速度，以及記憶卡的長期寫入耐用度。\n"
     "啟用此模式時，[平行串流數]會強制設為 1，並且不進行讀取測試。"},
    {"LabelIterations", "每次测试轮数：", "Rounds per test:", "每次測試輪數："},
    {"SuffixRuns", " 轮", " rounds", " 輪"},
    {"SuffixRuns#one", " 轮", " round", " 輪"},
    {"TipIterations",
     "每次测试都会执行 N 轮，普通测试也一样。\n"
     "未启用[填满整卡]时：将整个测试（测试大小 × 并行数）重复 N 轮。\n"
     "启用[填满整卡]时：将整张卡写满 N 次 — "
     "每次先删除上一次的文件，再按[测试大小]依次写入文件，直到写满。\n"
     "总写入量 ≈ N × 卡容量。\n"
     "默认为 1。",
     "Every test runs N rounds, a normal one too.\n"
     "Without [Fill entire card]: repeat the whole test (test size × streams) N rounds.\n"
     "With [Fill entire card]: fill the entire card N times — each iteration first deletes the "
     "previous iteration's files, then writes [test-size]-sized files sequentially until full. "
     "Total bytes ≈ N × card capacity.\n"
     "Default 1.",
     "每次測試都會執行 N 輪，一般測試也一樣。\n"
     "未啟用[寫滿整張卡]時：將整個測試（測試大小 × 平行串流數）重複 N 輪。\n"
     "啟用[寫滿整張卡]時：將整張卡寫滿 N 次 — "
     "每次先刪除上一次的檔案，再依[測試大小]依序寫入檔案，直到寫滿為止。\n"
     "總寫入量 ≈ N × 記憶卡容量。\n"
     "預設為 1。"},
    {"CheckRollVerify", "每次填满后校验数据", "Verify data after each fill", "每次寫滿後驗證資料"},
    {"TipRollVerify",
     "每次填满后先读回全部数据并与写入的内容逐块比对，然后再删除。可以查出实际容量小于标称容量的扩"
     "容卡，"
     "但压力测试会多花一些时间。",
     "Reads every fill back and compares it block by block with what was written before "
     "deleting it. This finds cards whose real capacity is smaller than they claim; the stress "
     "test takes longer.",
     "每次寫滿後先讀回全部資料並與寫入的內容逐塊比對，然後再刪除。可以揪出實際容量小於標示容量的擴"
     "容卡，"
     "但壓力測試會多花一些時間。"},
    {"BtnRestoreDefaults", "恢复默认值", "Restore defaults", "還原預設值"},
    {"BtnOk", "确定", "OK", "確定"},
    {"BtnCancel", "取消", "Cancel", "取消"},
    {"DlgPickFiles", "选择测试文件（可多选）", "Select test files (multi-select)",
     "選取測試檔案（可複選）"},
    {"FilterAllFiles", "所有文件 (*.*)", "All files (*.*)", "所有檔案 (*.*)"},
    {"SummaryFilesSelected", "已选择 %1 个文件，共 %2 MB", "Selected: %1 files, %2 MB total",
     "已選取 %1 個檔案，共 %2 MB"},
    {"SummaryFilesSelected#one", "已选择 %1 个文件，共 %2 MB", "Selected: %1 file, %2 MB total",
     "已選取 %1 個檔案，共 %2 MB"},
    {"MsgNoRemovableTitle", "未检测到可移动驱动器", "No removable drive detected",
     "未偵測到卸除式磁碟"},
    {"MsgNoRemovableBody", "请插入存储卡 / U 盘，点击“刷新”后再开始测试。",
     "Please insert a memory card / USB drive, click \"Refresh\", then start the test.",
     "請插入記憶卡 / USB 隨身碟，按一下「重新整理」後再開始測試。"},
    {"MsgBlockedTitle", "操作被阻止", "Operation blocked", "操作被阻止"},
    {"MsgBlockedBody",
     "目标 %1 不是可移动驱动器 — 为保护本地数据，已拒绝测试。\n"
     "\n"
     "请插入存储卡 / U 盘，然后点击“刷新”重新选择。",
     "Target %1 is not a removable drive — the test is refused to protect local data.\n"
     "\n"
     "Please insert a memory card / USB drive and click \"Refresh\" to re-select.",
     "目標 %1 不是卸除式磁碟 — 為保護本機資料，已拒絕測試。\n"
     "\n"
     "請插入記憶卡 / USB 隨身碟，然後按一下「重新整理」重新選取。"},
    {"MsgErrorTitle", "错误", "Error", "錯誤"},
    {"MsgSizeLtBlock", "测试大小小于块大小。", "Test size is smaller than block size.",
     "測試大小小於區塊大小。"},
    {"MsgCapLimitTitle", "卡容量限制", "Card capacity limit", "卡容量限制"},
    {"MsgCapLimitBody",
     "目标卡使用 FAT 文件系统（FAT32/16/12），单个文件不能超过 4GB。\n"
     "请将测试大小设为 3.5GB 或以下，或将卡格式化为 exFAT。",
     "The target card uses a FAT file system (FAT32/16/12), which holds at most 4GB per file.\n"
     "Please keep the test size at 3.5GB or below, or format the card as exFAT.",
     "目標卡使用 FAT 檔案系統（FAT32/16/12），單一檔案不得超過 4GB。\n"
     "請將測試大小設為 3.5GB 以下，或將記憶卡格式化為 exFAT。"},
    {"MsgModeConflictTitle", "模式冲突", "Mode conflict", "模式衝突"},
    {"MsgModeConflictBody",
     "[填满整卡]仅支持[随机数据]模式。请切换测试模式，或在判定规则中关闭满容量模式。",
     "[Fill entire card] only supports [Random data] mode. Switch test mode, or disable "
     "full-capacity mode in the verdict rules.",
     "[寫滿整張卡]僅支援[隨機資料]模式。請切換測試模式，或在判定規則中停用全容量模式。"},
    {"MsgPickFileFirst", "请先选择至少一个外部文件。",
     "Please select at least one external file first.", "請先選取至少一個外部檔案。"},
    {"MsgFilesMissing",
     "以下文件不存在：\n"
     "%1",
     "The following files do not exist:\n"
     "%1",
     "下列檔案不存在：\n"
     "%1"},
    {"MsgFilesTooSmall", "所选文件的总大小小于块大小，无法测试。",
     "Total size of selected files is smaller than the block size; cannot test.",
     "所選檔案的總大小小於區塊大小，無法測試。"},
    {"MsgCapLimitFilesBody",
     "目标卡使用 FAT 文件系统（FAT32/16/12），单个文件不能超过 4GB。\n"
     "请移除或拆分大于 3.5GB 的源文件后重试。",
     "The target card uses a FAT file system (FAT32/16/12), which holds at most 4GB per file.\n"
     "Please remove or split source files larger than 3.5GB and retry.",
     "目標卡使用 FAT 檔案系統（FAT32/16/12），單一檔案不得超過 4GB。\n"
     "請移除或分割大於 3.5GB 的來源檔案後再試一次。"},
    {"MsgFormatTitle", "测试前格式化", "Format before test", "測試前格式化"},
    {"MsgFormatBody",
     "要先格式化 %1 吗？\n"
     "\n"
     "这将清除目标驱动器上的所有数据！\n"
     "刚格式化的卡测得的结果更一致、更可重复。",
     "Format %1 first?\n"
     "\n"
     "This will erase ALL data on the target drive!\n"
     "A freshly formatted card yields more consistent, repeatable results.",
     "要先格式化 %1 嗎？\n"
     "\n"
     "這會清除目標磁碟上的所有資料！\n"
     "剛格式化的記憶卡，測得的結果更一致、更具重現性。"},
    {"MsgFormatting", "正在格式化 %1 …", "Formatting %1 …", "正在格式化 %1 …"},
    {"MsgFormatFailed", "格式化失败，继续测试…", "Format failed. Continuing with test…",
     "格式化失敗，繼續測試…"},
    {"MsgFormatCancelled", "已取消格式化，继续测试…", "Format cancelled. Continuing with test…",
     "已取消格式化，繼續測試…"},
    {"MsgFormatUnsupported", "无法格式化此驱动器，继续测试…",
     "This drive cannot be formatted. Continuing with test…", "無法格式化此磁碟，繼續測試…"},
    {"MsgFormatDone", "格式化完成。", "Format complete.", "格式化完成。"},
    {"MsgFormatNoAccess", "格式化后无法访问该驱动器。", "Cannot access the drive after format.",
     "格式化後無法存取該磁碟。"},
    {"MsgLowSpaceTitle", "空间不足", "Insufficient space", "空間不足"},
    {"MsgFillNoRoomBody",
     "卡上只有 %1 MB 可用空间，太少，无法填满测量。\n整卡填充测试至少需要 %2 MB 可用空间："
     "请腾出空间或先格式化此卡。",
     "Only %1 MB are free on the card: too little to fill and measure.\nThe fill-entire-card "
     "test needs at least %2 MB free: make room or format the card first.",
     "卡上只有 %1 MB 可用空間，太少，無法填滿量測。\n整卡填充測試至少需要 %2 MB 可用空間："
     "請騰出空間或先格式化此卡。"},
    {"MsgLowSpaceBody",
     "所选驱动器的可用空间不足。\n"
     "需要：%1 MB\n"
     "可用：%2 MB",
     "Selected drive has insufficient free space.\n"
     "Required: %1 MB\n"
     "Available: %2 MB",
     "所選磁碟的可用空間不足。\n"
     "需要：%1 MB\n"
     "可用：%2 MB"},
    {"LabelRollingWrite", "滚动写入", "Rolling write", "輪替寫入"},
    {"LabelRandomStream", "随机流 #%1", "Random stream #%1", "隨機串流 #%1"},
    {"LabelWrite", "写入", "Write", "寫入"},
    {"LabelRead", "读取", "Read", "讀取"},
    {"VerdictFail", "✗ 不达标", "✗ Fail", "✗ 未達標"},
    {"VerdictWarn", "⚠ 警告", "⚠ Warn", "⚠ 警告"},
    {"VerdictPass", "✓ 达标", "✓ Pass", "✓ 達標"},
    {"VerdictTooltip",
     "写入：抖动 %1% · CV %2% · 掉速 %3/%4 (%5%) · 最低 %6 MB/s\n"
     "读取：抖动 %7% · CV %8% · 掉速 %9/%10 (%11%) · 最低 %12 MB/s\n"
     "\n"
     "规则（任一子项超标即判定该行）：\n"
     "  不达标：抖动 > %13% | CV > %14% | 掉速 > %15% | 最低 < 阈值×%16\n"
     "  警告：抖动 > %17% | CV > %18% | 掉速 > %19% | 最低 < 阈值",
     "Write: jitter %1% · CV %2% · drops %3/%4 (%5%) · min %6 MB/s\n"
     "Read : jitter %7% · CV %8% · drops %9/%10 (%11%) · min %12 MB/s\n"
     "\n"
     "Rules (any subitem trips the row):\n"
     "  Fail: jitter > %13% | CV > %14% | drops > %15% | min < threshold×%16\n"
     "  Warn: jitter > %17% | CV > %18% | drops > %19% | min < threshold",
     "寫入：抖動 %1% · CV %2% · 降速 %3/%4 (%5%) · 最低 %6 MB/s\n"
     "讀取：抖動 %7% · CV %8% · 降速 %9/%10 (%11%) · 最低 %12 MB/s\n"
     "\n"
     "規則（任一子項超出即判定該列）：\n"
     "  未達標：抖動 > %13% | CV > %14% | 降速 > %15% | 最低 < 門檻×%16\n"
     "  警告：抖動 > %17% | CV > %18% | 降速 > %19% | 最低 < 門檻"},
    {"TipSpanLeftOut",
     "平均、最大和最小值描述同一段 %1 个样本；省略了开头 SLC 缓存突发的 %2 个样本，"
     "以及并非所有数据流都在运行时的 %3 个样本",
     "Avg, Max and Min describe the same %1 samples; left out: %2 of the SLC cache's burst "
     "at the start, %3 taken while not every stream was running",
     "平均、最大和最小值描述同一段 %1 個樣本；省略了開頭 SLC 快取突發的 %2 個樣本，"
     "以及並非所有資料串流都在執行時的 %3 個樣本"},
    {"VerdictDropSamples", "%1 / %2 个样本低于平均值×60%", "%1 / %2 samples below avg×60%",
     "%1 / %2 個樣本低於平均值×60%"},
    {"VerdictDataBad", "数据：读回 %1 个坏块，第一个位于 %3 的字节偏移 %2 处",
     "Data: blocks not as written: %1, the first at byte %2 of %3",
     "資料：讀回 %1 個壞區塊，第一個位於 %3 的位元組偏移 %2 處"},
    {"ReasonJitter", "%1：抖动 %2% 超过 %3%", "%1: jitter %2% above %3%", "%1：抖動 %2% 超過 %3%"},
    {"ReasonCv", "%1：变异系数 %2% 超过 %3%", "%1: CV %2% above %3%", "%1：變異係數 %2% 超過 %3%"},
    {"ReasonDrops", "%1：掉速 %2% 超过 %3%", "%1: drops %2% above %3%", "%1：掉速 %2% 超過 %3%"},
    {"ReasonMinSpeed", "%1：最低 %2 MB/s 低于 %3 MB/s", "%1: minimum %2 MB/s below %3 MB/s",
     "%1：最低 %2 MB/s 低於 %3 MB/s"},
    {"ReasonData", "数据：%1 个坏块", "Data: %1 bad blocks", "資料：%1 個壞區塊"},
    {"LogErrorPrefix", "错误：%1", "Error: %1", "錯誤：%1"},
    {"LogTestErrorTitle", "测试出错", "Test error", "測試錯誤"},
    {"LogStopping", "正在停止测试...", "Stopping test...", "正在停止測試..."},
    {"LogRoundEnter", "—— 开始第 %1/%2 轮 ——", "—— Starting round %1/%2 ——",
     "—— 開始第 %1/%2 輪 ——"},
    {"LogSkipSmall", "跳过文件（小于块大小）：%1", "Skipping file (smaller than block size): %1",
     "略過檔案（小於區塊大小）：%1"},
    {"LogNoValidFiles", "没有可供测试的有效文件。", "No valid files to test.",
     "沒有可供測試的有效檔案。"},
    {"LogTestStart", "========== 速度测试开始 ==========",
     "========== Speed test started ==========", "========== 速度測試開始 =========="},
    {"LogModeRandomN", "模式：随机数据（%1 路并行）", "Mode: Random data (%1 parallel streams)",
     "模式：隨機資料（%1 個平行串流）"},
    {"LogModeRandom", "模式：随机数据", "Mode: Random data", "模式：隨機資料"},
    {"LogModeExternalN", "模式：外部文件（%1 个文件并行）",
     "Mode: External files (%1 files in parallel)", "模式：外部檔案（%1 個檔案平行處理）"},
    {"LogModeExternal", "模式：外部文件", "Mode: External file", "模式：外部檔案"},
    {"LogSizeBlock", "总计：%1 MB   块大小：%2 KB", "Total: %1 MB   Block: %2 KB",
     "總計：%1 MB   區塊大小：%2 KB"},
    {"LogUserCancelled", "用户已取消测试。", "Test cancelled by user.", "使用者已取消測試。"},
    {"LogReadDisabled", "读取测试未启用，跳过。", "Read test disabled, skipping.",
     "未啟用讀取測試，略過。"},
    {"LogTestDone", "========== 测试完成 ==========", "========== Test complete ==========",
     "========== 測試完成 =========="},
    {"LogWriteRandom", "—— 写入测试（随机数据）——", "—— Write test (random data) ——",
     "—— 寫入測試（隨機資料）——"},
    {"LogWriteParallelFiles", "—— 写入测试（%1 个文件并行，启动间隔 %2 秒）——",
     "—— Write test (%1 files in parallel, stagger %2s) ——",
     "—— 寫入測試（%1 個檔案平行處理，啟動間隔 %2 秒）——"},
    {"LogWriteFileCopy", "—— 写入测试（文件复制）——", "—— Write test (file copy) ——",
     "—— 寫入測試（檔案複製）——"},
    {"LogReadParallelFiles", "—— 读取测试（%1 个文件并行，启动间隔 %2 秒）——",
     "—— Read test (%1 files in parallel, stagger %2s) ——",
     "—— 讀取測試（%1 個檔案平行處理，啟動間隔 %2 秒）——"},
    {"LogRead", "—— 读取测试 ——", "—— Read test ——", "—— 讀取測試 ——"},
    {"LogBeginWrite", "  正在写入 %1", "  Writing %1", "  正在寫入 %1"},
    {"LogBeginRead", "  正在读取 %1", "  Reading %1", "  正在讀取 %1"},
    {"LogWriteDone", "写入完成。平均速度：%1 MB/s", "Write complete. Avg speed: %1 MB/s",
     "寫入完成。平均速度：%1 MB/s"},
    {"LogReadDone", "读取完成。平均速度：%1 MB/s", "Read complete. Avg speed: %1 MB/s",
     "讀取完成。平均速度：%1 MB/s"},
    {"LogDataMismatch", "数据校验失败：%1 中有 %2 个块与写入的数据不符，第一个坏块位于字节偏移 %3",
     "Data check failed: %1 — blocks not as written: %2, the first at byte offset %3",
     "資料驗證失敗：%1 中有 %2 個區塊與寫入的資料不符，第一個壞區塊位於位元組偏移 %3"},
    {"LogFileTooSmall", "文件大小小于块大小。", "File size is smaller than the block size.",
     "檔案大小小於區塊大小。"},
    {"LogCardFull", "卡上的可用空间不足，连一个文件都写不下。",
     "Card free space is insufficient to write even one file.",
     "記憶卡的可用空間不足，連一個檔案都無法寫入。"},
    {"LogRollingStart", "========== 滚动填充测试开始 ==========",
     "========== Rolling-fill test started ==========", "========== 輪替寫滿測試開始 =========="},
    {"LogRollingParams", "每个文件：%1 MB   每次填满文件数：%2   重复填满次数：%3   文件总数：%4",
     "Per file: %1 MB   Files per fill: %2   Refills: %3   Total files: %4",
     "每個檔案：%1 MB   每次寫滿檔案數：%2   重複寫滿次數：%3   檔案總數：%4"},
    {"LogRollingTail", "  最后 %1 MB 为尾部文件，大小按卡的剩余容量补足",
     "  Last %1 MB is a tail file sized to fill the remaining card capacity",
     "  最後 %1 MB 為尾端檔案，大小依記憶卡的剩餘容量補足"},
    {"RollingProgress", "文件 %1/%2 · 已写入 %3 / %4 GB", "File %1/%2 · Written %3 / %4 GB",
     "檔案 %1/%2 · 已寫入 %3 / %4 GB"},
    {"TotalSizeRolling", "总计：%1 GB（填满 × %2）", "Total: %1 GB (fill × %2)",
     "總計：%1 GB（寫滿 × %2）"},
    {"LogCantDelete", "警告：无法删除 %1", "Warning: cannot delete %1", "警告：無法刪除 %1"},
    {"LogWriteFailed", "写入失败", "Write failed", "寫入失敗"},
    {"LogRollingDone", "========== 滚动填充测试完成 ==========",
     "========== Rolling-fill test complete ==========", "========== 輪替寫滿測試完成 =========="},
    {"LogVerifyFill", "  正在校验第 %1/%2 次填满的数据", "  Verifying the data of fill %1/%2",
     "  正在驗證第 %1/%2 次寫滿的資料"},
    {"LogVerifyFillOk", "  第 %1/%2 次填满：读回的数据全部正确",
     "  Fill %1/%2: all data read back intact", "  第 %1/%2 次寫滿：讀回的資料全部正確"},
    {"ErrOpenSource", "无法打开源文件: %1", "Cannot open source file: %1", "無法開啟來源檔案: %1"},
    {"ErrCreateTarget", "无法创建目标文件: %1", "Cannot create target file: %1",
     "無法建立目標檔案: %1"},
    {"ErrOpenForRead", "无法读取文件: %1", "Cannot open file for reading: %1", "無法讀取檔案: %1"},
    {"ErrReadSource", "读取源文件失败 (%1)", "Reading source file failed (%1)",
     "讀取來源檔案失敗 (%1)"},
    {"ErrWrite", "写入失败 (%1)", "Write failed (%1)", "寫入失敗 (%1)"},
    {"ErrRead", "读取失败 (%1)", "Read failed (%1)", "讀取失敗 (%1)"},
    {"GroupLog", "运行日志", "Run log", "執行記錄"},
    {"CliHelp",
     "用法：quorvelcard-cli --drive 根目录 [选项]\n"
     "      quorvelcard-cli --list [--json]\n\n"
     "在终端里进行与 QuorvelCard 窗口相同的测试：以并行数据流写入测试文件、读回、\n"
     "测量速度并判定存储卡。它只在可移动驱动器上写入和删除自己的测试文件，从不格式化存储卡。\n\n"
     "选项：\n"
     "  --list             列出可移动驱动器（加 --json 时以 JSON 输出）\n"
     "  --drive 根目录     要测试的存储卡：--list 列出的根目录之一\n"
     "  --size 大小        每个数据流的大小，填满模式下为每个文件的大小（K、M、G；默认 2G）\n"
     "  --streams N        并行数据流数，1 到 16（默认 2）\n"
     "  --block 大小       块大小：64K、128K、256K、512K、1M、4M 或 8M（默认 1M）\n"
     "  --no-read          只写入，不读回\n"
     "  --files 文件...    复制这些文件，代替随机数据\n"
     "  --fill [N]         将整张卡填满 N 次（默认 1）\n"
     "  --verify-fill      读回并校验每一次填满的数据\n"
     "  --rounds N         将测试重复 N 轮，1 到 99\n"
     "  --rules 文件       判定阈值取自 ini 文件的 [verdict] 组，键名与设置中相同\n"
     "                     （默认：窗口中保存的判定规则）；测试的方式只由选项决定\n"
     "  --report 文件      将结果写入 .json、.csv 或 .html 报告\n"
     "  --lang 语言        en、zh-CN 或 zh-TW（默认：窗口的语言）\n"
     "  --quiet            不显示进度和日志，只显示结果\n"
     "  --help、--version\n\n"
     "退出码：0 达标，1 警告，2 不达标，3 被拒绝或参数错误，4 测试出错或无法写入报告，\n"
     "130 被中断（Ctrl-C 会停止测试并删除测试文件）。",
     "Usage: quorvelcard-cli --drive ROOT [options]\n"
     "       quorvelcard-cli --list [--json]\n\n"
     "Runs the QuorvelCard window's test from a terminal: writes test files in parallel\n"
     "streams, reads them back, measures the speeds and judges the card. It only writes and\n"
     "deletes its own files on a removable drive and never formats a card.\n\n"
     "Options:\n"
     "  --list             list the removable drives (with --json: as JSON)\n"
     "  --drive ROOT       the card to test: a root that --list shows\n"
     "  --size SIZE        bytes per stream, or per file of a fill (K, M, G; default 2G)\n"
     "  --streams N        parallel streams, 1 to 16 (default 2)\n"
     "  --block SIZE       block size: 64K, 128K, 256K, 512K, 1M, 4M or 8M (default 1M)\n"
     "  --no-read          write only, no read-back\n"
     "  --files FILE...    copy these files instead of random data\n"
     "  --fill [N]         fill the whole card N times (default 1)\n"
     "  --verify-fill      read every fill back and check it\n"
     "  --rounds N         repeat the test N rounds, 1 to 99\n"
     "  --rules FILE       verdict thresholds from the [verdict] group of an ini file, keyed\n"
     "                     as in the settings (default: the rules saved in the window); the\n"
     "                     options alone decide what the run does\n"
     "  --report FILE      write the results as a .json, .csv or .html report\n"
     "  --lang LANG        en, zh-CN or zh-TW (default: the window's language)\n"
     "  --quiet            no progress and no log, only the results\n"
     "  --help, --version\n\n"
     "Exit codes: 0 Pass, 1 Warn, 2 Fail, 3 refused or bad arguments,\n"
     "4 test error or report not written, 130 interrupted (Ctrl-C stops the test and removes\n"
     "its files).",
     "用法：quorvelcard-cli --drive 根目錄 [選項]\n"
     "      quorvelcard-cli --list [--json]\n\n"
     "在終端機中進行與 QuorvelCard 視窗相同的測試：以平行串流寫入測試檔案、讀回、\n"
     "量測速度並判定記憶卡。它只在卸除式磁碟機上寫入與刪除自己的測試檔案，從不格式化記憶卡。\n\n"
     "選項：\n"
     "  --list             列出卸除式磁碟機（加上 --json 時以 JSON 輸出）\n"
     "  --drive 根目錄     要測試的記憶卡：--list 列出的根目錄之一\n"
     "  --size 大小        每個串流的大小，寫滿模式下為每個檔案的大小（K、M、G；預設 2G）\n"
     "  --streams N        平行串流數，1 到 16（預設 2）\n"
     "  --block 大小       區塊大小：64K、128K、256K、512K、1M、4M 或 8M（預設 1M）\n"
     "  --no-read          只寫入，不讀回\n"
     "  --files 檔案...    複製這些檔案，取代隨機資料\n"
     "  --fill [N]         將整張卡寫滿 N 次（預設 1）\n"
     "  --verify-fill      讀回並驗證每一次寫滿的資料\n"
     "  --rounds N         將測試重複 N 輪，1 到 99\n"
     "  --rules 檔案       判定門檻取自 ini 檔案的 [verdict] 群組，鍵名與設定中相同\n"
     "                     （預設：視窗中儲存的判定規則）；測試的方式只由選項決定\n"
     "  --report 檔案      將結果寫入 .json、.csv 或 .html 報告\n"
     "  --lang 語言        en、zh-CN 或 zh-TW（預設：視窗的語言）\n"
     "  --quiet            不顯示進度與記錄，只顯示結果\n"
     "  --help、--version\n\n"
     "結束代碼：0 達標，1 警告，2 未達標，3 被拒絕或參數錯誤，4 測試出錯或無法寫入報告，\n"
     "130 被中斷（Ctrl-C 會停止測試並刪除測試檔案）。"},
    {"CliAppHelp",
     "用法：quorvelcard [--help | --version]\n\n打开 QuorvelCard 窗口。在终端里测试存储卡请用\n"
     "quorvelcard-cli（见 quorvelcard-cli --help）。",
     "Usage: quorvelcard [--help | --version]\n\nOpens the QuorvelCard window. To test a card\n"
     "from a terminal, use quorvelcard-cli (see quorvelcard-cli --help).",
     "用法：quorvelcard [--help | --version]\n\n開啟 QuorvelCard 視窗。在終端機中測試記憶卡請使用\n"
     "quorvelcard-cli（請見 quorvelcard-cli --help）。"},
    {"CliTryHelp", "请运行“%1 --help”查看用法。", "Try \"%1 --help\" for the usage.",
     "請執行「%1 --help」查看用法。"},
    {"CliErrUnknownOption", "未知选项：%1", "unknown option: %1", "未知的選項：%1"},
    {"CliErrUnexpected", "多余的参数：%1", "unexpected argument: %1", "多餘的參數：%1"},
    {"CliErrNeedsValue", "%1 需要一个值", "%1 needs a value", "%1 需要一個值"},
    {"CliErrSize", "%1 需要 512M 或 2G 这样的大小，而不是“%2”",
     "%1 takes a size such as 512M or 2G, not \"%2\"",
     "%1 需要 512M 或 2G 這樣的大小，而不是「%2」"},
    {"CliErrCount", "%1 需要 %2 到 %3 之间的整数，而不是“%4”",
     "%1 takes a whole number from %2 to %3, not \"%4\"",
     "%1 需要 %2 到 %3 之間的整數，而不是「%4」"},
    {"CliErrBlock", "--block 只能是 64K、128K、256K、512K、1M、4M 或 8M，而不是“%1”",
     "--block takes 64K, 128K, 256K, 512K, 1M, 4M or 8M, not \"%1\"",
     "--block 只能是 64K、128K、256K、512K、1M、4M 或 8M，而不是「%1」"},
    {"CliErrLang", "--lang 只能是 en、zh-CN 或 zh-TW，而不是“%1”",
     "--lang takes en, zh-CN or zh-TW, not \"%1\"",
     "--lang 只能是 en、zh-CN 或 zh-TW，而不是「%1」"},
    {"CliErrAlone", "%1 只能与 %2 一起使用", "%1 goes with %2 only", "%1 只能與 %2 一起使用"},
    {"CliErrConflict", "%1 和 %2 不能同时使用", "%1 and %2 do not go together",
     "%1 與 %2 不能同時使用"},
    {"CliErrNoDrive", "没有指定要测试的存储卡：请用 --drive 根目录（可用 --list 查看）",
     "no card to test: give --drive ROOT (see --list)",
     "沒有指定要測試的記憶卡：請使用 --drive 根目錄（可用 --list 查看）"},
    {"CliErrRulesFile", "无法读取判定规则文件 %1", "cannot read the rules file %1",
     "無法讀取判定規則檔案 %1"},
    {"CliErrRulesGroup", "判定规则文件 %1 中没有 [verdict] 组",
     "the rules file %1 has no [verdict] group", "判定規則檔案 %1 中沒有 [verdict] 群組"},
    {"CliErrReport", "--report 只能写入 .json、.csv 或 .html 文件，而不是“%1”",
     "--report writes .json, .csv or .html files, not \"%1\"",
     "--report 只能寫入 .json、.csv 或 .html 檔案，而不是「%1」"},
    {"CliErrReportFolder", "报告 %1 所在的文件夹不存在",
     "the folder for the report %1 does not exist", "報告 %1 所在的資料夾不存在"},
    {"CliColAvg", "平均 MB/s", "Avg MB/s", "平均 MB/s"},
    {"CliColMin", "最低 MB/s", "Min MB/s", "最低 MB/s"},
    {"CliColJitter", "抖动", "Jitter", "抖動"},
    {"CliColCV", "变异系数", "CV", "變異係數"},
    {"CliColDrop", "掉速", "Drop", "降速"},
    {"CliNoDrives", "没有找到可移动驱动器。", "No removable drive found.", "找不到卸除式磁碟機。"},
    {"CliProgress", "%1 %2%  ·  %3 MB/s  ·  平均 %4 MB/s  ·  已用 %5  ·  剩余 %6",
     "%1 %2%  ·  %3 MB/s  ·  avg %4 MB/s  ·  %5 elapsed  ·  %6 left",
     "%1 %2%  ·  %3 MB/s  ·  平均 %4 MB/s  ·  已用 %5  ·  剩餘 %6"},
    {"CliCardVerdict", "存储卡判定：%1", "Card verdict: %1", "記憶卡判定：%1"},
    {"CliInterrupted", "已中断：正在停止测试并删除测试文件……",
     "Interrupted: stopping the test and removing its files…",
     "已中斷：正在停止測試並刪除測試檔案……"},
    {"CliStillRemoving", "仍在删除测试文件，请稍候。",
     "Still removing the test files, please wait.", "仍在刪除測試檔案，請稍候。"},
    {"CliStopped", "测试已停止，测试文件已删除。", "The test was stopped and its files removed.",
     "測試已停止，測試檔案已刪除。"},
    // The window's menus, shortcuts and table headers (two lines, the full sense in a tooltip).
    {"MenuTest", "测试(&T)", "&Test", "測試(&T)"},
    {"MenuHelp", "帮助(&H)", "&Help", "說明(&H)"},
    {"ActAbout", "关于 QuorvelCard(&A)", "&About QuorvelCard", "關於 QuorvelCard(&A)"},
    {"ActAboutQt", "关于 Qt", "About &Qt", "關於 Qt"},
    {"DlgAboutTitle", "关于 QuorvelCard", "About QuorvelCard", "關於 QuorvelCard"},
    {"AboutBody",
     "<h3>QuorvelCard %1</h3><p>检测存储卡能否稳定地承受连续的高码率录像。</p>"
     "<p>基于 Qt %2 构建，运行于 Qt %3。</p><p>© Quorvel。Qt 依 GNU LGPL 第 3 版授权使用。</p>",
     "<h3>QuorvelCard %1</h3><p>Tells whether a memory card keeps up with continuous "
     "high-bit-rate recording.</p><p>Built with Qt %2, running on Qt %3.</p>"
     "<p>© Quorvel. Qt is used under the GNU LGPL version 3.</p>",
     "<h3>QuorvelCard %1</h3><p>檢測記憶卡能否穩定地承受連續的高位元率錄影。</p>"
     "<p>以 Qt %2 建置，執行於 Qt %3。</p><p>© Quorvel。Qt 依 GNU LGPL 第 3 版授權使用。</p>"},
    {"TotalRounds", "（每次 %1 轮）", " (%1 rounds)", "（每次 %1 輪）"},
    {"HdrWriteAvg", "写入\n平均", "Write\nAvg", "寫入\n平均"},
    {"HdrWriteMax", "写入\n最高", "Write\nMax", "寫入\n最高"},
    {"HdrWriteMin", "写入\n最低", "Write\nMin", "寫入\n最低"},
    {"HdrWriteJitter", "写入\n抖动", "Write\nJitter", "寫入\n抖動"},
    {"HdrWriteCV", "写入\nCV", "Write\nCV", "寫入\nCV"},
    {"HdrWriteDrop", "写入\n掉速", "Write\nDrop", "寫入\n降速"},
    {"HdrReadAvg", "读取\n平均", "Read\nAvg", "讀取\n平均"},
    {"HdrReadMax", "读取\n最高", "Read\nMax", "讀取\n最高"},
    {"HdrReadMin", "读取\n最低", "Read\nMin", "讀取\n最低"},
    {"HdrReadJitter", "读取\n抖动", "Read\nJitter", "讀取\n抖動"},
    {"HdrReadCV", "读取\nCV", "Read\nCV", "讀取\nCV"},
    {"HdrReadDrop", "读取\n掉速", "Read\nDrop", "讀取\n降速"},
    {"TipColFile", "第一行是整张卡的合计，其后每行是一个并行写入的测试文件（流）。",
     "The first row is the card as a whole; each further row is one stream, a test file "
     "written in parallel.",
     "第一列是整張卡的合計，其後每列是一個平行寫入的測試檔案（串流）。"},
    {"TipColAvg",
     "%1：平均速度，单位 MB/s（1 MB = 1,048,576 字节）。\n"
     "厂商标称的速度（如 V30 = 30 MB/s）按 1 MB = 1,000,000 字节计算：将此数值乘以 1.048576 "
     "即可比较。",
     "%1: average speed in MB/s (1 MB = 1,048,576 bytes).\n"
     "Makers rate speeds (V30 = 30 MB/s) in MB of 1,000,000 bytes: multiply this figure by "
     "1.048576 to compare.",
     "%1：平均速度，單位 MB/s（1 MB = 1,048,576 位元組）。\n"
     "廠商標示的速度（如 V30 = 30 MB/s）以 1 MB = 1,000,000 位元組計算：將此數值乘以 1.048576 "
     "即可比較。"},
    {"TipColMax", "%1：最快的一个样本（约每 200 毫秒一个），单位 MB/s（1 MB = 1,048,576 字节）。",
     "%1: the fastest sample (one about every 200 ms), in MB/s (1 MB = 1,048,576 bytes).",
     "%1：最快的一個樣本（約每 200 毫秒一個），單位 MB/s（1 MB = 1,048,576 位元組）。"},
    {"TipColMin",
     "%1：最慢的一个样本（约每 200 毫秒一个），单位 MB/s（1 MB = 1,048,576 字节）。\n"
     "录像需要的持续速度看的就是它；与厂商按 1,000,000 字节标称的速度比较时，将此数值乘以 "
     "1.048576。",
     "%1: the slowest sample (one about every 200 ms), in MB/s (1 MB = 1,048,576 bytes).\n"
     "This is the speed a recording can count on; to compare it with a maker's rating in MB of "
     "1,000,000 bytes, multiply it by 1.048576.",
     "%1：最慢的一個樣本（約每 200 毫秒一個），單位 MB/s（1 MB = 1,048,576 位元組）。\n"
     "錄影需要的持續速度看的就是它；與廠商以 1,000,000 位元組標示的速度比較時，將此數值乘以 "
     "1.048576。"},
    {"TipColJitter", "%1：抖动 = 中间一半样本的速度范围 (P75−P25) 除以平均速度。越小越平稳。",
     "%1: jitter, the spread of the middle half of the samples (P75−P25) divided by the average "
     "speed. Smaller is steadier.",
     "%1：抖動 = 中間一半樣本的速度範圍 (P75−P25) 除以平均速度。越小越平穩。"},
    {"TipColCV", "%1：变异系数 = 样本速度的标准差除以平均速度（不计最高和最低的 5%）。越小越平稳。",
     "%1: coefficient of variation, the standard deviation of the sample speeds divided by the "
     "average (the top and bottom 5% left out). Smaller is steadier.",
     "%1：變異係數 = 樣本速度的標準差除以平均速度（不計最高與最低的 5%）。越小越平穩。"},
    {"TipColDrop", "%1：掉速比例 = 低于平均速度 60% 的样本所占的比例。录像时每一次掉速都可能丢帧。",
     "%1: drop ratio, the share of samples below 60% of the average speed. Each drop can cost "
     "a recording frames.",
     "%1：降速比率 = 低於平均速度 60% 的樣本所佔的比例。錄影時每一次降速都可能掉格。"},
    {"TipDecimalSpeed",
     "%1 MB/s（1 MB = 1,048,576 字节）= 厂商标称单位的 %2 MB/s（1 MB = 1,000,000 字节）",
     "%1 MB/s (1 MB = 1,048,576 bytes) = %2 MB/s as makers rate cards (1 MB = 1,000,000 bytes)",
     "%1 MB/s（1 MB = 1,048,576 位元組）= 廠商標示單位的 %2 MB/s（1 MB = 1,000,000 位元組）"},
    {"TipColVerdict", "通过、警告或不达标，按判定规则得出；将鼠标停在判定上可查看原因。",
     "Pass, Warn or Fail under the verdict rules; rest the pointer on a verdict for its reasons.",
     "通過、警告或未達標，依判定規則得出；將滑鼠停在判定上可查看原因。"},
    {"ErrCardFull",
     "存储卡 %2 已满：%1 未能完整写入。请清理卡上的空间或选择更小的测试大小，然后重新开始。",
     "The card %2 is full: %1 could not be written completely. Free some space on the card or "
     "choose a smaller test size, then start again.",
     "記憶卡 %2 已滿：%1 未能完整寫入。請清出卡上的空間或選擇較小的測試大小，然後重新開始。"},
    {"ErrDeviceOutOfRoom",
     "存储卡 %2 没有保存它已接受的数据：写入 %1 "
     "时设备报告空间不足，而其文件系统仍显示有大量可用空间。"
     "这张卡可能正在损坏或是扩容卡，请勿用它录像；可用“填满整卡”并校验数据来确认。",
     "The card %2 did not store what it accepted: writing %1 was refused for want of room while "
     "its file system still reports plenty of free space. The card may be failing or counterfeit: "
     "do not trust it with recordings, and check it with a fill of the whole card with data "
     "verification.",
     "記憶卡 %2 沒有保存它已接受的資料：寫入 %1 "
     "時裝置回報空間不足，而其檔案系統仍顯示有大量可用空間。"
     "這張卡可能正在損壞或是擴容卡，請勿用它錄影；可用「寫滿整張卡」並驗證資料來確認。"},
    {"ErrWriteProtected",
     "存储卡 %2 拒绝写入（写保护），无法写入 %1。如果是 SD 卡，请将侧面的锁定开关推到解锁位置"
     "（朝向金属触点），重新插入后再开始测试。",
     "The card %2 refuses writes (write-protected), so %1 could not be written. If it is an SD "
     "card, slide the lock switch on its side to the unlocked position (towards the contacts), "
     "insert it again and start a new test.",
     "記憶卡 %2 拒絕寫入（防寫），無法寫入 %1。如果是 SD 卡，請將側面的鎖定開關推到解鎖位置"
     "（朝向金屬接點），重新插入後再開始測試。"},
    {"ErrFileTooLarge",
     "%1 超出了存储卡 %2 的文件系统允许的单个文件大小（FAT32 最大 4GB）。"
     "请选择 3.5GB 或以下的测试大小，或将卡格式化为 exFAT。",
     "%1 grew beyond the largest file the file system of the card %2 can hold (4GB on FAT32). "
     "Choose a test size of 3.5GB or less, or format the card as exFAT.",
     "%1 超出了記憶卡 %2 的檔案系統允許的單一檔案大小（FAT32 最大 4GB）。"
     "請選擇 3.5GB 以下的測試大小，或將記憶卡格式化為 exFAT。"},
    {"ErrDeviceError",
     "处理 %1 时，存储卡或读卡器报告了错误（卡 %2）。这张卡可能正在损坏：请换一个读卡器或 USB "
     "接口再试，"
     "如果错误仍然出现，请更换存储卡。",
     "The card or its reader reported an error while working on %1 (card %2). The card may be "
     "failing: try another reader or USB port, and if the error comes back, replace the card.",
     "處理 %1 時，記憶卡或讀卡機回報了錯誤（卡 %2）。這張卡可能正在損壞：請換一個讀卡機或 USB "
     "連接埠再試，"
     "如果錯誤仍然出現，請更換記憶卡。"},
    {"ErrCardRemoved",
     "测试期间存储卡 %2 被移除（当时正在处理 "
     "%1）。请重新插入存储卡并开始新的测试；测试留在卡上的文件可以删除。",
     "The card %2 was removed during the test (while working on %1). Insert it again and start a "
     "new test; test files left on it can be deleted.",
     "測試期間記憶卡 %2 被移除（當時正在處理 "
     "%1）。請重新插入記憶卡並開始新的測試；測試留在卡上的檔案可以刪除。"},
    {"ErrMissingSource",
     "无法读取要复制到 %2 的源文件 %1。请确认该文件仍然存在且可读，然后重新开始。",
     "The file to copy, %1, could not be read for the card %2. Check that it still exists and "
     "that you may read it, then start again.",
     "無法讀取要複製到 %2 的來源檔案 %1。請確認該檔案仍然存在且可讀取，然後重新開始。"},
    {"LogFillEndsFull", "  卡已写满（%1）：本次填满完成",
     "  Card full at %1: this fill is complete", "  記憶卡已寫滿（%1）：本次寫滿完成"},
    {"FillCheckProgress", "正在校验第 %1/%2 次填满：%3 %", "Checking fill %1/%2: %3 %",
     "正在驗證第 %1/%2 次寫滿：%3 %"},
    {"ProgressFailed", "失败 · ", "Failed · ", "失敗 · "},
    {"VerdictRunFailed", "测试出错，未能完成：%1", "The test failed before its end: %1",
     "測試出錯，未能完成：%1"},
    {"DriveGoneTitle", "驱动器已不在", "Drive no longer present", "磁碟機已不在"},
    {"DriveGoneBody", "之前选择的驱动器 %1 已不在列表中。请选择要测试的驱动器。",
     "The drive you had selected, %1, is no longer listed. Please choose the drive to test.",
     "先前選擇的磁碟機 %1 已不在清單中。請選擇要測試的磁碟機。"},
    {"CloseRunningTitle", "测试进行中", "Test in progress", "測試進行中"},
    {"CloseRunningBody", "测试仍在进行。要停止测试并关闭吗？测试文件会从卡上删除。",
     "A test is still running. Stop it and close? The test files are removed from the card.",
     "測試仍在進行。要停止測試並關閉嗎？測試檔案會從記憶卡上刪除。"},
    {"BtnStopAndClose", "停止并关闭", "Stop and close", "停止並關閉"},
    {"BtnKeepTesting", "继续测试", "Keep testing", "繼續測試"},
};

} // namespace

const CatalogueEntry* Catalogue::entries()
{
    return kEntries;
}

int Catalogue::entryCount()
{
    return static_cast<int>(std::size(kEntries));
}

const char* Catalogue::text(const CatalogueEntry& entry, Language lang)
{
    switch (lang) {
    case English:
        return entry.english;
    case TraditionalChinese:
        return entry.traditional;
    case SimplifiedChinese:
        break;
    }
    return entry.simplified;
}

QHash<QString, QString> Catalogue::buildTable(Language lang)
{
    QHash<QString, QString> table;
    table.reserve(2 * entryCount());
    for (const CatalogueEntry& entry : kEntries) {
        const QString key = QString::fromUtf8(entry.key);
        const QString simplified = QString::fromUtf8(entry.simplified);
        const QString shown = QString::fromUtf8(text(entry, lang));
        table.insert(key, shown);
        if (simplified != key && !key.endsWith(QLatin1String(SingularSuffix)))
            table.insert(simplified, shown);
    }
    return table;
}
