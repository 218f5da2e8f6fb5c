#pragma once
// The look of the record and contact lists: grid lines around every cell with the selected
// rows in the skin's selection colours, and columns wide enough for what they hold.

#include <QString>
#include <QStringList>

class QTreeWidget;

namespace smsc {

// Grid lines around the cells; selected rows keep the palette's selection colours (a style
// sheet for the items alone would draw them as unselected ones).
void ShowGridRows(QTreeWidget* list);

// The style rules of those lists (for the lists ShowGridRows marks). Every skin's sheet
// carries them, so that under a skin the lists need no sheet of their own.
QString GridRowsStyleRules();

// Widens each column to fit its sample text (an 11-digit number, a full date and time) and
// its caption; an empty sample leaves that column as it is. The user can still widen them.
void FitColumns(QTreeWidget* list, const QStringList& samples);

}  // namespace smsc
