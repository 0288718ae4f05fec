#include "system_size_text.h"

#include <QtTest>

using dla::SizeReading;
using Verdict = SizeReading::Verdict;
Q_DECLARE_METATYPE(Verdict)

class SystemSizeTextTest : public QObject {
    Q_OBJECT

  private slots:
    void reading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<int>("value");

        // What typing can produce: digits only.
        QTest::newRow("initial text") << "200" << Verdict::Accepted << 200;
        QTest::newRow("one") << "1" << Verdict::Accepted << 1;
        QTest::newRow("largest") << "1000" << Verdict::Accepted << 1000;
        QTest::newRow("leading zeros") << "0050" << Verdict::Accepted << 50;
        QTest::newRow("many leading zeros") << "0000000000000999" << Verdict::Accepted << 999;
        QTest::newRow("just above the limit") << "1001" << Verdict::TooLarge << 0;
        QTest::newRow("five digits") << "10000" << Verdict::TooLarge << 0;
        QTest::newRow("largest 32-bit") << "2147483647" << Verdict::TooLarge << 0;
        QTest::newRow("beyond 32 bits") << "2147483648" << Verdict::TooLarge << 0;
        QTest::newRow("eleven digits") << "99999999999" << Verdict::TooLarge << 0;
        QTest::newRow("beyond 64 bits")
            << "123456789012345678901234567890" << Verdict::TooLarge << 0;
        QTest::newRow("empty") << "" << Verdict::NotANumber << 0;
        QTest::newRow("zero") << "0" << Verdict::NotANumber << 0;
        QTest::newRow("zeros") << "0000" << Verdict::NotANumber << 0;

        // What only pasting can bring.
        QTest::newRow("blanks around") << "  120\t" << Verdict::Accepted << 120;
        QTest::newRow("plus sign") << "+7" << Verdict::Accepted << 7;
        QTest::newRow("plus and blanks") << " +1000 " << Verdict::Accepted << 1000;
        QTest::newRow("plus, too large") << "+1001" << Verdict::TooLarge << 0;
        QTest::newRow("blanks only") << "   " << Verdict::NotANumber << 0;
        QTest::newRow("sign only") << "+" << Verdict::NotANumber << 0;
        QTest::newRow("two signs") << "++5" << Verdict::NotANumber << 0;
        QTest::newRow("negative") << "-5" << Verdict::NotANumber << 0;
        QTest::newRow("negative zero") << "-0" << Verdict::NotANumber << 0;
        QTest::newRow("large negative") << "-70000" << Verdict::NotANumber << 0;
        QTest::newRow("fraction") << "2.5" << Verdict::NotANumber << 0;
        QTest::newRow("whole with point") << "200.0" << Verdict::NotANumber << 0;
        QTest::newRow("decimal comma") << "2,5" << Verdict::NotANumber << 0;
        QTest::newRow("exponent") << "1e3" << Verdict::NotANumber << 0;
        QTest::newRow("large exponent") << "1E300" << Verdict::NotANumber << 0;
        QTest::newRow("inner blank") << "2 00" << Verdict::NotANumber << 0;
        QTest::newRow("thousands separator") << "1.000" << Verdict::NotANumber << 0;
        QTest::newRow("hexadecimal") << "0x10" << Verdict::NotANumber << 0;
        QTest::newRow("letters") << "abc" << Verdict::NotANumber << 0;
        QTest::newRow("digits then letter") << "12a" << Verdict::NotANumber << 0;
        QTest::newRow("line break inside") << "1\n2" << Verdict::NotANumber << 0;
        QTest::newRow("arabic-indic digits")
            << QString::fromUtf8("\u0662\u0660\u0660") << Verdict::NotANumber << 0;
        QTest::newRow("fullwidth digits")
            << QString::fromUtf8("\uFF12\uFF10\uFF10") << Verdict::NotANumber << 0;
    }

    void reading() {
        QFETCH(QString, text);
        QFETCH(Verdict, verdict);
        QFETCH(int, value);
        const SizeReading reading = dla::readSystemSize(text);
        QCOMPARE(reading.verdict, verdict);
        if (verdict == Verdict::Accepted) QCOMPARE(reading.value, value);
    }
};

QTEST_APPLESS_MAIN(SystemSizeTextTest)
#include "system_size_text_test.moc"
