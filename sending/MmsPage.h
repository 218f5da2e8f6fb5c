#pragma once
// The "彩信发送" page: for now its recipient panel and "返回首页"; the MMS composition and send
// driver are built on it.

#include <QWidget>

#include <functional>

class QPushButton;
class QVBoxLayout;

namespace smsc {

class RecipientPanel;

class MmsPage final : public QWidget {
    Q_OBJECT
public:
    explicit MmsPage(QWidget* parent = nullptr);
    ~MmsPage() override;

    RecipientPanel* panel() const { return m_panel; }

    QPushButton* BackButton;  // "返回首页"
    // Rows under the recipient area; the composition adds its controls here.
    QVBoxLayout* compositionLayout() const { return m_composition; }

    void setBackHomeHandler(std::function<void()> handler) { m_backHome = std::move(handler); }

private:
    RecipientPanel* m_panel;
    QVBoxLayout* m_composition;
    std::function<void()> m_backHome;
};

}  // namespace smsc
