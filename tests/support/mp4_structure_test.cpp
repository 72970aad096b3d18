#include "support/mp4_structure.h"
#include "common/test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

namespace {

QByteArray box(const char* type, quint32 size, char fill = 'x') {
    QByteArray bytes(4, '\0');
    qToBigEndian(size, bytes.data());
    return bytes + QByteArray(type, 4) + QByteArray(qMax<qsizetype>(0, qsizetype(size) - 8), fill);
}

// The header of a box with a 64-bit size: size 1, the type, then the real size.
QByteArray largeHeader(const char* type, quint64 size) {
    QByteArray bytes(16, '\0');
    qToBigEndian(quint32(1), bytes.data());
    memcpy(bytes.data() + 4, type, 4);
    qToBigEndian(size, bytes.data() + 8);
    return bytes;
}

QByteArray largeBox(const char* type, quint64 size) {
    return largeHeader(type, size) + QByteArray(qMax<qsizetype>(0, qsizetype(size) - 16), 'm');
}

Mp4::Structure checked(const QByteArray& contents) {
    static int serial = 0;
    return Mp4::check(TestSupport::writeFile(
        TestSupport::home() + QStringLiteral("/m%1.mp4").arg(++serial), contents));
}

const QByteArray kHead = box("ftyp", 24) + box("moov", 100);

}  // namespace

TEST(Mp4Structure, WholeFilesTileWithAnIndex) {
    EXPECT_EQ(checked(kHead + box("mdat", 5000)), Mp4::Structure::whole);
    // Index after the media, 64-bit sizes, a last box that runs to the end (size 0).
    EXPECT_EQ(checked(box("ftyp", 24) + largeBox("mdat", 70'000) + box("moov", 64)),
              Mp4::Structure::whole);
    EXPECT_EQ(checked(kHead + box("mdat", 0) + QByteArray(9000, 'z')), Mp4::Structure::whole);
    // Fragmented: many boxes after the index.
    QByteArray fragmented = kHead;
    for (int i = 0; i < 50; ++i) fragmented += box("moof", 40) + box("mdat", 300);
    EXPECT_EQ(checked(fragmented), Mp4::Structure::whole);
}

TEST(Mp4Structure, CutShortOrUnindexedFilesAreNot) {
    const QByteArray whole = kHead + box("mdat", 5000);
    EXPECT_EQ(checked(whole.left(whole.size() - 1)), Mp4::Structure::broken);  // inside mdat
    EXPECT_EQ(checked(whole.left(28)), Mp4::Structure::broken);  // inside the next box header
    EXPECT_EQ(checked(whole + "abc"), Mp4::Structure::broken);   // bytes after the last box
    EXPECT_EQ(checked(kHead + largeBox("mdat", 70'000).left(12)), Mp4::Structure::broken);
    EXPECT_EQ(checked(box("ftyp", 24) + box("mdat", 5000)), Mp4::Structure::noIndex);
    // A media box that ends the file without its index: what a cut download usually leaves.
    EXPECT_EQ(checked(box("ftyp", 24) + box("mdat", 0) + QByteArray(100, 'm')),
              Mp4::Structure::noIndex);
    // Impossible sizes.
    EXPECT_EQ(checked(kHead + box("free", 4)), Mp4::Structure::broken);
    EXPECT_EQ(checked(kHead + largeBox("mdat", 8)), Mp4::Structure::broken);
    EXPECT_EQ(checked(box("ftyp", 24) + largeHeader("mdat", quint64(1) << 62)),
              Mp4::Structure::broken);
    EXPECT_EQ(checked(QByteArray()), Mp4::Structure::broken);
}

TEST(Mp4Structure, OnlyRegularReadableFilesAreJudged) {
    EXPECT_EQ(Mp4::check(TestSupport::home() + QStringLiteral("/missing.mp4")),
              Mp4::Structure::unreadable);
    EXPECT_EQ(Mp4::check(TestSupport::home()), Mp4::Structure::unreadable);
    const QString real = TestSupport::writeFile(TestSupport::home() + QStringLiteral("/r.mp4"),
                                                kHead + box("mdat", 64));
    ASSERT_TRUE(QFile::link(real, TestSupport::home() + QStringLiteral("/l.mp4")));
    EXPECT_EQ(Mp4::check(TestSupport::home() + QStringLiteral("/l.mp4")),
              Mp4::Structure::unreadable);
    EXPECT_TRUE(Mp4::startsWithFtyp(real));
    EXPECT_FALSE(Mp4::startsWithFtyp(TestSupport::writeFile(
        TestSupport::home() + QStringLiteral("/w.webm"), "\x1a\x45\xdf\xa3")));
}
