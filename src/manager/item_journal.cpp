#include "manager/item_journal.h"

#include "core/background.h"
#include "manager/download_manager.h"
#include "manager/journal_format.h"
#include "support/app_paths.h"
#include "support/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>

using JournalFormat::Record;

ItemJournal::ItemJournal(DownloadManager& manager, const QString& path, QObject* parent)
    : QObject(parent), m_manager(manager), m_path(path) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ItemJournal::write);
    connect(&m_manager, &DownloadManager::itemsChanged, this, [this] {
        follow();
        schedule();
    });
}

ItemJournal::~ItemJournal() {
    flush();
}

QString ItemJournal::defaultPath() {
    return AppPaths::support() + QStringLiteral("/items.json");
}

void ItemJournal::restore() {
    QFile file(m_path);
    if (!file.exists()) {
        follow();  // no journal yet: a first run, or the user forgot the list
        return;
    }
    JournalFormat::Decoded decoded;
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw JournalFormat::Unreadable{QStringLiteral("无法打开：") + file.errorString()};
        // One byte past the limit is enough to tell an oversized file.
        const QByteArray bytes = file.read(JournalFormat::kMaxBytes + 1);
        if (file.error() != QFileDevice::NoError)
            throw JournalFormat::Unreadable{QStringLiteral("无法读取：") + file.errorString()};
        file.close();
        decoded = JournalFormat::decode(bytes);
    } catch (const JournalFormat::Unreadable& unreadable) {
        file.close();
        Log::write(QStringLiteral("下载列表无法读取（") + unreadable.reason +
                   QStringLiteral("），") + setAside() + QStringLiteral("，列表从空开始"));
        follow();
        return;
    }

    bool changed = false;
    if (decoded.skipped > 0) {
        // The readable items come back; the file as it was stays beside them for a look.
        Log::write(QStringLiteral("下载列表中有 ") + QString::number(decoded.skipped) +
                   QStringLiteral(" 项无法读取，已跳过；原文件") + setAside());
        changed = true;
    }
    for (Record& record : decoded.records) {
        const bool exists =
            record.phase.kind() == Phase::done && QFileInfo::exists(record.phase.file());
        const Phase phase = JournalFormat::restoredPhase(record.phase, exists);
        if (!(phase == record.phase)) {
            changed = true;
            if (!record.finished.isValid()) record.finished = QDateTime::currentDateTimeUtc();
        }
        record.phase = phase;
    }
    // Nothing runs any more, so the limit simply keeps the newest.
    if (decoded.records.size() > kMaxItems) {
        decoded.records.resize(kMaxItems);
        changed = true;
    }

    QList<DownloadManager::ItemPointer> items;
    items.reserve(decoded.records.size());
    for (const Record& record : decoded.records) {
        auto item = std::make_shared<DownloadItem>(record.id, record.url, record.platform);
        if (!record.title.isEmpty()) item->setTitle(record.title);
        item->setThumbnail(record.thumbnail);
        item->setPhase(record.phase);
        m_entries.insert(record.id,
                         Entry{record.phase.kind(), record.created, record.finished, {}});
        items.append(std::move(item));
    }
    m_manager.restore(items);  // followed through itemsChanged
    // The file is brought in line with the list it now shows; nothing to write otherwise.
    if (changed) {
        schedule();
    } else {
        m_timer.stop();
        m_pending = false;
    }
}

void ItemJournal::follow() {
    QSet<QUuid> listed;
    for (const DownloadManager::ItemPointer& item : m_manager.items()) {
        listed.insert(item->id());
        auto entry = m_entries.find(item->id());
        if (entry == m_entries.end()) {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            entry = m_entries.insert(
                item->id(),
                Entry{item->phase().kind(), now, item->isFinished() ? now : QDateTime(), {}});
        }
        if (entry->item) continue;  // followed already
        DownloadItem* const raw = item.get();
        entry->item = raw;
        connect(raw, &DownloadItem::phaseChanged, this, [this, raw] { onPhaseChanged(raw); });
        connect(raw, &DownloadItem::titleChanged, this, &ItemJournal::schedule);
        connect(raw, &DownloadItem::thumbnailChanged, this, &ItemJournal::schedule);
    }
    // A removed item may still end its run; what it does then is nobody's concern.
    m_entries.removeIf([&](const auto& entry) {
        if (listed.contains(entry.key())) return false;
        if (entry.value().item) entry.value().item->disconnect(this);
        return true;
    });
}

void ItemJournal::onPhaseChanged(DownloadItem* item) {
    const auto entry = m_entries.find(item->id());
    if (entry == m_entries.end()) return;
    const Phase& phase = item->phase();
    // A running item's text changes with every progress report; only a new kind of phase, or
    // a new outcome, is worth a write.
    if (phase.kind() == entry->kind && phase.isActive()) return;
    entry->kind = phase.kind();
    entry->finished = phase.isFinished() ? QDateTime::currentDateTimeUtc() : QDateTime();
    schedule();
}

