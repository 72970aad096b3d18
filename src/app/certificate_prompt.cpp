#include "app/certificate_prompt.h"

#include "gui/logo.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace CertificatePrompt {

Answer ask(bool fromMenu, const QString& explanation) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Quorvin"));
    box.setIconPixmap(Logo::appIcon().pixmap(64, 64));
    box.setText(QStringLiteral("移除旧版留下的证书"));
    box.setInformativeText(
        QStringLiteral("新版改用「粘贴链接下载」，不再需要修改网络设置，也不再需要证书。\n\n") +
        explanation);
    QPushButton* remove = box.addButton(QStringLiteral("移除"), QMessageBox::AcceptRole);
    QPushButton* later = box.addButton(
        fromMenu ? QStringLiteral("取消") : QStringLiteral("以后再说"), QMessageBox::RejectRole);
    box.setDefaultButton(remove);
    box.setEscapeButton(later);
    if (!fromMenu) {
        box.setCheckBox(new QCheckBox(QStringLiteral("不再提醒（之后可在右键菜单里移除）")));
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    return {box.clickedButton() == remove, box.checkBox() && box.checkBox()->isChecked()};
}

}  // namespace CertificatePrompt
