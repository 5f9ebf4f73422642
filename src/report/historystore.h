#pragma once

#include "session/runresult.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// A card as the history tells cards apart: two cards of one label (every new card of a make
// has the same one) differ in capacity more often than not.
struct HistoryCard
{
    QString label;
    qint64 capacityBytes = 0;

    bool operator==(const HistoryCard& other) const
    {
        return label == other.label && capacityBytes == other.capacityBytes;
    }
};

// One stored run as the history's list shows it.
struct HistoryEntry
{
    qint64 id = 0;
    QDateTime started; // UTC
    HistoryCard card;
    QString fileSystem;
    TestMode mode = TestMode::RandomData;
    int streams = 1;
    qint64 blockSize = 0;
    double writeAvg = 0.0;
    bool readMeasured = false;
    double readAvg = 0.0;
    Verdict verdict = Verdict::Pass;
    RunEnd end = RunEnd::Completed;
};

// Every run that ended, in a local SQLite database. The database is a convenience: when it is
// missing, locked, corrupt or from a newer program the store is off (offReason() says why),
// every call does nothing and fails quietly, and nothing else is held up.
class HistoryStore
{
public:
    // The layout of the database's tables; older databases are brought up to it on open.
    static constexpr int SchemaVersion = 2;

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // history.sqlite in the user's application data folder.
    static QString defaultPath();

    // Opens (creating it when it does not exist) and brings the schema up to date. False when
    // the history is off; a store that was open before is closed first.
    bool open(const QString& path);
    bool isOpen() const;
    QString offReason() const;

    // Stores a finished run of any ending; its id, or -1 when it could not be stored
    // (lastError() says why).
    qint64 store(const RunResult& result);
    // Newest first; only the given card's runs when one is given.
    QVector<HistoryEntry> list(const HistoryCard* card = nullptr) const;
    // Every card with stored runs, by label.
    QVector<HistoryCard> cards() const;
    bool remove(const QVector<qint64>& ids);
    bool load(qint64 id, RunResult* result) const;
    QString lastError() const;

private:
    void close();
    // Opens and migrates; the reason the history is off, or empty.
    QString openDatabase(const QString& path);
    bool fail(const QString& reason) const;
    bool migrate(int version);

    QString m_connection;
    QString m_offReason;
    mutable QString m_lastError;
};
