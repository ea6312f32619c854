// The product's title: the caption of the main window and of the start-up
// message box (two spaces before the version).
#pragma once

inline constexpr char16_t kProductTitle[] = u"Kestrune Orvane  1.0.3.0";
