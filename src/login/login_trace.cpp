#include "login/login_trace.h"

#include <QDateTime>
#include <QFile>

namespace LoginTrace {

bool enabled() {
    static const bool value = !qEnvironmentVariableIsEmpty("QUORVIN_LOGIN_TRACE");
    return value;
}

void mark(const char* name) {
    if (!enabled()) return;
    QFile file(qEnvironmentVariable("QUORVIN_LOGIN_TRACE"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(QByteArray(name) + ' ' + QByteArray::number(QDateTime::currentMSecsSinceEpoch()) +
               '\n');
}

}  // namespace LoginTrace
