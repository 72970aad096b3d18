#pragma once

#include "osutils/file_manager.h"

namespace OsUtils {

class MacFileManager final : public FileManager {
public:
    QString revealLabel() const override { return QStringLiteral("在访达中显示"); }
};

}  // namespace OsUtils
