#pragma once

#include <QString>
#include <QtGlobal>

// "%.1f MB" of a byte count, 1 MB being 2^20 bytes, always with a decimal point.
QString mb(qint64 bytes);
