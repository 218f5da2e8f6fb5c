#pragma once
// The client's start-up, shared by main() and the start-up benchmark: the application's
// names and translations, the skin of the settings, then the main window (whose creation opens the
// login window), shown below the login window, then the other windows, each created once and
// styled when first shown.

#include <memory>

class QApplication;

namespace smsc {

class TForm2;

// Everything main() does between creating the application and running its event loop.
std::unique_ptr<TForm2> StartClient(QApplication& app);

}  // namespace smsc
