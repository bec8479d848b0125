// The window in Romanian: run with LANG=ro_RO.UTF-8, it installs the Romanian translations by
// itself, and every text it shows (labels, buttons, tips, titles, placeholders, the status
// line, alerts) differs from the English window's, written with Romanian letters.

#include <QGroupBox>
#include <QLocale>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "setup/Translations.h"
#include "tests/setup/WindowFixture.h"

namespace tallix::test {
namespace {

// Every text a person can read in the window, with where it stands.
std::vector<std::pair<QString, QString>> ReadableTexts(QWidget& window) {
    std::vector<std::pair<QString, QString>> texts = {{"window title", window.windowTitle()}};
    const auto add = [&texts](const QWidget* widget, const char* what, const QString& text) {
        if (!text.isEmpty()) {
            texts.emplace_back(
                widget->objectName() + "/" + what + "/" + QString::number(texts.size()), text);
        }
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        add(widget, "tip", widget->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            add(widget, "text", label->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            add(widget, "text", button->text());
        } else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
            add(widget, "title", box->title());
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            add(widget, "placeholder", edit->placeholderText());
        }
    }
    return texts;
}

class Romanian : public WindowFixture {
  protected:
    // The texts of a window on a fresh home, then the status after Add Device and the alert
    // of a Test on a port that does not exist.
    std::vector<std::pair<QString, QString>> windowTexts() {
        alerts.clear();
        TempHome fresh;
        open();
        std::vector<std::pair<QString, QString>> texts = ReadableTexts(*window);
        combo("cbDevSN")->setEditText("RO4410020");
        QTest::mouseClick(button("btAddDevice"), Qt::LeftButton);
        texts.emplace_back("status", child<QLabel>("status")->text());
        combo("cbDevPath")->setEditText(QString::fromStdString(fresh.path() + "/no-such-port"));
        QTest::mouseClick(button("btTest"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !alerts.empty() && !window->busy(); }, 10000));
        if (!alerts.empty()) {
            texts.emplace_back("alert", QString::fromStdString(alerts[0].message));
            texts.emplace_back("alert informative",
                               QString::fromStdString(alerts[0].informativeText)
                                   .remove(QStringLiteral("No such file or directory")));
        }
        texts.emplace_back("status after test", child<QLabel>("status")->text());
        window.reset();
        return texts;
    }
};

TEST_F(Romanian, EveryTextOfTheWindowIsTranslatedUnderLangRo) {
    ASSERT_EQ(qgetenv("LANG"), "ro_RO.UTF-8") << "run by ctest with LANG=ro_RO.UTF-8";
    const auto english = windowTexts();
    EXPECT_FALSE(InstallTranslations(*qApp, QLocale(QLocale::English)))
        << "English is the window's own language";
    ASSERT_TRUE(InstallTranslations(*qApp)) << "the system language (LANG) is followed";
    const auto romanian = windowTexts();

    ASSERT_EQ(romanian.size(), english.size());
    ASSERT_GT(english.size(), 30U);
    QString all;
    for (std::size_t i = 0; i < english.size(); ++i) {
        EXPECT_EQ(romanian[i].first, english[i].first);
        EXPECT_NE(romanian[i].second, english[i].second)
            << english[i].first.toStdString() << ": " << english[i].second.toStdString();
        all += romanian[i].second;
    }
    EXPECT_EQ(english.front().second, "Tallix set-up");
    EXPECT_EQ(romanian.front().second, "Configurare Tallix");
    // Romanian letters: the comma below, never the cedilla look-alikes.
    for (const char* letter : {"ș", "ț", "ă", "â", "î", "Ț"}) {
        EXPECT_TRUE(all.contains(QString::fromUtf8(letter))) << letter;
    }
    for (const char* cedilla : {"ş", "ţ", "Ş", "Ţ"}) {
        EXPECT_FALSE(all.contains(QString::fromUtf8(cedilla))) << cedilla;
    }
    EXPECT_EQ(romanian[romanian.size() - 4].second,
              "Intrarea dispozitivului RO4410020 a fost salvată");
}

}  // namespace
}  // namespace tallix::test
