#include "manager/journal_format.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>
#include <limits>

namespace JournalFormat {

namespace {

// Thrown inside decode() for one item; the item is skipped.
struct BadItem {};

const char* kindName(Phase::Kind kind) {
    switch (kind) {
        case Phase::working:
            return "working";
        case Phase::downloading:
            return "downloading";
        case Phase::done:
            return "done";
        case Phase::failed:
            return "failed";
    }
    return "working";
}

QString timeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

bool isWebLink(const QUrl& url) {
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") &&
           !url.host().isEmpty();
}

QJsonObject encodeRecord(const Record& record) {
    QJsonObject object{
        {QStringLiteral("id"), record.id.toString(QUuid::WithoutBraces)},
        {QStringLiteral("link"), DownloadItem::linkText(record.url)},
        {QStringLiteral("platform"), record.platform.rawValue()},
        {QStringLiteral("title"), record.title},
        {QStringLiteral("phase"), QLatin1String(kindName(record.phase.kind()))},
        {QStringLiteral("created"), timeText(record.created)},
    };
    if (record.thumbnail)
        object.insert(QStringLiteral("thumbnail"), record.thumbnail->toString(QUrl::FullyEncoded));
    if (record.finished.isValid())
        object.insert(QStringLiteral("finished"), timeText(record.finished));
    if (record.phase.kind() == Phase::done) {
        object.insert(QStringLiteral("file"), record.phase.file());
        object.insert(QStringLiteral("size"), double(record.phase.size()));
    } else if (record.phase.kind() == Phase::failed) {
        const Failure& failure = record.phase.failure();
        QJsonArray actions;
        for (const Failure::Action& action : failure.actions) actions.append(action.key());
        object.insert(QStringLiteral("failure"),
                      QJsonObject{{QStringLiteral("title"), failure.title},
                                  {QStringLiteral("advice"), failure.advice},
                                  {QStringLiteral("actions"), actions},
                                  {QStringLiteral("cancel"), failure.isCancel}});
    }
    return object;
}

QString text(const QJsonObject& object, const QString& name) {
    const QJsonValue value = object.value(name);
    if (!value.isString()) throw BadItem{};
    return value.toString();
}

QUrl webLink(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!isWebLink(url)) throw BadItem{};
    return url;
}

QDateTime time(const QString& text) {
    QDateTime value = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!value.isValid()) throw BadItem{};
    return value;
}

Failure decodeFailure(const QJsonValue& value) {
    if (!value.isObject()) throw BadItem{};
    const QJsonObject object = value.toObject();
    Failure failure;
    failure.title = text(object, QStringLiteral("title"));
    failure.advice = text(object, QStringLiteral("advice"));
    const QJsonValue cancel = object.value(QStringLiteral("cancel"));
    const QJsonValue actions = object.value(QStringLiteral("actions"));
    if (failure.title.isEmpty() || !cancel.isBool() || !actions.isArray()) throw BadItem{};
    failure.isCancel = cancel.toBool();
    for (const QJsonValue& key : actions.toArray()) {
        const auto action = actionFromKey(key.toString());
        if (!action) throw BadItem{};
        failure.actions.append(*action);
    }
    return failure;
}

Phase decodePhase(const QJsonObject& object) {
    const QString kind = text(object, QStringLiteral("phase"));
    if (kind == u"working") return Phase::makeWorking(QString());
    if (kind == u"downloading") return Phase::makeDownloading(std::nullopt, QString());
    if (kind == u"failed") return Phase::makeFailed(decodeFailure(object.value("failure")));
    if (kind != u"done") throw BadItem{};
    const QString file = text(object, QStringLiteral("file"));
    const QJsonValue size = object.value(QStringLiteral("size"));
    // A saved file is named by its whole path: a relative one would be looked up wherever the
    // program happens to run.
    if (!QDir::isAbsolutePath(file) || QDir::cleanPath(file) != file || !size.isDouble() ||
        size.toDouble() < 0 || size.toDouble() > double(std::numeric_limits<qint64>::max()))
        throw BadItem{};
    return Phase::makeDone(file, qint64(size.toDouble()));
}

