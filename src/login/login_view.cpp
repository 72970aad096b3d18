#include "login/login_view.h"

#include "channels/yuanbao.h"
#include "login/cookie_mirror.h"
#include "login/login_page.h"
#include "login/login_trace.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

const QSize kContentSize(1000, 720);
// A page that has not loaded by then is stopped and left as it is; the user can still close
// the window.
constexpr int kLoadTimeoutMs = 60'000;
// Sizes in device-independent pixels, the unit of the rest of the interface.
constexpr int kHelpPixelSize = 12;
constexpr double kSecondaryOpacity = 0.55;
// Readable on a light and on a dark window.
const QColor kProblemColour(0xd9, 0x30, 0x25);

// Marks the window's first paint for the start-up trace.
class FirstPaintMark : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            LoginTrace::mark("window-painted");
            watched->removeEventFilter(this);
        }
        return false;
    }
};

QLabel* makeHelpLabel(QWidget* parent) {
    auto* label = new QLabel(
        QStringLiteral("点击页面上的「登录」，用手机微信扫码登录腾讯元宝。登录成功后这个窗口会"
                       "自动关闭。\n登录状态只保存在本 App 里，仅用于解析视频号链接。"),
        parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(kHelpPixelSize);
    label->setFont(font);
    // The secondary text colour: the window's text at reduced opacity, so a dark palette works.
    QPalette palette = label->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(secondary.alphaF() * kSecondaryOpacity);
    palette.setColor(QPalette::WindowText, secondary);
    label->setPalette(palette);
    return label;
}

}  // namespace

LoginView::LoginView(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("登录腾讯元宝"));
    resize(kContentSize);

    // No storage name: an off-the-record profile. Our cookie jar is the only place a login is
    // kept, so the app (which never loads WebEngine) can read it.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpUserAgent(Yuanbao::userAgent());
    m_mirror = new CookieMirror(m_profile->cookieStore(), this);
    m_page = new LoginPage(m_profile, this);

    auto* help = new QWidget(this);
    auto* helpLayout = new QVBoxLayout(help);
    helpLayout->setContentsMargins(16, 10, 16, 10);
    m_help = makeHelpLabel(help);
    helpLayout->addWidget(m_help);
    if (LoginTrace::enabled()) m_help->installEventFilter(new FirstPaintMark(this));
    connect(m_mirror, &CookieMirror::saveFailed, this, [this](const QString& message) {
        showProblem(message);
        Q_EMIT saveFailed(message);
    });

    m_view = new QWebEngineView(this);
    m_view->setPage(m_page);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(help);
    layout->addWidget(m_view, 1);

    m_loadTimeout.setSingleShot(true);
    m_loadTimeout.setInterval(kLoadTimeoutMs);
    connect(&m_loadTimeout, &QTimer::timeout, m_page,
            [this] { m_page->triggerAction(QWebEnginePage::Stop); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        m_loadTimeout.stop();
        if (!LoginTrace::enabled()) return;
        LoginTrace::mark(ok ? "page-loaded" : "page-failed");
        // Two animation frames later the first frame of the page has been drawn.
        m_page->runJavaScript(
            QStringLiteral("requestAnimationFrame(() => requestAnimationFrame(() => "
                           "console.log('%1')))")
                .arg(QLatin1String(LoginPage::kPaintedMarker)));
    });
    connect(m_page, &LoginPage::firstFramePainted, this, [] { LoginTrace::mark("page-painted"); });
}

LoginView::~LoginView() {
    m_loadTimeout.stop();
    // The page must go before its profile, and the mirror writes what is still pending.
    delete m_view;
    delete m_page;
    m_mirror->disconnect(this);
    delete m_mirror;
    delete m_profile;
}

void LoginView::present() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    bringForward();
    load();
}

void LoginView::bringForward() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void LoginView::showProblem(const QString& message) {
    m_help->setText(message);
    QPalette palette = m_help->palette();
    palette.setColor(QPalette::WindowText, kProblemColour);
    m_help->setPalette(palette);
}

void LoginView::load() {
    m_loadTimeout.start();
    m_page->load(Yuanbao::home());
}
