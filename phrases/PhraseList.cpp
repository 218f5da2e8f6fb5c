#include "phrases/PhraseList.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

#include "platform/QtText.h"

namespace smsc {

int PhraseListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_phrases.size());
}

int PhraseListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PhraseListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.column() != 1 ||
        index.row() >= m_phrases.size())
        return {};
    return m_phrases.at(index.row());
}

void PhraseListModel::setPhrases(QStringList phrases) {
    beginResetModel();
    m_phrases = std::move(phrases);
    endResetModel();
}

PhraseListView::PhraseListView(QWidget* parent)
    : QTableView(parent), m_model(new PhraseListModel(this)) {
    setModel(m_model);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setMinimumSectionSize(4);
    setColumnWidth(0, 8);
    // Fixed row heights: no measuring of every row of a long category.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void PhraseListView::showPhrases(const std::vector<std::string>& gbkPhrases) {
    // One conversion for the whole list; a phrase never holds a line break.
    std::string joined;
    size_t total = 0;
    for (const std::string& phrase : gbkPhrases)
        total += phrase.size() + 1;
    joined.reserve(total);
    for (const std::string& phrase : gbkPhrases) {
        joined += phrase;
        joined += '\n';
    }
    QStringList rows;
    if (!gbkPhrases.empty()) {
        joined.pop_back();
        rows = QStringFromGbk(joined).split(QLatin1Char('\n'));
    }
    // A line feed always converts on its own; should a row still be lost, convert singly.
    if (static_cast<size_t>(rows.size()) != gbkPhrases.size()) {
        rows.clear();
        for (const std::string& phrase : gbkPhrases)
            rows << QStringFromGbk(phrase);
    }
    m_gbkPhrases = gbkPhrases;
    m_model->setPhrases(std::move(rows));
}

void PhraseListView::clearPhrases() {
    m_gbkPhrases.clear();
    m_model->clear();
}

std::string PhraseListView::gbkPhraseAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_gbkPhrases.size()
               ? m_gbkPhrases[static_cast<size_t>(row)]
               : std::string();
}

int PhraseListView::firstSelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

QString PhraseListView::phraseAt(int row) const {
    return row >= 0 && row < m_model->phrases().size() ? m_model->phrases().at(row) : QString();
}

void PhraseListView::selectOnly(int row) {
    selectionModel()->select(m_model->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PhraseListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit listDoubleClicked();
}

}  // namespace smsc
