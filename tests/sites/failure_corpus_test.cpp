// Real yt-dlp error outputs from public issue threads, run through the classifier as one table:
// each must get the title recorded next to it, and few may fall through to the default.

#include "common/test_support.h"
#include "osutils/linux/linux_browser_support.h"
#include "sites/ytdlp.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <iostream>

namespace {

struct Sample {
    QString source;
    Platform platform = Platform::other;
    std::optional<Browser> browser;
    QString expectedTitle;
    QString text;
    int line = 0;  // where the entry starts, for messages
};

// The corpus format is described at the top of the file itself.
std::vector<Sample> readCorpus() {
    QFile file(QStringLiteral(QUORVIN_FIXTURES "/sites/ytdlp_errors.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    std::vector<Sample> samples;
    QStringList text;
    auto finish = [&] {
        if (!samples.empty()) samples.back().text = text.join(u'\n').trimmed() + u'\n';
        text.clear();
    };
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (samples.empty() && line.startsWith(u'#')) continue;
        if (line.startsWith(u"== ")) {
            finish();
            const QStringList fields = line.mid(3).split(u'|');
            EXPECT_EQ(fields.size(), 3) << "line " << i + 1;
            Sample sample;
            sample.line = i + 1;
            sample.source = fields.value(0).trimmed();
            const auto platform = Platform::fromRawValue(fields.value(1).trimmed());
            EXPECT_TRUE(platform.has_value()) << "line " << i + 1;
            sample.platform = platform.value_or(Platform::other);
            const QString browser = fields.value(2).trimmed();
            if (browser != u"-") {
                sample.browser = Browser::fromRawValue(browser);
                EXPECT_TRUE(sample.browser.has_value()) << "line " << i + 1;
            }
            samples.push_back(sample);
        } else if (line.startsWith(u"=> ") && !samples.empty() && text.isEmpty() &&
                   samples.back().expectedTitle.isEmpty()) {
            samples.back().expectedTitle = line.mid(3);
        } else if (!samples.empty()) {
            text << line;
        }
    }
    finish();
    return samples;
}

const QStringList kDiskTitles = {"磁盘空间不足", "保存位置是只读的", "保存路径不是文件夹",
                                 "没有权限写入文件", "视频保存失败"};

}  // namespace

TEST(FailureCorpus, RealOutputsGetTheirTitleAndFewFallToTheDefault) {
    // A desktop where Chrome has a profile.
    QDir().mkpath(TestSupport::home() + QStringLiteral("/root") + QDir::homePath() +
                  QStringLiteral("/.config/google-chrome"));
    const OsUtils::LinuxBrowserSupport browsers(TestSupport::home() + QStringLiteral("/root"));
    const std::vector<Sample> samples = readCorpus();
    ASSERT_GE(samples.size(), 60u);

    int fallen = 0;
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.source.toStdString() + " (line " + std::to_string(sample.line) + ")");
        EXPECT_TRUE(sample.source.startsWith(u"https://github.com/"));
        EXPECT_FALSE(sample.text.trimmed().isEmpty());
        ASSERT_FALSE(sample.expectedTitle.isEmpty());
        const Failure failure = YtDlp::failure(sample.text, sample.platform, sample.browser,
                                               Tools::Settings{}, browsers);
        EXPECT_EQ(failure.title, sample.expectedTitle);
        EXPECT_FALSE(failure.isCancel);
        if (failure.title == u"下载失败") ++fallen;
        // A disk error is never blamed on the tools.
        if (kDiskTitles.contains(failure.title)) {
            EXPECT_EQ(failure.actions,
                      (QList<Failure::Action>{Failure::Action::retry, Failure::Action::openLogs}));
        }
    }
    const double share = 100.0 * fallen / double(samples.size());
    std::cout << "corpus: " << fallen << " of " << samples.size() << " (" << share
              << " %) fall to the default\n";
    EXPECT_LT(share, 5.0);
}
