#include "report/historystore.h"

#include "report/reportjson.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>

namespace {

struct HistoryTexts
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStore)
};

const char* const kDriver = "QSQLITE";
// A database another program holds locked is given this long before the history gives up.
const char* const kConnectOptions = "QSQLITE_BUSY_TIMEOUT=500";
// The stored result is compressed JSON; a fast level, as storing happens while the user waits.
constexpr int CompressionLevel = 3;

// Schema 2, as a fresh database gets it. Schema 1 lacked `outcome` and the card index.
const char* const kCreateRuns = "CREATE TABLE runs ("
                                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                " started TEXT NOT NULL,"
                                " card_label TEXT NOT NULL,"
                                " capacity INTEGER NOT NULL,"
                                " file_system TEXT NOT NULL,"
                                " mode INTEGER NOT NULL,"
                                " streams INTEGER NOT NULL,"
                                " block_size INTEGER NOT NULL,"
                                " write_avg REAL NOT NULL,"
                                " read_avg REAL,"
                                " verdict INTEGER NOT NULL,"
                                " result BLOB NOT NULL,"
                                " outcome INTEGER NOT NULL DEFAULT 0)";
const char* const kCreateCardIndex =
    "CREATE INDEX runs_card ON runs (card_label, capacity, started)";

const char* const kListColumns = "SELECT id, started, card_label, capacity, file_system, mode,"
                                 " streams, block_size, write_avg, read_avg, verdict, outcome"
                                 " FROM runs";

QString startedText(const QDateTime& t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QString errorText(const QSqlError& error)
{
    return error.text().trimmed();
}

} // namespace

HistoryStore::HistoryStore()
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("history-%1").arg(counter.fetchAndAddRelaxed(1));
    m_offReason = HistoryTexts::tr("ErrHistoryNotOpen");
}

HistoryStore::~HistoryStore()
{
    close();
}

QString HistoryStore::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

void HistoryStore::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool HistoryStore::fail(const QString& reason) const
{
    m_lastError = reason;
    return false;
}

bool HistoryStore::open(const QString& path)
{
    close();
    m_offReason = openDatabase(path);
    if (m_offReason.isEmpty())
        return true;
    close();
    return fail(m_offReason);
}

QString HistoryStore::openDatabase(const QString& path)
{
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver)))
        return HistoryTexts::tr("ErrNoSqlDriver");
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return HistoryTexts::tr("ErrHistoryFolder").arg(QDir::toNativeSeparators(folder));

    QSqlDatabase db = QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QString::fromLatin1(kConnectOptions));
    if (!db.open())
        return errorText(db.lastError());
    // SQLite opens anything lazily: the first read is what finds a file that is not a
    // database, or one that another program holds locked.
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next())
        return errorText(version.lastError());
    const int found = version.value(0).toInt();
    version.finish();
    if (found != SchemaVersion && !migrate(found))
        return m_lastError;
    return QString();
}

