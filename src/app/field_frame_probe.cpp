#include "app/field_frame_probe.h"

#include "gui/paste_field.h"

#include <QDateTime>
#include <QQuickWindow>

#include <cstdio>

namespace FieldFrameProbe {

void watch(QQuickWindow& panel, const PasteField& field) {
    if (!qEnvironmentVariableIsSet("QUORVIN_CLICK_PROBE")) return;
    // frameSwapped comes from the render loop; the slot runs on the main thread, where the
    // field's text lives.
    QObject::connect(&panel, &QQuickWindow::frameSwapped, &panel, [&panel, &field] {
        static QString shown;
        if (!panel.isVisible() || field.input() == shown) return;
        shown = field.input();
        std::printf("field-frame %lld %s\n", QDateTime::currentMSecsSinceEpoch(),
                    qUtf8Printable(shown));
        std::fflush(stdout);
    });
    QObject::connect(&panel, &QWindow::visibleChanged, &panel, [](bool visible) {
        if (visible) return;
        std::printf("panel-hidden %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
    });
}

}  // namespace FieldFrameProbe