Record decodeRecord(const QJsonValue& value) {
    if (!value.isObject()) throw BadItem{};
    const QJsonObject object = value.toObject();
    Record record;
    record.id = QUuid::fromString(text(object, QStringLiteral("id")));
    if (record.id.isNull()) throw BadItem{};
    record.url = webLink(text(object, QStringLiteral("link")));
    const auto platform = Platform::fromRawValue(text(object, QStringLiteral("platform")));
    if (!platform) throw BadItem{};
    record.platform = *platform;
    record.title = text(object, QStringLiteral("title"));
    if (object.contains(QStringLiteral("thumbnail")))
        record.thumbnail = webLink(text(object, QStringLiteral("thumbnail")));
    record.phase = decodePhase(object);
    record.created = time(text(object, QStringLiteral("created")));
    if (object.contains(QStringLiteral("finished")))
        record.finished = time(text(object, QStringLiteral("finished")));
    return record;
}

}  // namespace

QByteArray encode(const QList<Record>& records) {
    QJsonArray items;
    for (const Record& record : records) items.append(encodeRecord(record));
    const QJsonObject root{{QStringLiteral("format"), kVersion}, {QStringLiteral("items"), items}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Decoded decode(const QByteArray& bytes) {
    if (bytes.size() > kMaxBytes) throw Unreadable{QStringLiteral("文件超过 4 MiB")};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw Unreadable{QStringLiteral("不是有效的 JSON（") + error.errorString() +
                         QStringLiteral("）")};
    if (!document.isObject()) throw Unreadable{QStringLiteral("不是 JSON 对象")};
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    const QJsonValue items = root.value(QStringLiteral("items"));
    if (!format.isDouble() || format.toDouble() != double(format.toInt()) || format.toInt() < 1)
        throw Unreadable{QStringLiteral("没有有效的格式版本")};
    if (format.toInt() > kVersion)
        throw Unreadable{QStringLiteral("格式版本 ") + QString::number(format.toInt()) +
                         QStringLiteral(" 来自更新的 Quorvin")};
    if (!items.isArray()) throw Unreadable{QStringLiteral("没有项目列表")};

    Decoded decoded;
    QSet<QUuid> seen;
    for (const QJsonValue& value : items.toArray()) {
        try {
            Record record = decodeRecord(value);
            // Two rows with one id would be one item to everything that files data by id.
            if (seen.contains(record.id)) throw BadItem{};
            seen.insert(record.id);
            decoded.records.append(std::move(record));
        } catch (const BadItem&) {
            ++decoded.skipped;
        }
    }
    return decoded;
}

Phase restoredPhase(const Phase& saved, bool fileExists) {
    if (saved.isActive()) return Phase::makeFailed(Failure::interrupted());
    if (saved.kind() == Phase::done && !fileExists) return Phase::makeFailed(Failure::fileGone());
    return saved;
}

std::optional<Failure::Action> actionFromKey(const QString& key) {
    // Built from key() itself, so the two directions cannot drift apart; every kind number is
    // tried, and the ones that name no remedy have no key.
    static const QHash<QString, Failure::Action> byKey = [] {
        QHash<QString, Failure::Action> all;
        for (int kind = 0; kind <= std::numeric_limits<quint8>::max(); ++kind) {
            const Failure::Action action(static_cast<Failure::Action::Kind>(kind));
            if (action.kind() == Failure::Action::useBrowserCookies) {
                for (const Browser browser : Browser::allCases()) {
                    const auto withBrowser = Failure::Action::browserCookies(browser);
                    all.insert(withBrowser.key(), withBrowser);
                }
            } else if (!action.key().isEmpty()) {
                all.insert(action.key(), action);
            }
        }
        return all;
    }();
    const auto found = byKey.constFind(key);
    if (found == byKey.cend()) return std::nullopt;
    return *found;
}

QList<qsizetype> overLimit(const QList<bool>& finished, qsizetype limit) {
    QList<qsizetype> drop;
    qsizetype excess = finished.size() - limit;
    for (qsizetype i = finished.size() - 1; i >= 0 && excess > 0; --i) {
        if (!finished[i]) continue;
        drop.prepend(i);
        --excess;
    }
    return drop;
}

}  // namespace JournalFormat
