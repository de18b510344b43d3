#include "gui/app/app_setup.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "gui/controls/look.h"

void SetUpLook(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
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
}
