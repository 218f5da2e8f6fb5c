#pragma once
// The entries of one recipient list, in order, as GBK text. The view asks only for the rows
// it shows, so a list of tens of thousands converts a screenful at a time, and every batch
// change (an import, a clear, a deletion) is one model notification.

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace smsc {

class RecipientListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit RecipientListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const std::vector<std::string>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }

    void append(std::string entry);
    void append(std::vector<std::string> entries);
    void clear();
    // Removes the rows whose flag is set (flags shorter than the list keep the rest), keeping
    // the order of the others. Returns how many went.
    int removeFlagged(const std::vector<bool>& flags);

private:
    std::vector<std::string> m_entries;
};

}  // namespace smsc
