#include "platform/ListViews.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

namespace smsc {

QString GridRowsStyleRules() {
    return QStringLiteral(
        "QTreeView[gridRows=\"true\"]::item { border: 1px solid #d0d0d0; }\n"
        "QTreeView[gridRows=\"true\"]::item:selected { background: palette(highlight); "
        "color: palette(highlighted-text); }\n");
}

void ShowGridRows(QTreeWidget* list) {
    list->setProperty("gridRows", true);
    // Under a skin the application's sheet holds the rules already; a sheet of the list's own
    // would only restyle it and each of its parts once more.
    const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || !app->styleSheet().contains(GridRowsStyleRules()))
        list->setStyleSheet(GridRowsStyleRules());
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
