#pragma once
// The "常用短语" page: the category list (TreeView2) with "++" (new category, TForm11) and
// "--", and the phrase list (ListView5) with "增加短语", "修改短语" and "删除短语" (the phrase
// dialog TForm12). Nothing is cached: the folder is enumerated whenever the page is shown
// and a category's file is read whenever it is shown; every change is written to disk at
// once and the list refilled from the file.

#include <QWidget>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace smsc {

class PhraseListView;
class TForm11;
class TForm12;
enum class PhraseFailure;

class PhrasesPage final : public QWidget {
    Q_OBJECT
public:
    explicit PhrasesPage(QWidget* parent = nullptr);
    ~PhrasesPage() override;

    QTreeWidget* TreeView2;          // category names, a flat list
    QPushButton* AddCategoryButton;  // "++"
    QPushButton* DelCategoryButton;  // "--"
    PhraseListView* ListView5;       // the phrases of the shown category
    QPushButton* AddPhraseButton;    // "增加短语"
    QPushButton* EditPhraseButton;   // "修改短语"
    QPushButton* DelPhraseButton;    // "删除短语"

    // The dialogs, created and owned by the main window.
    void setDialogs(TForm11* newCategory, TForm12* phrase);

    // ---- actions -------------------------------------------------------------------------
    // The page is shown: rebuild the category list, list the first category's phrases (none
    // selected) and focus the category list.
    void TabSheetShow();
    // A category is picked: list its phrases.
    void TreeView2Click();
    void AddCategoryClick();   // "++"
    void DelCategoryClick();   // "--"
    void AddPhraseClick();     // "增加短语"
    void EditPhraseClick();    // "修改短语"
    void ListView5DblClick();  // same as "修改短语", with its own message
    void DelPhraseClick();     // "删除短语"

    // TForm11's "确定": true when the category exists and the dialog may close.
    bool createCategory(const QString& name);
    // TForm12's "确定": true when the dialog may close.
    bool writePhrase(bool changeMode, const QString& text);

    // The selected category's name, empty when none is selected.
    QString selectedCategory() const;
    QStringList categoryNames() const;

private:
    void listPhrases(const QString& category);
    void refillPhrases();
    void openChangeDialog();
    std::string categoryPath(const QString& category) const;
    QString changeFailureText(PhraseFailure why) const;

    TForm11* m_newCategory = nullptr;
    TForm12* m_phraseDialog = nullptr;
    // The phrase being changed: its row and text when the dialog was opened.
    int m_editRow = -1;
    QString m_editPhrase;
    std::string m_editBytes;  // the row's phrase as the file holds it
};

}  // namespace smsc
