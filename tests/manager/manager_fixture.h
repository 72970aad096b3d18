#pragma once

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "common/test_support.h"
#include "manager/desktop_services.h"
#include "manager/download_manager.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

// Stand-ins for the desktop and one loopback server playing the Yuanbao service, the Channels
// service and the video file server at once (the origins point at it before main()).
namespace ManagerTest {

HttpTestServer& server();

struct RecordingClipboard : Clipboard {
    std::optional<QString> contents;
    std::optional<QString> text() const override { return contents; }
    void setText(const QString& text) override { contents = text; }
};

struct RecordingWorkspace : Workspace {
    QList<QUrl> opened;
    QList<Pane> panes;
    void openURL(const QUrl& url) override { opened.append(url); }
    void revealFile(const QString&) override {}
    void openSettingsPane(Pane pane) override { panes.append(pane); }
};

struct RecordingLoginWindow : LoginWindow {
    int shown = 0;
    void show() override { ++shown; }
    void finish(bool loggedIn) {
        auto callback = onFinish;  // the manager may release this window while it runs
        if (callback) callback(loggedIn);
    }
};

// A manager wired to recording stand-ins, with its signals counted.
struct Harness {
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    QList<std::shared_ptr<RecordingLoginWindow>> loginWindows;
    QList<bool> activeChanges;
    int shows = 0;
    std::unique_ptr<DownloadManager> manager;

    explicit Harness(YtDlp::Settings settings = {});
    // Submits the first link in a text and returns its item; null when there is no link.
    DownloadManager::ItemPointer submit(const QString& text);
    // Runs the event loop until the item has finished.
    bool waitFinished(const DownloadManager::ItemPointer& item, int seconds = 60);
};

// A share link of this test run ("https://weixin.qq.com/sph/<id>").
QString shareLink(const QString& id);

// Puts a Yuanbao login into the cookie jar.
void logIn();

// Makes the server answer as the Yuanbao, Channels and video services would: each share id is
// resolved to /video/<id>.mp4 whose body is `videoBytes`, with the description "标题 <id>".
// `chunkDelayMs` > 0 sends the video in slow pieces, to keep a download running.
void serveChannels(const QByteArray& videoBytes, int chunkDelayMs = 0);

using TestMedia::mp4Bytes;
using TestSupport::logLines;
using TestSupport::temporaryLeftovers;

}  // namespace ManagerTest
