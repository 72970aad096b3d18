#include "sites/line_splitter.h"

#include <cstring>

QStringList LineSplitter::feed(QByteArrayView chunk) {
    QStringList lines;
    m_buffer.append(chunk);
    const char* data = m_buffer.constData();
    const qsizetype size = m_buffer.size();
    qsizetype start = 0;
    while (start < size) {
        const void* found = std::memchr(data + start, '\n', size_t(size - start));
        if (!found) break;
        const qsizetype end = static_cast<const char*>(found) - data;
        QString line = QString::fromUtf8(data + start, end - start).trimmed();
        if (!line.isEmpty()) lines.append(std::move(line));
        start = end + 1;
    }
    // One move per chunk, not per line: only the unfinished tail stays buffered.
    if (start > 0) m_buffer.remove(0, start);
    return lines;
}

QStringList LineSplitter::finish() {
    return feed("\n");
}
