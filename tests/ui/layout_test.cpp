#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QtTest>

#include "canvas.h"
#include "frm_principal.h"
#include "ui_test_support.h"

using dla::FRMPrincipal;
using dla::test::control;

class LayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        window_ = std::make_unique<FRMPrincipal>(dla::FastGenerator::seeded(1));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void window() {
        QCOMPARE(window_->windowTitle(), QStringLiteral("DLA (Quirandel)  28 de abril de 2003"));
        QCOMPARE(window_->size(), QSize(542, 424));
        QCOMPARE(window_->objectName(), QStringLiteral("FRMPrincipal"));
    }

    // Twips at 15 a pixel; CMDLxM is placed inside Frame1.
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("TXTPercentual") << "TXTPercentual"
                                       << "QLineEdit"
                                       << "FRMPrincipal" << QRect(16, 371, 106, 19);
        QTest::newRow("TXTInforme") << "TXTInforme"
                                    << "QPlainTextEdit"
                                    << "FRMPrincipal" << QRect(14, 215, 108, 129);
        QTest::newRow("Frame1") << "Frame1"
                                << "QGroupBox"
                                << "FRMPrincipal" << QRect(16, 136, 98, 54);
        QTest::newRow("CMDLxM") << "CMDLxM"
                                << "QPushButton"
                                << "Frame1" << QRect(6, 14, 85, 34);
        QTest::newRow("TXTN") << "TXTN"
                              << "QLineEdit"
                              << "FRMPrincipal" << QRect(26, 44, 68, 19);
        QTest::newRow("Tela") << "Tela"
                              << "dla::Canvas"
                              << "FRMPrincipal" << QRect(133, 16, 402, 402);
        QTest::newRow("CMDExecutar") << "CMDExecutar"
                                     << "QPushButton"
                                     << "FRMPrincipal" << QRect(26, 108, 71, 22);
        QTest::newRow("LBLN") << "LBLN"
                              << "QLabel"
                              << "FRMPrincipal" << QRect(26, 30, 19, 11);
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        auto* widget = window_->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY(widget->isVisible());
        QVERIFY(widget->isEnabled());
    }

    void texts() {
        QCOMPARE(control<QLineEdit>(*window_, "TXTN")->text(), QStringLiteral("200"));
        QCOMPARE(control<QLineEdit>(*window_, "TXTPercentual")->text(), QString());
        QCOMPARE(control<QLabel>(*window_, "LBLN")->text(), QStringLiteral("N:"));
        QCOMPARE(control<QPushButton>(*window_, "CMDExecutar")->text(), QStringLiteral("Executar"));
        QCOMPARE(control<QPushButton>(*window_, "CMDLxM")->text(),
                 QStringLiteral("Dimensão Fractal"));
        QCOMPARE(control<QGroupBox>(*window_, "Frame1")->title(), QString());
        QCOMPARE(
            control<QPlainTextEdit>(*window_, "TXTInforme")->toPlainText(),
            QStringLiteral("Norvessa\n28/Abr/03\nSimulação \nNumérica em \nFísica \nda Matéria \n"
                           "Condensada.\nProf. Ormesto.\n"));
    }

    void informationFont() {
        const QFont font = control<QPlainTextEdit>(*window_, "TXTInforme")->font();
        QCOMPARE(font.family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(font.pointSizeF(), 8.25);
        QCOMPARE(font.weight(), QFont::Bold);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
        QVERIFY(QFontInfo(font).bold());
    }

    // Every caption fits its control whole in the font the control actually uses.
    void captionsAreNotClipped() {
        for (const char* name : {"CMDExecutar", "CMDLxM"}) {
            auto* button = control<QPushButton>(*window_, name);
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect room =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QFontMetrics metrics(button->font());
            QVERIFY2(metrics.horizontalAdvance(button->text()) <= room.width(), name);
            QVERIFY2(metrics.height() <= room.height(), name);
        }
        auto* label = control<QLabel>(*window_, "LBLN");
        QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width());
        QVERIFY(QFontMetrics(label->font()).height() <= label->height());

        auto* entry = control<QLineEdit>(*window_, "TXTN");
        QVERIFY(QFontMetrics(entry->font()).horizontalAdvance(QStringLiteral("1000")) <
                entry->width() - 8);

        // The information text needs no wrapping and no scrolling.
        auto* information = control<QPlainTextEdit>(*window_, "TXTInforme");
        const QFontMetrics metrics(information->font());
        const int margin = static_cast<int>(information->document()->documentMargin());
        const int room = information->viewport()->width() - 2 * margin;
        const QStringList lines = information->toPlainText().split(u'\n');
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= room, qPrintable(line));
        QVERIFY(metrics.lineSpacing() * 8 <= information->viewport()->height() - 2 * margin);
    }

    void focusStartsOnExecutar() {
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(*window_, "CMDExecutar"));
    }

    void tabOrder() {
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        control<QLineEdit>(*window_, "TXTN")->setFocus();
        const QStringList expected{"CMDLxM", "TXTInforme", "TXTPercentual", "CMDExecutar", "TXTN"};
        for (const QString& next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("CMDExecutar"));
    }

    void noDefaultButton() {
        for (const char* name : {"CMDExecutar", "CMDLxM"}) {
            auto* button = control<QPushButton>(*window_, name);
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
    }

    void displayBoxesAreReadOnly() {
        QVERIFY(control<QLineEdit>(*window_, "TXTPercentual")->isReadOnly());
        QVERIFY(control<QPlainTextEdit>(*window_, "TXTInforme")->isReadOnly());
        QVERIFY(!control<QLineEdit>(*window_, "TXTN")->isReadOnly());
    }

  private:
    std::unique_ptr<FRMPrincipal> window_;
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
