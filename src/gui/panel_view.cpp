#include "gui/panel_view.h"

#include "gui/badge_image_provider.h"
#include "gui/icon_provider.h"
#include "gui/logo.h"
#include "gui/panel_bridge.h"
#include "gui/thumbnail_provider.h"
#include "legacy/legacy.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickView>

namespace {

// The desktop's UI font first; Chinese text falls back to Noto Sans CJK SC rather than to
// whichever CJK font fontconfig finds first (often the Japanese forms).
void preferSimplifiedChineseFallback() {
    QFont font = QGuiApplication::font();
    const QString cjk = QStringLiteral("Noto Sans CJK SC");
    QStringList families = font.families();
    if (families.isEmpty()) families.append(font.family());
    if (families.contains(cjk)) return;
    families.append(cjk);
    font.setFamilies(families);
    QGuiApplication::setFont(font);
}

}  // namespace

void loadPanel(QQuickView& view, DownloadManager& manager, PasteField& field,
               PanelCallbacks callbacks) {
    preferSimplifiedChineseFallback();
    PanelBridge::Shell shell;
    shell.quit = std::move(callbacks.onQuit);
    shell.removeOldCert = std::move(callbacks.onRemoveOldCert);
    shell.heightChanged = std::move(callbacks.onHeightChange);
    shell.hasOldCertificate = [] { return Legacy::hasOldCertificate(); };
    auto* bridge = new PanelBridge(manager, field, std::move(shell), &view);

    QQmlEngine* engine = view.engine();
    engine->addImageProvider(QStringLiteral("icon"), new IconProvider);
    engine->addImageProvider(QStringLiteral("badge"), new BadgeImageProvider([](int size) {
                                 return Logo::badgeImage(size);
                             }));
    engine->addImageProvider(QStringLiteral("thumbnail"), new ThumbnailProvider);
    engine->rootContext()->setContextProperty(QStringLiteral("panel"), bridge);
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setColor(QGuiApplication::palette().color(QPalette::Window));
    view.setSource(QUrl(QStringLiteral("qrc:/quorvin/qml/PanelView.qml")));
}
