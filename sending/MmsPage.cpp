#include "sending/MmsPage.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "recipients/RecipientPanel.h"

namespace smsc {

MmsPage::MmsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MmsPage"));
    m_panel = new RecipientPanel(PanelKind::Mms, this);
    BackButton = new QPushButton(QStringLiteral("返回首页"), this);
    BackButton->setObjectName(QStringLiteral("BackButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_panel->createListLayout(), 3);
    m_composition = new QVBoxLayout;
    layout->addLayout(m_composition, 2);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_panel->SendButton);
    buttonRow->addWidget(BackButton);
    layout->addLayout(buttonRow);

    connect(BackButton, &QPushButton::clicked, this, [this] {
        if (m_backHome)
            m_backHome();
    });
}

MmsPage::~MmsPage() = default;

}  // namespace smsc
