#pragma once

#include <QPointer>
#include <QString>

#include <qcoro/qcorotask.h>

class DownloadManager;

// The start-up clean-up of kept partial data (PartialStore::removeExpired, off the main thread).
// Each interrupted item of the manager's list whose data went says so: its kept part expired,
// and downloading it again starts from zero.
QCoro::Task<> removeExpiredPartialData(QPointer<DownloadManager> manager, QString root);
