#pragma once
// Exchanges with the service made on the window thread never stop it. The transfer runs on
// a worker thread while the window thread waits in a local event loop: painting, the wait
// windows' clips, the busy indicator, window moves, timers and queued calls go on. For the
// windows open when the wait began, until the exchange has ended
//  - clicks, keys and the wheel are dropped (not delivered later either);
//  - a window's close box, and the tick of a one-shot timer that starts an exchange, are
//    held and come again once the caller has handled the answer, its boxes included, so
//    that the exit question, or the next exchange, follows the answer of the running one.
// A window opened meanwhile (a box of a timer or of an import's result) is a window like
// any other: it takes its input and closes, and the answer is handled after it has gone.
// Exchanges go out one at a time, in the order they were made. Exchanges made on another
// thread, or before there is an application object, run at once on their own thread.

class QTimer;

namespace smsc {

// Installs the wait for every later exchange (again after SetExchangeRunner(nullptr)).
void InstallExchangeWait();

// Marks a one-shot timer whose tick starts an exchange, and installs the wait.
void HoldWhileExchanging(QTimer* timer);

// Whether the window thread is waiting for an exchange.
bool ExchangeInFlight();

}  // namespace smsc
