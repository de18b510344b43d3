#include "gui/workspace/link_dialog.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/texts.h"
#include "workspace/link_presenter.h"

LinkDialog::LinkDialog(QWidget* parent)
    : QDialog(parent),
      m_left(new QPushButton(this)),
      m_right(new QPushButton(this)),
      m_ok(new QPushButton(this)),
      m_cancel(new QPushButton(this)) {
    m_left->setObjectName("link.left");
    m_right->setObjectName("link.right");
    m_ok->setObjectName("link.ok");
    m_cancel->setObjectName("link.cancel");
    auto* sides = new QButtonGroup(this);
    for (QPushButton* b : {m_left, m_right}) {
        b->setCheckable(true);
        b->setMinimumSize(120, 48);
        sides->addButton(b);
    }
    m_left->setChecked(true);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* sideRow = new QHBoxLayout;
    sideRow->addWidget(m_left);
    sideRow->addWidget(m_right);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_ok);
    buttonRow->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sideRow);
    layout->addLayout(buttonRow);
    Retranslate();
}

int LinkDialog::Side() const {
    return m_right->isChecked() ? kLinkSideRight : kLinkSideLeft;
}

void LinkDialog::Retranslate() {
    setWindowTitle(QString::fromUtf8(Text(TextId::LinkDialogTitle)));
    m_left->setText(QString::fromUtf8(Text(TextId::LinkSideLeft)));
    m_right->setText(QString::fromUtf8(Text(TextId::LinkSideRight)));
    m_ok->setText(QString::fromUtf8(Text(TextId::ButtonOk)));
    m_cancel->setText(QString::fromUtf8(Text(TextId::ButtonCancel)));
}

std::optional<int> LinkDialog::Ask(QWidget* parent) {
    LinkDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Side();
}
