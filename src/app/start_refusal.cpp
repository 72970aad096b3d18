#include "app/start_refusal.h"

#include "support/app_paths.h"
#include "support/log.h"

#include <QMessageBox>

#include <cstdio>

int refuseToStart(const QString& reason) {
    const QString message = QStringLiteral("Quorvin 无法启动：") + reason;
    std::fprintf(stderr, "quorvin: %s\n", message.toLocal8Bit().constData());
    AppPaths::ensureDirectories();
    Log::write(message);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quorvin"),
                    QStringLiteral("Quorvin 无法启动"), QMessageBox::Ok);
    box.setInformativeText(reason);
    box.exec();
    return 1;
}
