#pragma once

#include <functional>

// What the panel asks of the program around it. Any member may be left empty.
struct PanelCallbacks {
    std::function<void()> onQuit;
    // Empty: the menu never offers to remove the previous edition's certificate.
    std::function<void()> onRemoveOldCert;
    // The panel's measured height in logical pixels, on every change.
    std::function<void(double)> onHeightChange;
    // Whether the previous edition's certificate is still there, asked when the menu opens.
    // loadPanel() fills in the legacy check when this is left empty.
    std::function<bool()> hasOldCertificate;
    // The window shows through where the panel draws nothing (a compositor runs): the panel
    // draws round corners and a shadow around itself.
    bool translucent = false;
};
