#include "gui/thumbnail_provider.h"

#include <QQuickTextureFactory>

namespace {

// QML's image thread holds this while it waits; it goes when the picture is shown, or earlier
// when the row goes away (cancel).
class ThumbnailResponse : public QQuickImageResponse {
public:
    explicit ThumbnailResponse(std::shared_ptr<ThumbnailJob> job) : m_job(std::move(job)) {
        m_job->attach(this);
    }
    ~ThumbnailResponse() override { m_job->detach(); }

    QQuickTextureFactory* textureFactory() const override {
        return QQuickTextureFactory::textureFactoryForImage(m_job->picture());
    }
    QString errorString() const override { return m_job->problem(); }
    void cancel() override { m_job->finish({}, QStringLiteral("cancelled")); }

private:
    std::shared_ptr<ThumbnailJob> m_job;
};

}  // namespace

ThumbnailProvider::ThumbnailProvider(ThumbnailLoader::Limits limits)
    : m_loader(new ThumbnailLoader(limits)) {
    m_thread.setObjectName(QStringLiteral("thumbnails"));
    m_loader->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_loader, &QObject::deleteLater);
    m_thread.start();
}

ThumbnailProvider::~ThumbnailProvider() {
    // The loader never blocks: its thread ends as soon as it returns to its loop.
    m_thread.quit();
    m_thread.wait();
}

QUrl ThumbnailProvider::source(const QUrl& address) {
    if (!ThumbnailLoader::isWebAddress(address)) return {};
    return QUrl(QStringLiteral("image://thumbnail/") +
                QString::fromLatin1(address.toEncoded().toBase64(QByteArray::Base64UrlEncoding |
                                                                 QByteArray::OmitTrailingEquals)));
}

QQuickImageResponse* ThumbnailProvider::requestImageResponse(const QString& id,
                                                             const QSize& requestedSize) {
    auto job = std::make_shared<ThumbnailJob>();
    job->address = QUrl::fromEncoded(
        QByteArray::fromBase64(id.toLatin1(), QByteArray::Base64UrlEncoding), QUrl::StrictMode);
    job->size = requestedSize;
    auto* response = new ThumbnailResponse(job);
    m_loader->enqueue(job);
    return response;
}
