#pragma once
// The phrase dialogs are centred on the screen when they are created.

class QWidget;

namespace smsc {

void CentreOnScreen(QWidget* window);

}  // namespace smsc
