#pragma once
// The record pages inside a started, logged-in main window against a recording loopback
// server, with the short date pinned to the C locale ("%m/%d/%y").

#include <QTreeWidget>

#include <cstdlib>
#include <initializer_list>

#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "tests/app/AppFixture.h"

namespace smsc::test {

class RecordFixture : public AppFixture {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        setCompany("Service_Url", "Download_Url", server.baseUrl() + "mms/");
        start();
        logIn(QStringLiteral("u1"), QStringLiteral("p1"), "3|500");
        ASSERT_TRUE(main->isConnected());
        server.clearRequests();
        ui.clear();
    }

    static CannedResponse Answer(int status, std::string body) {
        CannedResponse r;
        r.status = status;
        r.body = std::move(body);
        return r;
    }
    // UTF-8 cells as a QStringList.
    static QStringList Cells(std::initializer_list<const char*> utf8) {
        QStringList cells;
        for (const char* text : utf8)
            cells << QString::fromUtf8(text);
        return cells;
    }
    static QStringList rowTexts(const QTreeWidget* list, int row, int firstColumn = 0) {
        QStringList cells;
        const QTreeWidgetItem* item = list->topLevelItem(row);
        for (int c = firstColumn; item && c < list->columnCount(); ++c)
            cells << item->text(c);
        return cells;
    }
    static void selectRow(QTreeWidget* list, int row) {
        list->clearSelection();
        list->topLevelItem(row)->setSelected(true);
    }
    // The whole file, or "<missing>".
    static std::string fileBytes(const std::string& path) {
        return ReadWholeFile(path).value_or("<missing>");
    }

    TempFolder files;
};

}  // namespace smsc::test
