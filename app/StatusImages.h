#pragma once
// The status image list of the main window: image 0 connected, image 1 disconnected.

#include <QPixmap>

namespace smsc {

inline constexpr int kImageConnected = 0;
inline constexpr int kImageDisconnected = 1;

// A 32 x 32 picture; an empty pixmap for any other index.
QPixmap StatusImage(int index);

}  // namespace smsc
