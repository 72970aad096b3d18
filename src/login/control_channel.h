#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// The app's line to the login window: the helper's standard input. The app writes "raise" to
// bring the window forward and "close" to close it; when the input ends (the app closed it,
// quit or died) the window goes too, so a helper never outlives the app that opened it.
// The way back is the helper's standard output: "save-failed <message>" when a login cannot be
// kept, which the app logs before it closes the window as failed.
class ControlChannel : public QObject {
    Q_OBJECT

public:
    explicit ControlChannel(QObject* parent = nullptr);

    // Tells the app that the login cannot be saved, and why (one line).
    void reportSaveFailed(const QString& message);

Q_SIGNALS:
    void raiseRequested();
    void closeRequested();  // also sent when the input ends

private:
    void readAvailable();

    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_buffer;
};
