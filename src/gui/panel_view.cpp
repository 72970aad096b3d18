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
#include <QQmlEngine>
#include <QQuickView>

// Generated with the module's type registrations. The library is static: naming the function
// keeps that object file (and with it the registration of Quorvin.Panel) in the program.
void qml_register_types_Quorvin_Panel();

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
    [[maybe_unused]] volatile auto registration = &qml_register_types_Quorvin_Panel;
    preferSimplifiedChineseFallback();
    if (!callbacks.hasOldCertificate)
        callbacks.hasOldCertificate = [] { return Legacy::hasOldCertificate(); };
    auto* bridge = new PanelBridge(manager, field, std::move(callbacks), &view);

    QQmlEngine* engine = view.engine();
    PanelBridge::provide(*engine, bridge);
    // Where the module's compiled QML and its qmldir are found in the resources.
    engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine->addImageProvider(QStringLiteral("icon"), new IconProvider);
    engine->addImageProvider(QStringLiteral("badge"), new BadgeImageProvider([](int size) {
                                 return Logo::badgeImage(size);
                             }));
    engine->addImageProvider(QStringLiteral("thumbnail"), new ThumbnailProvider);
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setColor(QGuiApplication::palette().color(QPalette::Window));
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Quorvin/Panel/PanelView.qml")));
}
