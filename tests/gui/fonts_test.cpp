// The Chinese texts need a CJK font: without one every label in Chinese
// renders as boxes, which the offscreen tests would not notice otherwise.
#include <QApplication>
#include <QFontDatabase>
#include <QtTest>

class FontsTest : public QObject {
    Q_OBJECT
private slots:
    void chineseGlyphsAreAvailable() {
        const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        QVERIFY2(!families.isEmpty(), "no font with Simplified Chinese glyphs is installed");
    }
};

QTEST_MAIN(FontsTest)
#include "fonts_test.moc"
