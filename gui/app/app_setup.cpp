#include "gui/app/app_setup.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>

#include "gui/controls/look.h"

namespace {
constexpr int kStylePixmapCacheKib = 4096;
}  // namespace

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
}
