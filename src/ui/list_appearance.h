#pragma once
// How the file list draws its rows, from the four list settings.
#include <QColor>
#include <QRgb>

namespace quorvane::ui {

struct ListAppearance {
    bool redText = true;       // "ShowRedText"
    bool icons = false;        // "ShowIcons"
    bool alternateBg = true;   // "AlternateBg"
    bool gridlines = false;    // "ShowGridlines"

    // The four settings as stored now, with their defaults.
    static ListAppearance FromSettings();
};

// The background of the even rows: each channel of the window colour moved by 8, down
// for a light colour (any channel at 0xF7 or above, white included) and up otherwise,
// each kept within 0..255 so nothing carries into the next channel.
QRgb AlternateRowColor(QRgb window);

}  // namespace quorvane::ui
