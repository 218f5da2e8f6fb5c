#pragma once
// The phrase lists of the phrase page and the insertion dialog: a report view without
// headers, read-only, whole-row selection, grid lines, two columns (an empty caption and
// the phrase). A plain model keeps long categories quick to show.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

#include <string>
#include <vector>

namespace smsc {

class PhraseListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void setPhrases(QStringList phrases);
    void clear() { setPhrases({}); }
    const QStringList& phrases() const { return m_phrases; }

private:
    QStringList m_phrases;
};

class PhraseListView final : public QTableView {
    Q_OBJECT
public:
    explicit PhraseListView(QWidget* parent = nullptr);

    PhraseListModel* phraseModel() const { return m_model; }
    // Rows of GBK phrases, shown as window text.
    void showPhrases(const std::vector<std::string>& gbkPhrases);
    void clearPhrases();
    int count() const { return m_model->rowCount(); }
    // The first selected row (the list allows several), -1 when none is selected.
    int firstSelectedRow() const;
    QString phraseAt(int row) const;
    // The row's phrase as it stands in the file (GBK bytes, valid or not): what a change
    // or a deletion looks for, since the window text need not convert back to it.
    std::string gbkPhraseAt(int row) const;
    // Selects only that row.
    void selectOnly(int row);

signals:
    // Any double click in the list, on a row or not.
    void listDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    PhraseListModel* m_model;
    std::vector<std::string> m_gbkPhrases;
};

}  // namespace smsc
