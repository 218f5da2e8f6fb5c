#pragma once
// The list window "退订名单": the numbers of OptOut.txt with the date each was added and its
// source, their count, a search by number, and adding (a typed number), deleting (after a
// question), importing (the mobile numbers of a text file) and exporting (a GBK text file,
// ".txt" appended as the record exports do). Opened from the 收到短信 and 通讯录 pages; every
// change is read from and written to the file at once, so the window never holds anything the
// file does not.

#include <QDialog>

#include <memory>
#include <string>

#include "optout/OptOutList.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace smsc {

class OptOutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OptOutDialog(QWidget* parent = nullptr);
    ~OptOutDialog() override;

    QLineEdit* SearchEdit;      // "查找号码："
    QLabel* CountLabel;         // "共有N个退订号码"
    QTreeView* ListView;        // 号码, 加入日期, 来源
    QLabel* ErrorLabel;         // why the list cannot be read
    QLineEdit* NumberEdit;      // "号码："
    QPushButton* AddButton;     // 添加
    QPushButton* DeleteButton;  // 删除
    QPushButton* ImportButton;  // 导入
    QPushButton* ExportButton;  // 导出
    QPushButton* CloseButton;   // 关闭

    // Reads the list afresh and shows the window modally.
    void openDialog();
    // Reads the list afresh from OptOutPath().
    void reload();
    const OptOutList& list() const { return m_list; }
    // Rows shown (after the search) and the number of one of them.
    int rowCount() const;
    QString rowNumber(int row) const;

    void AddClick();
    void DeleteClick();
    void ImportClick();
    void ExportClick();

private:
    class Model;
    void applySearch();
    void showState();

    OptOutList m_list;
    Model* m_model;
};

}  // namespace smsc
