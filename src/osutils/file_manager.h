#pragma once

#include <QString>

namespace OsUtils {

// The desktop's file manager, as the user knows it by name.
class FileManager {
public:
    virtual ~FileManager() = default;
    // The label of the button that shows a saved file in the file manager.
    virtual QString revealLabel() const = 0;
};

}  // namespace OsUtils
