#include "app/idle_memory.h"

#include <QPixmapCache>
#include <QQmlEngine>
#include <QQuickView>
#include <QQuickWindow>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace IdleMemory {

void release(QQuickWindow& hiddenWindow) {
    hiddenWindow.releaseResources();
    if (auto* view = qobject_cast<QQuickView*>(&hiddenWindow)) {
        if (QQmlEngine* engine = view->engine()) {
            engine->collectGarbage();
            engine->trimComponentCache();
        }
    }
    QPixmapCache::clear();
#if defined(__GLIBC__)
    // glibc keeps freed memory in its arenas; a long-lived idle process should hand it back.
    malloc_trim(0);
#endif
}

}  // namespace IdleMemory
