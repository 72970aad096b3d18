// Notifications when the panel is hidden: the real app against a notification service
// stand-in on the test desktop's private session bus, which records every Notify and can press
// a notification's button.

#include "app/desktop_session.h"

#include "common/http_test_server.h"
#include "common/test_media.h"
#include "support/settings.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>

namespace {

using namespace std::chrono_literals;

// Records Notify calls as JSON lines in argv[1]; Press(id, action) emits ActionInvoked.
constexpr char kServer[] = R"(
import dbus, dbus.service, dbus.mainloop.glib, json, sys
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
IFACE = "org.freedesktop.Notifications"
class Server(dbus.service.Object):
    def __init__(self, bus):
        dbus.service.Object.__init__(self, bus, "/org/freedesktop/Notifications")
        self.next = 0
    @dbus.service.method(IFACE, out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]
    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.next += 1
        with open(sys.argv[1], "a") as log:
            log.write(json.dumps({"id": self.next, "summary": summary, "body": body,
                                  "actions": [str(a) for a in actions]}) + "\n")
        return self.next
    @dbus.service.signal(IFACE, signature="us")
    def ActionInvoked(self, id, action):
        pass
    @dbus.service.method("org.quorvin.Test", in_signature="us")
    def Press(self, id, action):
        self.ActionInvoked(id, action)
bus = dbus.SessionBus()
name = dbus.service.BusName(IFACE, bus)
server = Server(bus)
print("ready", flush=True)
GLib.MainLoop().run()
)";

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(desktop.problem(), QString());
        Settings::setValue(QStringLiteral("welcomed2"), true);
        record = TestSupport::home() + QStringLiteral("/notified.jsonl");
        service.setProcessEnvironment(desktop.environment());
        service.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-c"), QString::fromUtf8(kServer), record});
        ASSERT_TRUE(TestSupport::waitUntil([&] { return service.canReadLine(); }, 10s));
        www = TestSupport::home() + QStringLiteral("/www");
        ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/one.mp4"), 1));
        ASSERT_TRUE(TestMedia::makeClip(www + QStringLiteral("/two.mp4"), 1));
    }

    void TearDown() override {
        service.terminate();
        service.waitForFinished(3000);
    }

    QList<QJsonObject> notified() const {
        QFile file(record);
        QList<QJsonObject> all;
        if (!file.open(QIODevice::ReadOnly)) return all;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty()) all.append(QJsonDocument::fromJson(line).object());
        }
        return all;
    }

    // Hands links to the app as a second launch would, which also shows the panel.
    bool hand(const QByteArray& links) {
        return desktop.ask("open " + links.toBase64() + '\n') == "ok\n";
    }

    // Escape, typed into the panel as a person would: focus it, then press the key.
    bool hidePanel() {
        const QStringList panels = desktop.panels();
        if (panels.size() != 1) return false;
        desktop.run(QStringLiteral("xdotool"),
                    {QStringLiteral("windowactivate"), QStringLiteral("--sync"), panels[0]});
        desktop.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
        return TestSupport::waitUntil([&] { return desktop.panels().isEmpty(); }, 5s);
    }

    void press(int id, const QString& action) {
        QDBusConnection bus =
            QDBusConnection::connectToBus(desktop.busAddress(), QStringLiteral("test"));
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.quorvin.Test"),
            QStringLiteral("Press"));
        call << uint(id) << action;
        bus.call(call);
        QDBusConnection::disconnectFromBus(QStringLiteral("test"));
    }

    DesktopSession desktop{DesktopSession::Tray::xembed};
    QProcess service;
    QString record;
    QString www;
};

