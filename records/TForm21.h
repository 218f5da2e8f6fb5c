#pragma once
// The query wait window "查询中，请稍候......" of the record pages: plays the looping clip
// picture\cxz.avi (a missing clip only means no animation) while a record query waits for
// its timer. Not modal.

#include <QWidget>

namespace smsc {

class ClipPlayer;

class TForm21 final : public QWidget {
    Q_OBJECT
public:
    explicit TForm21(QWidget* parent = nullptr);
    ~TForm21() override;

    ClipPlayer* Animate1;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

}  // namespace smsc
