#pragma once
// The look of the record and contact lists: grid lines around every cell with the selected
// rows in the skin's selection colours, and columns wide enough for what they hold.

#include <QStringList>

class QTreeWidget;

namespace smsc {

// Grid lines around the cells; selected rows keep the palette's selection colours (a style
// sheet for the items alone would draw them as unselected ones).
void ShowGridRows(QTreeWidget* list);

// Widens each column to fit its sample text (an 11-digit number, a full date and time) and
// its caption; an empty sample leaves that column as it is. The user can still widen them.
void FitColumns(QTreeWidget* list, const QStringList& samples);

}  // namespace smsc
