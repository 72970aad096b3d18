#include "support/byte_count.h"

QString mb(qint64 bytes) {
    // QString::number ignores the locale, so the separator is always a point.
    return QString::number(double(bytes) / 1048576.0, 'f', 1) + QStringLiteral(" MB");
}