bool HistoryStore::migrate(int version)
{
    if (version != 0 && version != 1)
        return fail(HistoryTexts::tr("ErrHistorySchema").arg(version));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return fail(errorText(db.lastError()));
    QString reason;
    // Runs each step until one fails; the reason is the first failure's.
    auto exec = [&reason](QSqlQuery& q, const QString& sql) {
        if (reason.isEmpty() && !(sql.isEmpty() ? q.exec() : q.exec(sql)))
            reason = errorText(q.lastError());
        return reason.isEmpty();
    };
    QSqlQuery q(db);
    if (version == 0) {
        exec(q, QString::fromLatin1(kCreateRuns));
    } else {
        // Schema 1 did not keep how a run ended; the stored results still say it.
        QVector<QPair<qint64, int>> outcomes;
        if (exec(q, QStringLiteral("SELECT id, result FROM runs"))) {
            while (q.next()) {
                RunResult result;
                QString error;
                if (ReportJson::read(qUncompress(q.value(1).toByteArray()), &result, &error))
                    outcomes.append({q.value(0).toLongLong(), int(result.end)});
            }
        }
        exec(q, QStringLiteral("ALTER TABLE runs ADD COLUMN outcome INTEGER NOT NULL DEFAULT 0"));
        QSqlQuery update(db);
        update.prepare(QStringLiteral("UPDATE runs SET outcome = ? WHERE id = ?"));
        for (const auto& outcome : outcomes) {
            update.addBindValue(outcome.second);
            update.addBindValue(outcome.first);
            exec(update, QString());
        }
    }
    exec(q, QString::fromLatin1(kCreateCardIndex));
    exec(q, QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
    q.finish();
    if (!reason.isEmpty()) {
        db.rollback();
        return fail(reason);
    }
    return db.commit() || fail(errorText(db.lastError()));
}

bool HistoryStore::isOpen() const
{
    return m_offReason.isEmpty();
}

QString HistoryStore::offReason() const
{
    return m_offReason;
}

QString HistoryStore::lastError() const
{
    return m_lastError;
}

qint64 HistoryStore::store(const RunResult& result)
{
    if (!isOpen()) {
        fail(m_offReason);
        return -1;
    }
    const RunRow total = result.figures.rows.value(0);
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral(
        "INSERT INTO runs (started, card_label, capacity, file_system, mode, streams,"
        " block_size, write_avg, read_avg, verdict, outcome, result)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(startedText(result.started));
    q.addBindValue(result.card.label);
    q.addBindValue(result.card.capacityBytes);
    q.addBindValue(result.card.fileSystem);
    q.addBindValue(int(result.mode()));
    q.addBindValue(std::max(1, int(result.streamLabels.size())));
    q.addBindValue(result.plan.blockSize);
    q.addBindValue(total.write.avg);
    q.addBindValue(result.figures.readMeasured ? QVariant(total.read.avg)
                                               : QVariant(QVariant::Double));
    q.addBindValue(int(result.figures.card()));
    q.addBindValue(int(result.end));
    q.addBindValue(qCompress(ReportJson::write(result), CompressionLevel));
    if (!q.exec()) {
        fail(errorText(q.lastError()));
        return -1;
    }
    return q.lastInsertId().toLongLong();
}

QVector<HistoryEntry> HistoryStore::list(const HistoryCard* card) const
{
    QVector<HistoryEntry> entries;
    if (!isOpen()) {
        fail(m_offReason);
        return entries;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    QString sql = QString::fromLatin1(kListColumns);
    if (card)
        sql += QStringLiteral(" WHERE card_label = ? AND capacity = ?");
    q.prepare(sql + QStringLiteral(" ORDER BY started DESC, id DESC"));
    if (card) {
        q.addBindValue(card->label);
        q.addBindValue(card->capacityBytes);
    }
    if (!q.exec()) {
        fail(errorText(q.lastError()));
        return entries;
    }
    while (q.next()) {
        HistoryEntry e;
        e.id = q.value(0).toLongLong();
        e.started = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        e.card = {q.value(2).toString(), q.value(3).toLongLong()};
        e.fileSystem = q.value(4).toString();
        e.mode = TestMode(q.value(5).toInt());
        e.streams = q.value(6).toInt();
        e.blockSize = q.value(7).toLongLong();
        e.writeAvg = q.value(8).toDouble();
        e.readMeasured = !q.value(9).isNull();
        e.readAvg = q.value(9).toDouble();
        e.verdict = Verdict(std::clamp(q.value(10).toInt(), 0, 2));
        e.end = RunEnd(std::clamp(q.value(11).toInt(), 0, 2));
        entries.append(e);
    }
    return entries;
}

QVector<HistoryCard> HistoryStore::cards() const
{
    QVector<HistoryCard> cards;
    if (!isOpen())
        return cards;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT DISTINCT card_label, capacity FROM runs"
                               " ORDER BY card_label, capacity"))) {
        fail(errorText(q.lastError()));
        return cards;
    }
    while (q.next())
        cards.append({q.value(0).toString(), q.value(1).toLongLong()});
    return cards;
}

bool HistoryStore::remove(const QVector<qint64>& ids)
{
    if (!isOpen())
        return fail(m_offReason);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return fail(errorText(db.lastError()));
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM runs WHERE id = ?"));
    for (qint64 id : ids) {
        q.addBindValue(id);
        if (!q.exec()) {
            const QString reason = errorText(q.lastError());
            db.rollback();
            return fail(reason);
        }
    }
    return db.commit() || fail(errorText(db.lastError()));
}

bool HistoryStore::load(qint64 id, RunResult* result) const
{
    if (!isOpen())
        return fail(m_offReason);
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT result FROM runs WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return fail(errorText(q.lastError()));
    if (!q.next())
        return fail(HistoryTexts::tr("ErrHistoryNoRun").arg(id));
    QString error;
    if (!ReportJson::read(qUncompress(q.value(0).toByteArray()), result, &error))
        return fail(error);
    return true;
}
