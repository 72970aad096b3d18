#include "osutils/linux/linux_trust_store.h"

namespace OsUtils {

QString LinuxTrustStore::removalExplanation() const {
    return QStringLiteral("旧版留下了一张本机证书和它的私钥，建议移除。");
}

}  // namespace OsUtils
