#include "login/control_channel.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>

#include <unistd.h>

ControlChannel::ControlChannel(QObject* parent) : QObject(parent) {
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ControlChannel::readAvailable);
}

void ControlChannel::readAvailable() {
    char chunk[256];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
        m_notifier->setEnabled(false);
        Q_EMIT closeRequested();
        return;
    }
    m_buffer.append(chunk, got);
    qsizetype end = 0;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(end).trimmed();
        m_buffer.remove(0, end + 1);
        if (line == "raise") Q_EMIT raiseRequested();
        if (line == "close") Q_EMIT closeRequested();
    }
}

void ControlChannel::reportSaveFailed(const QString& message) {
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fputs(("save-failed " + line.toUtf8() + '\n').constData(), stdout);
    std::fflush(stdout);
}
