#pragma once
// Labels that act on a click: the login window's link (navy, red under the pointer, blue
// after the pointer leaves) and the main window's connection picture.

#include <QLabel>

namespace smsc {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class LinkLabel final : public ClickLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

    enum class Look { Normal, Hover, Visited };
    Look look() const { return m_look; }
    void setLook(Look look);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Look m_look = Look::Normal;
};

}  // namespace smsc
