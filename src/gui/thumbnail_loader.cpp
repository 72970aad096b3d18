#include "gui/thumbnail_loader.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

// Below a page's worth of memory each, and never more than one buffer at a time.
constexpr qint64 kReadBufferBytes = 256 * 1024;
// When QML names no size: about what a row ever shows.
const QSize kDefaultSize(256, 256);
// Formats with a small, well-tried decoder: no SVG (a document to render) and no exotic ones.
const QList<QByteArray> kFormats = {"jpeg", "jpg", "png", "webp", "gif", "bmp"};

struct Fetch {
    std::shared_ptr<ThumbnailJob> job;
    QByteArray body;
    QString problem;
};

}  // namespace

ThumbnailLoader::ThumbnailLoader(Limits limits) : m_limits(limits) {}

ThumbnailLoader::~ThumbnailLoader() {
    for (const auto& job : std::exchange(m_waiting, {})) job->finish({}, QStringLiteral("ended"));
    // Each abort finishes its job and leaves the list at once.
    for (QNetworkReply* reply : QList<QNetworkReply*>(m_running)) reply->abort();
}

bool ThumbnailLoader::isWebAddress(const QUrl& address) {
    return address.isValid() && !address.host().isEmpty() &&
           (address.scheme() == u"http" || address.scheme() == u"https");
}

void ThumbnailLoader::enqueue(std::shared_ptr<ThumbnailJob> job) {
    QMetaObject::invokeMethod(this, [this, job = std::move(job)] {
        m_waiting.append(job);
        next();
    });
}

void ThumbnailLoader::next() {
    while (m_running.size() < m_limits.atOnce && !m_waiting.isEmpty()) {
        const std::shared_ptr<ThumbnailJob> job = m_waiting.takeFirst();
        // A row that went away while its picture waited has cancelled it.
        if (!job->isFinished()) fetch(job);
    }
}

void ThumbnailLoader::fetch(const std::shared_ptr<ThumbnailJob>& job) {
    if (!isWebAddress(job->address)) {
        job->finish({}, QStringLiteral("not a web address"));
        return;
    }
    if (!m_network) m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(job->address);
    // An encoded body would be unpacked beyond the byte limit; cookies are nobody's business.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(int(m_limits.timeout.count()));
    QNetworkReply* reply = m_network->get(request);
    reply->setReadBufferSize(kReadBufferBytes);
    m_running.append(reply);
    auto fetch = std::make_shared<Fetch>(Fetch{job, {}, {}});
    const auto refuse = [reply, fetch](const QString& problem) {
        if (fetch->problem.isEmpty()) fetch->problem = problem;
        reply->abort();
    };
    // The whole fetch, not only a silence, is bounded: a server may drip bytes for ever.
    QTimer::singleShot(m_limits.timeout, reply,
                       [refuse] { refuse(QStringLiteral("took too long")); });
    connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply, refuse] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limits.maxBytes)
            refuse(QStringLiteral("too large"));
    });
    connect(reply, &QNetworkReply::readyRead, reply, [this, reply, fetch, refuse] {
        if (fetch->job->isFinished()) return refuse(QStringLiteral("cancelled"));
        fetch->body += reply->read(m_limits.maxBytes + 1 - fetch->body.size());
        if (fetch->body.size() > m_limits.maxBytes) refuse(QStringLiteral("too large"));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, fetch] {
        m_running.removeOne(reply);
        reply->deleteLater();
        QString problem = fetch->problem;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (problem.isEmpty() && reply->error() != QNetworkReply::NoError)
            problem = reply->errorString();
        if (problem.isEmpty() && (status < 200 || status > 299))
            problem = QStringLiteral("HTTP ") + QString::number(status);
        QImage picture;
        if (problem.isEmpty() && !fetch->job->isFinished())
            picture = decode(fetch->body, fetch->job->size, m_limits.maxPixels, &problem);
        fetch->job->finish(picture, problem);
        next();
    });
}

QImage ThumbnailLoader::decode(const QByteArray& bytes, QSize size, qint64 maxPixels,
                               QString* problem) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!kFormats.contains(reader.format())) {
        *problem = QStringLiteral("not a picture");
        return {};
    }
    // The header says how large the picture is before anything is allocated for it.
    const QSize full = reader.size();
    if (full.isEmpty() || qint64(full.width()) * full.height() > maxPixels) {
        *problem = QStringLiteral("no size or too many pixels");
        return {};
    }
    const QSize wanted = size.width() > 0 && size.height() > 0
                             ? full.scaled(size, Qt::KeepAspectRatioByExpanding)
                             : full.scaled(kDefaultSize, Qt::KeepAspectRatio);
    if (wanted.width() < full.width()) reader.setScaledSize(wanted);
    QImage picture = reader.read();
    if (picture.isNull()) *problem = reader.errorString();
    return picture;
}
