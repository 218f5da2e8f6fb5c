#pragma once
// The "号码搜索" page. Upper group "手机号码或长途区号归属地查询": where a mobile number
// belongs, or which place an area code belongs to. Lower group "搜索同城号码": the
// province/city tree TreeView3 (built by Treev3_Initialization after the first login) and
// the segments of the selected city, optionally of one carrier, in ListView6 with a count.

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace smsc {

class SegmentDatabase;
struct LookupAnswer;

class SearchPage final : public QWidget {
    Q_OBJECT
public:
    explicit SearchPage(SegmentDatabase& db, QWidget* parent = nullptr);

    // ---- 手机号码或长途区号归属地查询 ----
    QGroupBox* GroupBox1;
    QLineEdit* Edit1;      // mobile number, 11 characters
    QPushButton* Button1;  // "查询" beside it
    QLineEdit* Edit2;      // area code, 4 characters
    QPushButton* Button2;  // "查询" beside it
    QLineEdit* Edit3;      // "省份："
    QLineEdit* Edit4;      // "城市："
    QLineEdit* Edit5;      // "卡型："
    QLineEdit* Edit6;      // "长途区号："

    // ---- 搜索同城号码 ----
    QGroupBox* GroupBox2;
    QTreeWidget* TreeView3;
    QRadioButton* RadioButton1;  // 所有号码
    QRadioButton* RadioButton2;  // 移动号码
    QRadioButton* RadioButton3;  // 联通号码
    QRadioButton* RadioButton4;  // 电信号码
    QListWidget* ListView6;
    QLabel* CountLabel;  // "0个号码段    0个号码" until the first listing

    // Number lookup ("查询" beside the number, or Enter in it).
    void Button1Click();
    // Area-code lookup ("查询" beside the area code, or Enter in it).
    void Button2Click();
    // Tree selection changed, or a carrier option clicked: the selected city's segments; a
    // province empties the list and keeps the count. A click reports no failure.
    void listSelectedCity(bool reportFailure = true);

    // Builds the tree from CityInfo.dat in the data folder; false when the file is missing
    // or unreadable (the nodes already added stay).
    static bool Treev3_Initialization(QTreeWidget* tree);

private:
    void clearResults();
    void showResult(const LookupAnswer& answer);

    SegmentDatabase& m_db;
};

}  // namespace smsc
