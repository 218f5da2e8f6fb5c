#include "platform/ListViews.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

namespace smsc {

void ShowGridRows(QTreeWidget* list) {
    list->setStyleSheet(
        QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }\n"
                       "QTreeView::item:selected { background: palette(highlight); "
                       "color: palette(highlighted-text); }"));
}

void FitColumns(QTreeWidget* list, const QStringList& samples) {
    list->ensurePolished();
    list->header()->setSectionResizeMode(QHeaderView::Interactive);
    // A row of the samples is measured as the list draws it (margins, grid lines), then goes.
    auto sample = std::make_unique<QTreeWidgetItem>(samples);
    list->addTopLevelItem(sample.get());
    for (int column = 0; column < samples.size(); ++column) {
        if (samples[column].isEmpty() || list->isColumnHidden(column))
            continue;
        const int before = list->columnWidth(column);
        list->resizeColumnToContents(column);  // the sample and the caption
        list->setColumnWidth(column, std::max(before, list->columnWidth(column)));
    }
    list->takeTopLevelItem(list->indexOfTopLevelItem(sample.get()));
}

}  // namespace smsc
