// Holds the X clipboard for the click benchmark: each line read on standard input becomes the
// clipboard's text, and "set" is printed once this program owns it with that text, so the
// benchmark clicks only after the clipboard holds its fresh link. Serves the text to whoever asks
// for as long as it runs.

#include <QClipboard>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <unistd.h>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, got);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString text = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            QGuiApplication::clipboard()->setText(text);
            const bool held = QGuiApplication::clipboard()->ownsClipboard() &&
                              QGuiApplication::clipboard()->text() == text;
            std::printf(held ? "set\n" : "not-set\n");
            std::fflush(stdout);
        }
    });
    return app.exec();
}
