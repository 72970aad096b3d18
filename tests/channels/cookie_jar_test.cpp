#include "channels/cookie_jar.h"
#include "channels/channels_fixture.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

using ChannelsTest::cookie;

class CookieJarTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(CookieJar::path()); }
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

TEST_F(CookieJarTest, RoundTripsEveryField) {
    QNetworkCookie token = cookie("hy_token", "abc.def+/=", u".tencent.com"_qs,
                                  QDateTime::fromSecsSinceEpoch(1'900'000'000, Qt::UTC));
    token.setSecure(true);
    token.setHttpOnly(true);
    const QNetworkCookie session = cookie("sid", "1", u"yuanbao.tencent.com"_qs);
    ASSERT_TRUE(CookieJar::write({token, session}));

    const QList<QNetworkCookie> back = CookieJar::read();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].name(), "hy_token");
    EXPECT_EQ(back[0].value(), "abc.def+/=");
    EXPECT_EQ(back[0].domain(), u".tencent.com");
    EXPECT_EQ(back[0].path(), u"/");
    EXPECT_EQ(back[0].expirationDate().toSecsSinceEpoch(), 1'900'000'000);
    EXPECT_TRUE(back[0].isSecure());
    EXPECT_TRUE(back[0].isHttpOnly());
    EXPECT_TRUE(back[1].isSessionCookie());
    EXPECT_EQ(back[1].domain(), u"yuanbao.tencent.com");
}

TEST_F(CookieJarTest, FileAndFolderAreOwnerOnly) {
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "secret", u".tencent.com"_qs)}));
    EXPECT_EQ(modeOf(CookieJar::path()), mode_t(0600));
    EXPECT_EQ(modeOf(AppPaths::support()), mode_t(0700));
    EXPECT_EQ(QFileInfo(CookieJar::path()).path(), AppPaths::support());
}

// A jar copied in or left by an older version may be readable by everyone: the first read
// makes it owner-only and says so once; every write keeps it so.
TEST_F(CookieJarTest, AJarReadableByOthersIsMadeOwnerOnly) {
    ASSERT_TRUE(CookieJar::write({cookie("hy_token", "secret", u".tencent.com"_qs)}));
    ASSERT_EQ(::chmod(QFile::encodeName(CookieJar::path()).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(AppPaths::support()).constData(), 0755), 0);
    const auto told = [] {
        return TestSupport::logLines()
            .filter(u"登录信息的权限过宽，别的用户也能读取，已改为只有你能访问："_qs +
                    CookieJar::path())
            .size();
    };
    const qsizetype before = told();

    EXPECT_EQ(CookieJar::read().size(), 1);
    EXPECT_EQ(modeOf(CookieJar::path()), mode_t(0600));
    EXPECT_EQ(modeOf(AppPaths::support()), mode_t(0700));
    CookieJar::read();
    EXPECT_EQ(told(), before + 1);

    ASSERT_EQ(::chmod(QFile::encodeName(AppPaths::support()).constData(), 0755), 0);
    ASSERT_TRUE(CookieJar::write({cookie("sid", "1", u".tencent.com"_qs)}));
    EXPECT_EQ(modeOf(CookieJar::path()), mode_t(0600));
    EXPECT_EQ(modeOf(AppPaths::support()), mode_t(0700));
}

TEST_F(CookieJarTest, InsertReplacesTheSameCookieAndKeepsOthers) {
    ASSERT_TRUE(CookieJar::insert(cookie("hy_token", "old", u".tencent.com"_qs)));
    ASSERT_TRUE(CookieJar::insert(cookie("hy_token", "other-site", u".example.com"_qs)));
    ASSERT_TRUE(CookieJar::insert(cookie("hy_token", "new", u".tencent.com"_qs)));
    const QList<QNetworkCookie> stored = CookieJar::read();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0].value(), "new");
    EXPECT_EQ(stored[1].value(), "other-site");

    ASSERT_TRUE(CookieJar::remove(cookie("hy_token", "", u".tencent.com"_qs)));
    ASSERT_EQ(CookieJar::read().size(), 1);
    EXPECT_EQ(CookieJar::read()[0].domain(), u".example.com");
}

TEST_F(CookieJarTest, SkipsDamagedLinesAndReadsAfreshEachTime) {
    EXPECT_TRUE(CookieJar::read().isEmpty());
    TestSupport::writeFile(CookieJar::path(),
                           "not json\n{\"name\":\"a\",\"value\":\"1\",\"domain\":\"x.com\"}\n"
                           "{\"value\":\"nameless\"}\n\n");
    ASSERT_EQ(CookieJar::read().size(), 1);
    EXPECT_EQ(CookieJar::read()[0].name(), "a");
    // Another process (the login helper) changes the file: the next read sees it.
    TestSupport::writeFile(CookieJar::path(),
                           "{\"name\":\"b\",\"value\":\"2\",\"domain\":\"x.com\"}\n");
    ASSERT_EQ(CookieJar::read().size(), 1);
    EXPECT_EQ(CookieJar::read()[0].name(), "b");
}

// A damaged expiry (out of any calendar's range) reads as no expiry instead of overflowing.
TEST_F(CookieJarTest, AnExpiryOutOfRangeIsAbsent) {
    TestSupport::writeFile(
        CookieJar::path(),
        "{\"name\":\"a\",\"value\":\"1\",\"domain\":\"x.com\",\"expires\":1e300}\n"
        "{\"name\":\"b\",\"value\":\"2\",\"domain\":\"x.com\",\"expires\":-9.3e18}\n"
        "{\"name\":\"c\",\"value\":\"3\",\"domain\":\"x.com\",\"expires\":1709618829000}\n");
    const QList<QNetworkCookie> cookies = CookieJar::read();
    ASSERT_EQ(cookies.size(), 3);
    EXPECT_TRUE(cookies[0].isSessionCookie());
    EXPECT_TRUE(cookies[1].isSessionCookie());
    EXPECT_EQ(cookies[2].expirationDate().toMSecsSinceEpoch(), 1709618829000);
}

}  // namespace

TEST_F(CookieJarTest, AnUpdateThatChangesNothingLeavesTheFileAlone) {
    ASSERT_TRUE(CookieJar::write(
        {cookie("hy_token", "one", u".tencent.com"_qs), cookie("other", "x", u"example.org"_qs)}));
    const auto inode = [] {
        struct stat info {};
        ::stat(QFile::encodeName(CookieJar::path()).constData(), &info);
        return info.st_ino;
    };
    const ino_t before = inode();
    // The same cookie put back, as a web view reports an overwrite: nothing to write.
    ASSERT_TRUE(CookieJar::update([](QList<QNetworkCookie>& cookies) {
        const QNetworkCookie token = cookies.takeFirst();
        cookies.prepend(token);
    }));
    EXPECT_EQ(inode(), before);

    ASSERT_TRUE(
        CookieJar::update([](QList<QNetworkCookie>& cookies) { cookies.first().setValue("two"); }));
    EXPECT_NE(inode(), before);
    EXPECT_EQ(CookieJar::read().first().value(), "two");
    EXPECT_EQ(CookieJar::read().size(), 2);
}
