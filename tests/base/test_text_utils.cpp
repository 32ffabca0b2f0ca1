#include "base/settings.h"
#include "base/store_charset.h"
#include "base/text_utils.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using namespace os;

class TestTextUtils : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void urlEncode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("space and slash") << "a b/c" << QByteArray("a+b%2fc");
        QTest::newRow("letters and digits stay") << "AZaz09" << QByteArray("AZaz09");
        QTest::newRow("punctuation")
            << "A-Z_0.9~*&=+%" << QByteArray("A%2dZ%5f0%2e9%7e%2a%26%3d%2b%25");
        // The store's set is Windows-1252 unless the installation says utf-8.
        QTest::newRow("windows-1252 bytes lower hex")
            << QStringLiteral("caf\u00e9 \u20ac \u0160\u017d\u0152\u201c\u2014")
            << QByteArray("caf%e9+%80+%8a%8e%8c%93%97");
        QTest::newRow("line breaks") << "a\r\nb" << QByteArray("a%0d%0ab");
        QTest::newRow("empty") << "" << QByteArray();
    }
    void urlEncode()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(UrlEncode(text), encoded);
    }

    void urlEncodeUtf8()
    {
        settings().storeCharset = StoreCharset::Utf8;
        QCOMPARE(UrlEncode(QStringLiteral("Caf\u00e9 \u20ac")), QByteArray("Caf%c3%a9+%e2%82%ac"));
        QCOMPARE(UrlEncode(QStringLiteral("\u0141 \U0001F511")), QByteArray("%c5%81+%f0%9f%94%91"));
        settings().storeCharset = StoreCharset::Windows1252;
        QCOMPARE(UrlEncode(QStringLiteral("Caf\u00e9 \u20ac"), StoreCharset::Utf8),
                 QByteArray("Caf%c3%a9+%e2%82%ac"));
    }

    // A character the set cannot hold is refused, never sent as another.
    void urlEncodeRefuses()
    {
        const auto refusal = [](StoreCharset charset, QString text) {
            try {
                UrlEncode(text, charset);
            } catch (const CharsetError& e) {
                return e.text();
            }
            return QStringLiteral("<sent>");
        };
        QCOMPARE(refusal(StoreCharset::Windows1252, QStringLiteral("Lodz \u0141")),
                 QStringLiteral("The store's character set, windows-1252 (\"Store character set\" "
                                "in Vendix Location & Web Documents), cannot hold the character "
                                "\"\u0141\" (U+0141); nothing was sent to the store."));
        // A C1 control that the set assigns to a letter has no byte of its own.
        QCOMPARE(refusal(StoreCharset::Windows1252, QStringLiteral("\u0080")).section('(', 2),
                 QStringLiteral("U+0080); nothing was sent to the store."));
        // A lone surrogate is no character in either set.
        QCOMPARE(refusal(StoreCharset::Utf8, QString(QChar(0xD800))).section('(', 2),
                 QStringLiteral("U+D800); nothing was sent to the store."));
        QCOMPARE(refusal(StoreCharset::Utf8, QStringLiteral("\u0141")), QStringLiteral("<sent>"));
    }

    // Every byte read in Windows-1252 encodes back to itself; the page of an
    // invoice is read in the set it names, else in the store's.
    void storeCharsetDecoding()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QString text = decodeStoreBytes(all, StoreCharset::Windows1252);
        QCOMPARE(text.mid(0x80, 4), QStringLiteral("\u20ac\u0081\u201a\u0192"));
        QCOMPARE(text.at(0xe9), QChar(0xe9));
        QCOMPARE(encodeStoreText(text, StoreCharset::Windows1252), all);
        // Under utf-8, bytes that are not UTF-8 are still read, as Windows-1252.
        QCOMPARE(decodeStoreBytes("Caf\xc3\xa9", StoreCharset::Utf8), QStringLiteral("Caf\u00e9"));
        QCOMPARE(decodeStoreBytes("Caf\xe9 \x80", StoreCharset::Utf8),
                 QStringLiteral("Caf\u00e9 \u20ac"));

        const QByteArray plain("<html><body>Caf\xe9</body></html>");
        QCOMPARE(decodeStorePage(plain, StoreCharset::Windows1252),
                 QStringLiteral("<html><body>Caf\u00e9</body></html>"));
        const QByteArray named("<html><head><meta charset=\"UTF-8\"></head>Caf\xc3\xa9</html>");
        QCOMPARE(decodeStorePage(named, StoreCharset::Windows1252).right(11),
                 QStringLiteral("Caf\u00e9</html>"));
        const QByteArray latin("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                               "charset=iso-8859-1\">\x80");
        QCOMPARE(decodeStorePage(latin, StoreCharset::Utf8).right(1), QStringLiteral("\u20ac"));
    }

    void replaceTag_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("result");
        QTest::newRow("every occurrence") << "Dear %io_name%, %io_name%!"
                                          << "%io_name%"
                                          << "Ann"
                                          << "Dear Ann, Ann!";
        QTest::newRow("upper tag finds lower text") << "Hi %io_name%."
                                                    << "%IO_NAME%"
                                                    << "Bob"
                                                    << "Hi Bob.";
        QTest::newRow("mixed case text") << "Hi %Io_NaMe%."
                                         << "%io_name%"
                                         << "Bob"
                                         << "Hi Bob.";
        QTest::newRow("value holding the tag is inserted once") << "[%t%]"
                                                                << "%t%"
                                                                << "<%t%%T%>"
                                                                << "[<%t%%T%>]";
        QTest::newRow("value forming a tag with its neighbours is left") << "aabb"
                                                                         << "ab"
                                                                         << "a"
                                                                         << "aab";
        QTest::newRow("empty value closes up and the new tag goes too") << "%io_%io_name%name%"
                                                                        << "%io_name%"
                                                                        << ""
                                                                        << "";
        QTest::newRow("empty value on overlapping text") << "aabb"
                                                         << "ab"
                                                         << ""
                                                         << "";
        QTest::newRow("accented letters are not folded")
            << QStringLiteral("%\u00e9t\u00e9% %\u00c9T\u00c9%")
            << QStringLiteral("%\u00c9T\u00c9%") << "x" << QStringLiteral("%\u00e9t\u00e9% x");
        QTest::newRow("accented letters equal as they are")
            << QStringLiteral("Gr\u00fc\u00dfe %NAME%") << QStringLiteral("gr\u00fc\u00dfe")
            << "Hello"
            << "Hello %NAME%";
        QTest::newRow("capital X in the tag never meets an insertion") << "%x% %X%"
                                                                       << "%X%"
                                                                       << "XX"
                                                                       << "XX XX";
        QTest::newRow("no occurrence") << "plain"
                                       << "%io_name%"
                                       << "Ann"
                                       << "plain";
        QTest::newRow("empty tag changes nothing") << "abc"
                                                   << ""
                                                   << "zz"
                                                   << "abc";
        QTest::newRow("empty text") << ""
                                    << "%a%"
                                    << "zz"
                                    << "";
    }
    void replaceTag()
    {
        QFETCH(QString, text);
        QFETCH(QString, tag);
        QFETCH(QString, value);
        QFETCH(QString, result);
        QCOMPARE(ReplaceTag(text, tag, value), result);
    }

    void replaceTagManyOccurrences()
    {
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("<%io_order_total%>");
        const QString out = ReplaceTag(text, QStringLiteral("%IO_ORDER_TOTAL%"),
                                       QStringLiteral("%io_order_total%!"));
        QCOMPARE(out.size(), qsizetype(20000) * 19);
        QCOMPARE(out.count(QStringLiteral("<%io_order_total%!>")), qsizetype(20000));
    }

    // The replacer against the plain shadow procedure on random texts over a
    // small alphabet, where tags, their case and closing-up meet often.
    void replaceTagMatchesTheShadowProcedure()
    {
        const auto lower = [](QString s) {
            for (QChar& c : s)
                if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                    c = c.toLower();
            return s;
        };
        const auto reference = [&](const QString& text, const QString& tag, const QString& value) {
            QString result = text;
            QString shadow = lower(text);
            const QString lowTag = lower(tag);
            for (qsizetype p; (p = shadow.indexOf(lowTag)) >= 0;) {
                result.replace(p, tag.size(), value);
                shadow.replace(p, tag.size(), QString(value.size(), QLatin1Char('X')));
            }
            return result;
        };
        const QString alphabet = QStringLiteral("aAbB%x\u00e9\u00c9");
        QRandomGenerator rng(20240611);
        const auto randomText = [&](int maxLen) {
            QString s;
            const int n = int(rng.bounded(maxLen + 1));
            for (int i = 0; i < n; ++i)
                s += alphabet.at(rng.bounded(alphabet.size()));
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            QString tag = randomText(3);
            if (tag.isEmpty())
                tag = QStringLiteral("a");
            const QString text = randomText(24);
            const QString value = round % 3 == 0 ? QString() : randomText(4);
            QCOMPARE(ReplaceTag(text, tag, value), reference(text, tag, value));
        }
    }

    void formatMoney_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.00";
        QTest::newRow("small") << 5.0 << "5.00";
        QTest::newRow("thousands") << 1234567.891 << "1,234,567.89";
        QTest::newRow("exactly three digits") << 999.0 << "999.00";
        QTest::newRow("four digits") << 1000.0 << "1,000.00";
        QTest::newRow("negative") << -1234.5 << "-1,234.50";
        QTest::newRow("negative small") << -0.5 << "-0.50";
        QTest::newRow("half cent rounds up") << 0.825 << "0.83";
        QTest::newRow("binary 2.675 rounds up") << 2.675 << "2.68";
        QTest::newRow("negative half cent away from zero") << -1.005 << "-1.01";
        QTest::newRow("carry into a new group") << 999999.995 << "1,000,000.00";
        QTest::newRow("rounds to zero without sign") << -0.001 << "0.00";
        QTest::newRow("large") << 1e15 << "1,000,000,000,000,000.00";
        QTest::newRow("tiny") << 1e-20 << "0.00";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "00.00";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "00.00";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "00.00";
    }
    void formatMoney()
    {
        QFETCH(double, amount);
        QFETCH(QString, text);
        QCOMPARE(FormatMoney(amount), text);
    }

    void formatMoneyUsesTheLocaleSeparators()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(FormatMoney(1234567.891), QStringLiteral("1.234.567,89"));
        QCOMPARE(FormatMoney(-0.5), QStringLiteral("-0,50"));
        QCOMPARE(FormatAmount(1234.5), QStringLiteral("1234,50"));
        QCOMPARE(FormatRate(0.2), QStringLiteral("0,20000"));
    }

    void formatAmountAndRate()
    {
        QCOMPARE(FormatAmount(6), QStringLiteral("6.00"));
        QCOMPARE(FormatAmount(1234.5), QStringLiteral("1234.50"));
        QCOMPARE(FormatAmount(-3.456), QStringLiteral("-3.46"));
        QCOMPARE(FormatAmount(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0.00"));
        QCOMPARE(FormatRate(0.2), QStringLiteral("0.20000"));
        QCOMPARE(FormatRate(0.15), QStringLiteral("0.15000"));
        QCOMPARE(FormatRate(0.123456), QStringLiteral("0.12346"));
        QCOMPARE(FormatRate(1.5), QStringLiteral("1.50000"));
        QCOMPARE(FormatRate(std::numeric_limits<double>::infinity()), QStringLiteral("0.00"));
    }

    void readNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("amount") << "6.00" << 6.0;
        QTest::newRow("blanks around") << "  6.5 " << 6.5;
        QTest::newRow("negative") << "-3.25" << -3.25;
        QTest::newRow("plus") << "+2" << 2.0;
        QTest::newRow("no leading digit") << ".5" << 0.5;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("comma under a full-stop locale") << "6,5" << 0.0;
        QTest::newRow("thousands separator") << "1,234.50" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("trailing letters") << "6.00abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("only a point") << "." << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("inf") << "inf" << 0.0;
        QTest::newRow("overflow") << "1e999" << 0.0;
        QTest::newRow("only the first 255 characters")
            << (QStringLiteral("1") + QString(254, QLatin1Char('0')) + QStringLiteral("junk"))
            << 1e254;
    }
    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(ReadNumber(text), value);
    }

    void readNumberUsesTheLocaleSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(ReadNumber(QStringLiteral("6,5")), 6.5);
        QCOMPARE(ReadNumber(QStringLiteral("6.5")), 0.0);
        QCOMPARE(ReadNumber(QStringLiteral("-0,20000")), -0.2);
        QCOMPARE(ReadNumber(FormatRate(0.12345)), 0.12345);
    }

    void controlCharactersMadeVisible()
    {
        // An escape sequence, a bell ending a title change, a carriage return,
        // DEL and a C1 control introducer; letters and accents pass.
        QCOMPARE(visibleControls(QStringLiteral("a\x1b[2Jb\x1b]0;t\x07\rc\x7f\u009b31m \u00e9")),
                 QStringLiteral("a\\x1b[2Jb\\x1b]0;t\\x07\\x0dc\\x7f\\u009b31m \u00e9"));
        QCOMPARE(visibleControls(QStringLiteral("one\ntwo\tthree"), u"\n"),
                 QStringLiteral("one\ntwo\\x09three"));
        QCOMPARE(visibleControls(QStringLiteral("plain")), QStringLiteral("plain"));
    }
};

QTEST_GUILESS_MAIN(TestTextUtils)
#include "test_text_utils.moc"