TEST_F(Notifications, SavesTogetherMakeOneAndAFailureOffersItsRow) {
    // Replies wait until the panel is hidden: nothing is announced while it shows.
    std::atomic<bool> releaseSaves = false;
    std::atomic<bool> releaseFailure = false;
    HttpTestServer server([&](const HttpTestServer::Request& request) {
        if (request.path() == "/missing.mp4") {
            TestSupport::waitUntil([&] { return releaseFailure.load(); }, 30s);
            return HttpTestServer::Reply::text("gone", 404);
        }
        TestSupport::waitUntil([&] { return releaseSaves.load(); }, 30s);
        HttpTestServer::Reply reply;
        reply.file = www + QString::fromUtf8(request.path());
        reply.headers = {{"Content-Type", "video/mp4"}};
        return reply;
    });
    desktop.startApp({QStringLiteral("QUORVIN_NOTIFY_GROUP_MS=8000")});
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            return hand(server.url(QStringLiteral("/one.mp4")).toEncoded() + ' ' +
                        server.url(QStringLiteral("/two.mp4")).toEncoded());
        },
        15s));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    ASSERT_TRUE(hidePanel());
    releaseSaves = true;

    ASSERT_TRUE(TestSupport::waitUntil([&] { return !notified().isEmpty(); }, 60s))
        << TestSupport::logLines().join(u'\n').toStdString();
    QJsonObject saved = notified().first();
    EXPECT_EQ(saved.value(QStringLiteral("summary")).toString(), u"2 个视频已保存到桌面");
    EXPECT_EQ(saved.value(QStringLiteral("body")).toString().split(u'\n').size(), 2);
    EXPECT_TRUE(
        saved.value(QStringLiteral("actions")).toArray().contains(u"在文件管理器中显示"_qs));

    // A failure: its title, its advice's first sentence, and "查看", which opens the panel.
    ASSERT_TRUE(hand(server.url(QStringLiteral("/missing.mp4")).toEncoded()));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    ASSERT_TRUE(hidePanel());
    releaseFailure = true;
    ASSERT_TRUE(TestSupport::waitUntil([&] { return notified().size() == 2; }, 60s));
    const QJsonObject failed = notified().last();
    EXPECT_FALSE(failed.value(QStringLiteral("summary")).toString().isEmpty());
    EXPECT_FALSE(failed.value(QStringLiteral("body")).toString().contains(u'\n'));
    EXPECT_TRUE(failed.value(QStringLiteral("actions")).toArray().contains(u"查看"_qs));
    // The list, idle again, brought the panel forward; "查看" must bring it back once hidden.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    ASSERT_TRUE(hidePanel());
    press(failed.value(QStringLiteral("id")).toInt(), QStringLiteral("view"));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
}

TEST_F(Notifications, TurnedOffASaveIsNotAnnouncedAndTurnedOnTheNextOneIs) {
    std::atomic<int> released = 0;  // how many of the files may be served
    HttpTestServer server([&](const HttpTestServer::Request& request) {
        const int needed = request.path() == "/one.mp4" ? 1 : 2;
        TestSupport::waitUntil([&] { return released.load() >= needed; }, 30s);
        HttpTestServer::Reply reply;
        reply.file = www + QString::fromUtf8(request.path());
        reply.headers = {{"Content-Type", "video/mp4"}};
        return reply;
    });
    Settings::setNotifyWhenDone(false);
    desktop.startApp();
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return hand(server.url(QStringLiteral("/one.mp4")).toEncoded()); }, 15s));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    ASSERT_TRUE(hidePanel());
    released = 1;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return logLinesContaining(QStringLiteral("下载完成：one")) == 1; }, 60s));

    // The app reads the setting as each download ends, as the menu entry writes it. Had the
    // first save been announced (or kept back for later), it would come before or with this one.
    Settings::setNotifyWhenDone(true);
    ASSERT_TRUE(hand(server.url(QStringLiteral("/two.mp4")).toEncoded()));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return desktop.panels().size() == 1; }, 5s));
    ASSERT_TRUE(hidePanel());
    released = 2;
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !notified().isEmpty(); }, 60s));
    ASSERT_EQ(notified().size(), 1);
    EXPECT_EQ(notified().first().value(QStringLiteral("summary")).toString(), u"已保存到桌面");
    const QString body = notified().first().value(QStringLiteral("body")).toString();
    EXPECT_TRUE(body.startsWith(u"two")) << body.toStdString();
}

}  // namespace
