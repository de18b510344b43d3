#include "gui/workspace/variant_dialog.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "base/texts.h"

VariantDialog::VariantDialog(int current, QWidget* parent) : QDialog(parent), m_nCurrent(current) {
    auto* layout = new QHBoxLayout(this);
    for (int v = 0; v < 2; ++v) {
        QPushButton* b = new QPushButton(this);
        b->setObjectName(QString("variant.%1").arg(v));
        b->setCheckable(true);
        b->setChecked(v == current);
        b->setMinimumSize(140, 64);
        // The check shows the current variant; a click never changes it here.
        connect(b, &QPushButton::clicked, this, [this, b, v] {
            b->setChecked(v == m_nCurrent);
            Choose(v);
        });
        layout->addWidget(b);
        m_buttons[v] = b;
    }
    Retranslate();
}

void VariantDialog::Choose(int variant) {
    if (variant == m_nCurrent) return;
    m_nChosen = variant;
    accept();
}

void VariantDialog::Retranslate() {
    setWindowTitle(QString::fromUtf8(Text(TextId::VariantDialogTitle)));
    m_buttons[0]->setText(QString::fromUtf8(Text(TextId::VariantName0)));
    m_buttons[1]->setText(QString::fromUtf8(Text(TextId::VariantName1)));
}

std::optional<int> VariantDialog::Ask(int current, QWidget* parent) {
    VariantDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) return std::nullopt;
    return dialog.Chosen();
}
