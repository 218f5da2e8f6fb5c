#include "recipients/RecipientListModel.h"

#include <algorithm>

#include "platform/QtText.h"

namespace smsc {

RecipientListModel::RecipientListModel(QObject* parent) : QAbstractListModel(parent) {}

int RecipientListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant RecipientListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return QStringFromGbk(m_entries[static_cast<size_t>(index.row())]);
}

void RecipientListModel::append(std::string entry) {
    beginInsertRows(QModelIndex(), count(), count());
    m_entries.push_back(std::move(entry));
    endInsertRows();
}

void RecipientListModel::append(std::vector<std::string> entries) {
    if (entries.empty())
        return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
    if (m_entries.empty()) {
        m_entries = std::move(entries);
    } else {
        m_entries.insert(m_entries.end(), std::make_move_iterator(entries.begin()),
                         std::make_move_iterator(entries.end()));
    }
    endInsertRows();
}

void RecipientListModel::clear() {
    beginResetModel();
    m_entries.clear();
    m_entries.shrink_to_fit();
    endResetModel();
}

int RecipientListModel::removeFlagged(const std::vector<bool>& flags) {
    const size_t limit = std::min(flags.size(), m_entries.size());
    const int removed = static_cast<int>(std::count(flags.begin(), flags.begin() + limit, true));
    if (removed == 0)
        return 0;
    beginResetModel();
    std::vector<std::string> kept;
    kept.reserve(m_entries.size() - static_cast<size_t>(removed));
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (i >= limit || !flags[i])
            kept.push_back(std::move(m_entries[i]));
    }
    m_entries = std::move(kept);
    endResetModel();
    return removed;
}

}  // namespace smsc
