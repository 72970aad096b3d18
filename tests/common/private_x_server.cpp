#include "common/private_x_server.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>

namespace TestSupport {

namespace {

bool numberLooksTaken(int number) {
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
           QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number));
}

// The number the server writes on its standard output once it accepts clients (-displayfd 1).
QByteArray announcedNumber(QProcess& server) {
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    while (!out.contains('\n') && clock.elapsed() < 10'000) {
        if (!server.waitForReadyRead(int(10'000 - clock.elapsed()))) break;
        out += server.readAllStandardOutput();
    }
    return out.contains('\n') ? out.trimmed() : QByteArray();
}

}  // namespace

QString startXServer(QProcess& server, const QStringList& arguments) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int number = 100 + int(QRandomGenerator::global()->bounded(3900));
        if (numberLooksTaken(number)) continue;
        server.start(QStringLiteral("Xvfb"),
                     QStringList{QStringLiteral(":%1").arg(number), QStringLiteral("-displayfd"),
                                 QStringLiteral("1")} +
                         arguments);
        const QByteArray announced = announcedNumber(server);
        if (announced == QByteArray::number(number)) return QString::number(number);
        // Another server won the number between the look and the start.
        server.kill();
        server.waitForFinished(2000);
    }
    return {};
}

}  // namespace TestSupport
