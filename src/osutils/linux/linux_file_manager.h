#pragma once

#include "osutils/file_manager.h"

namespace OsUtils {

// Linux desktops each have their own file manager (Files, Dolphin, Thunar...): say what it is,
// not what it is called.
class LinuxFileManager final : public FileManager {
public:
    QString revealLabel() const override { return QStringLiteral("在文件管理器中显示"); }
};

}  // namespace OsUtils
