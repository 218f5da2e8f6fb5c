#pragma once
// Dialogs are centred on the primary screen when they are created.

class QWidget;

namespace smsc {

void CentreOnScreen(QWidget* window);

}  // namespace smsc
