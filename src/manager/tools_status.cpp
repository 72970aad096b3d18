#include "manager/tools_status.h"

#include "core/background.h"
#include "support/log.h"

#include <QPointer>

namespace {

// Work that must not block the main thread, its result stored back there if the status still
// exists.
template <typename Work, typename Store>
QCoro::Task<> inBackground(QPointer<ToolsStatus> status, Work work, Store store) {
    const auto result = co_await offMainThread(work);
    if (status) store(status.data(), result);
}

}  // namespace

ToolsStatus::ToolsStatus(Tools::Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {}

void ToolsStatus::refresh() {
    if (m_refreshing) return;
    m_refreshing = true;
    inBackground(
        this, [settings = m_settings] { return Tools::statusText(settings); },
        [](ToolsStatus* status, const QString& text) {
            status->m_refreshing = false;
            status->setText(text);
        });
}

void ToolsStatus::update() {
    if (m_updating) return;
    setUpdating(true);
    setText(QStringLiteral("正在更新 yt-dlp…"));
    inBackground(
        this, [settings = m_settings] { return Tools::updateOutcome(settings); },
        [](ToolsStatus* status, const Tools::UpdateOutcome& outcome) {
            status->setUpdating(false);
            status->setText(outcome.text);
            status->m_lastUpdate = outcome.text;
            status->m_lastUpdateCommand = outcome.command;
            Q_EMIT status->lastUpdateChanged();
            Log::write(QStringLiteral("更新下载组件：") + outcome.text);
        });
}

void ToolsStatus::dismissLastUpdate() {
    if (m_lastUpdate.isEmpty()) return;
    m_lastUpdate.clear();
    m_lastUpdateCommand.clear();
    Q_EMIT lastUpdateChanged();
}

void ToolsStatus::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    Q_EMIT textChanged();
}

void ToolsStatus::setUpdating(bool updating) {
    if (updating == m_updating) return;
    m_updating = updating;
    Q_EMIT updatingChanged();
}
