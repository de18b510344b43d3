#include "gui/presets/group_name_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include "base/texts.h"
#include "gui/presets/dialog_look.h"
#include "model/text_field.h"
#include "workspace/preset_presenter.h"

namespace {

QString TextOf(TextId id) {
    return QString::fromUtf8(Text(id));
}

// Refuses typing beyond what a group name holds; a Chinese character counts
// two bytes, as the device stores it.
class GroupNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        bool ok = true;
        const std::string gbk = Utf8ToGbk(input.toStdString(), &ok);
        if (!ok || gbk.size() > static_cast<std::size_t>(kGroupNameLimit)) return Invalid;
        return Acceptable;
    }
};

}  // namespace

CGroupNameDialog::CGroupNameDialog(const QString& name, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("groupNameDialog"));
    ApplyDialogLook(this);
    setWindowTitle(TextOf(TextId::SourceSaveTitle));
    auto* label = new QLabel(TextOf(TextId::GroupNameLabel), this);
    m_pField = new QLineEdit(name, this);
    m_pField->setObjectName(QStringLiteral("groupName.field"));
    m_pField->setValidator(new GroupNameValidator(m_pField));
    m_pField->setMinimumWidth(180);
    m_pField->selectAll();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(TextOf(TextId::DialogOk), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(TextOf(TextId::DialogCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("groupName.ok"));
    cancel->setObjectName(QStringLiteral("groupName.cancel"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_pField);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_pField->setFocus();
}

QString CGroupNameDialog::Name() const {
    return m_pField->text();
}
