#include "sites/media_title.h"

#include <gtest/gtest.h>

TEST(MediaTitle, StockManifestNamesGiveWayToTheLinksHostAndPath) {
    for (const char* stock : {"master", "Manifest", "index.m3u8", "playlist", "video", " "}) {
        EXPECT_TRUE(MediaTitle::isPlaceholder(QString::fromUtf8(stock))) << stock;
    }
    for (const char* real : {"master class", "Video of the day", "索引", "index2"}) {
        EXPECT_FALSE(MediaTitle::isPlaceholder(QString::fromUtf8(real))) << real;
    }
    const auto choose = [](const char* title, const char* link) {
        return MediaTitle::choose(QString::fromUtf8(title), QUrl(QString::fromUtf8(link)));
    };
    EXPECT_EQ(choose("master", "https://www.example.org/live/launch/master.m3u8?t=1"),
              u"www.example.org - live - launch");
    // A folder of a stock name still says where; the file's own stock name does not.
    EXPECT_EQ(
        choose("index", "https://cdn.example.org/video/%E5%8F%91%E5%B8%83%E4%BC%9A/index.m3u8"),
        u"cdn.example.org - video - 发布会");
    EXPECT_EQ(choose("manifest", "http://127.0.0.1:8080/manifest.mpd"), u"127.0.0.1");
    EXPECT_EQ(choose("stream", "https://x.example/stream.m3u8"), u"stream");
    // Never a name with a path separator in it.
    EXPECT_FALSE(choose("video", "https://a.example/b%2Fc/video.mpd").contains(u'/'));
}
