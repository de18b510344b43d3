#include "gui/app/transfer_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/texts.h"
#include "gui/controls/look.h"

CTransferWindow::CTransferWindow(QWidget* parent, QWidget* blocked)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_pMainBlocked(blocked) {
    setObjectName(QStringLiteral("transfer"));
    setModal(false);
    setFixedSize(320, 90);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackgroundColour);
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    m_pLabel = new QLabel(this);
    m_pLabel->setObjectName(QStringLiteral("transfer.text"));
    m_pLabel->setAlignment(Qt::AlignCenter);
    m_pBar = new QProgressBar(this);
    m_pBar->setObjectName(QStringLiteral("transfer.progress"));
    m_pBar->setRange(0, 100);
    layout->addWidget(m_pLabel);
    layout->addWidget(m_pBar);
    Relabel();
}

void CTransferWindow::Relabel() {
    const QString title = QString::fromUtf8(Text(TextId::TransferTitle));
    setWindowTitle(title);
    m_pLabel->setText(title);
}

void CTransferWindow::Start(int last, QWidget* blocked) {
    Relabel();
    m_pBar->setRange(0, last > 0 ? last : 1);
    m_pBar->setValue(0);
    if (m_pBlocked != nullptr && m_pBlocked != blocked) m_pBlocked->setEnabled(true);
    m_pBlocked = blocked != nullptr ? blocked : m_pMainBlocked;
    if (m_pBlocked != nullptr) {
        m_pBlocked->setEnabled(false);
        const QRect over = m_pBlocked->window()->frameGeometry();
        move(over.center() - rect().center());
    }
    // A child window is disabled with its parent; it must stay enabled to
    // repaint and to be moved.
    setEnabled(true);
    show();
    raise();
}

void CTransferWindow::Progress(int position) {
    m_pBar->setValue(std::min(position, m_pBar->maximum()));
}

void CTransferWindow::Finish() {
    if (m_pBlocked != nullptr) m_pBlocked->setEnabled(true);
    m_pBlocked = nullptr;
    hide();
}
