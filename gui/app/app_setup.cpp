#include "gui/app/app_setup.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>

#include "gui/controls/look.h"
#include "gui/controls/num_field.h"

namespace {

constexpr int kStylePixmapCacheKib = 4096;

// The numeric field whose text box has the keyboard focus, if any.
CNumField* FocusedField() {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) return nullptr;
    auto* field = qobject_cast<CNumField*>(focus->parentWidget());
    return field != nullptr && static_cast<QWidget*>(field->Edit()) == focus ? field : nullptr;
}

bool IsWheelControl(QWidget* w) {
    return qobject_cast<QAbstractSlider*>(w) != nullptr ||
           qobject_cast<QAbstractSpinBox*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr;
}

class CInputGuards : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) return false;
        auto* w = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::Wheel:
                // A combo's popup list scrolls freely; the closed list and
                // the other controls need the focus.
                if (IsWheelControl(w) && !w->hasFocus() && !w->isWindow()) {
                    event->ignore();
                    return true;
                }
                break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (CNumField* field = FocusedField(); field != nullptr && !field->isAncestorOf(w))
                    field->GetPos();
                break;
            case QEvent::Close:
                if (CNumField* field = FocusedField();
                    field != nullptr && w->isWindow() && w->isAncestorOf(field))
                    field->GetPos();
                break;
            default:
                break;
        }
        return false;
    }
};

}  // namespace

void InstallInputGuards(QApplication& app) {
    static constexpr char kName[] = "tqr.inputGuards";
    if (app.findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly)) return;
    auto* guards = new CInputGuards(&app);
    guards->setObjectName(QLatin1String(kName));
    app.installEventFilter(guards);
}

void SetUpLook(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The style caches a picture of every slider position it paints; with
    // 40 faders dragged for hours that is the cache's whole budget. A
    // smaller budget keeps the resident set down and still holds what one
    // window shows.
    QPixmapCache::setCacheLimit(kStylePixmapCacheKib);
    QPalette pal = app.style()->standardPalette();
    pal.setColor(QPalette::Window, kBackgroundColour);
    app.setPalette(pal);
    // Latin text in a sans font, Chinese in the CJK font; 9 pt at the fixed 96 dpi.
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(9);
    app.setFont(font);
    app.setEffectEnabled(Qt::UI_AnimateCombo, false);
    app.setEffectEnabled(Qt::UI_AnimateMenu, false);
    app.setEffectEnabled(Qt::UI_FadeMenu, false);
    app.setEffectEnabled(Qt::UI_AnimateTooltip, false);
    InstallInputGuards(app);
}
