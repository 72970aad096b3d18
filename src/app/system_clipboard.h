#pragma once

#include "manager/desktop_services.h"

// The desktop's clipboard (on X11 the CLIPBOARD selection, which Ctrl+C fills).
class SystemClipboard : public Clipboard {
public:
    std::optional<QString> text() const override;
    void setText(const QString& text) override;
};