void ItemJournal::schedule() {
    m_pending = true;
    if (m_timer.isActive()) return;
    // The first change after a quiet second is written at once (what changes together in this
    // turn of the event loop goes with it): a new download is on disk before a crash can lose
    // it. Later changes wait for the second to be over.
    const auto sinceWrite = std::chrono::milliseconds(
        m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : kGathering.count());
    m_timer.start(std::max(std::chrono::milliseconds(0), kGathering - sinceWrite));
}

void ItemJournal::flush() {
    // What is on its way to the disk lands first; then what is still to write, here and now.
    if (m_inFlight.isValid()) {
        m_inFlight.waitForFinished();
        if (m_startedWrites > m_endedWrites) takeOutcome(m_startedWrites, m_inFlight.result());
    }
    std::optional<QByteArray> contents = std::exchange(m_queued, std::nullopt);
    if (m_pending) contents = nextContents();
    if (!contents || m_frozen) return;
    takeOutcome(++m_startedWrites, replaceFile(m_path, *contents));
}

void ItemJournal::write() {
    m_timer.stop();
    if (m_frozen) return;
    QByteArray contents = nextContents();
    // One write at a time, in order; of the contents that pile up behind it only the newest
    // counts.
    if (m_startedWrites > m_endedWrites) {
        m_queued = std::move(contents);
        return;
    }
    startWrite(std::move(contents));
}

QByteArray ItemJournal::nextContents() {
    // The limit holds for the list on screen as well as for the file, so the two agree.
    QList<bool> finished;
    for (const auto& item : m_manager.items()) finished.append(item->isFinished());
    const auto items = m_manager.items();
    for (const qsizetype i : JournalFormat::overLimit(finished, kMaxItems))
        m_manager.remove(items[i]);
    m_pending = false;
    m_timer.stop();  // the removals above asked for another write: this is it

    QList<Record> records;
    for (const auto& item : m_manager.items()) {
        const Entry entry = m_entries.value(item->id());
        records.append(Record{item->id(), item->url(), item->platform(), item->title(),
                              item->thumbnail(), item->phase(), entry.created, entry.finished});
    }
    m_sinceWrite.start();  // a failed attempt counts too: a full disk is not hammered
    return JournalFormat::encode(records);
}

std::optional<QString> ItemJournal::replaceFile(const QString& path, const QByteArray& contents) {
    const QString folder = QFileInfo(path).path();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QSaveFile file(path);
    // Owner-only from the first byte: the list names what the user watched.
    const bool saved = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), 0600) == 0 &&
                       file.write(contents) >= 0 && file.commit();
    if (saved) return std::nullopt;
    return file.errorString();
}

void ItemJournal::startWrite(QByteArray contents) {
    // Off the main thread: the file is flushed to the disk, which on a busy disk takes long
    // enough to hold up the panel's frames.
    const quint64 write = ++m_startedWrites;
    auto promise = std::make_shared<QPromise<std::optional<QString>>>();
    m_inFlight = promise->future();
    promise->start();
    // The journal outlives the write: flush(), run by the destructor, waits for it.
    blockingWorkPool().start([this, promise, write, path = m_path, contents = std::move(contents)] {
        const std::optional<QString> error = replaceFile(path, contents);
        QMetaObject::invokeMethod(
            this, [this, write, error] { writeEnded(write, error); }, Qt::QueuedConnection);
        promise->addResult(error);
        promise->finish();
    });
}

void ItemJournal::writeEnded(quint64 write, const std::optional<QString>& error) {
    if (write <= m_endedWrites) return;  // flush() has taken it in already
    takeOutcome(write, error);
    if (m_queued) startWrite(*std::exchange(m_queued, std::nullopt));
}

void ItemJournal::takeOutcome(quint64 write, const std::optional<QString>& error) {
    m_endedWrites = write;
    if (error) {
        if (!m_failureLogged) Log::write(QStringLiteral("下载列表无法保存：") + *error);
        m_failureLogged = true;
        return;
    }
    ++m_writes;
    Q_EMIT written();
}

QString ItemJournal::setAside() {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = m_path + QStringLiteral(".bad-") + stamp;
    // QFile::rename never replaces an existing file; a second bad file in the same second gets
    // a number.
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + QStringLiteral(".bad-") + stamp + u'-' + QString::number(n);
    if (QFile::rename(m_path, target))
        return QStringLiteral("已移到 ") + QFileInfo(target).fileName();
    // A file that cannot be moved aside is not written over either: this run keeps no list.
    m_frozen = true;
    return QStringLiteral("也无法移开，这次运行不保存列表");
}
