#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// Cuts a child's standard output into lines as the bytes arrive. Lines are found on the raw
// bytes and decoded only when complete, so a chunk that ends inside a line or inside a UTF-8
// character never splits a character. Each line is trimmed (which also drops the carriage
// return of CR LF); lines left empty are dropped.
class LineSplitter {
public:
    // The complete lines this chunk finishes, in order; the unfinished tail is kept.
    QStringList feed(QByteArrayView chunk);
    // The tail as a last line (a child's final line may lack its newline).
    QStringList finish();

private:
    QByteArray m_buffer;
};
