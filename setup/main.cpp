// tallix-setup: the set-up window. `tallix` without arguments starts it.

#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "setup/DisplayCheck.h"
#include "setup/SetupWindow.h"
#include "setup/Translations.h"

int main(int argc, char** argv) {
    // Qt aborts when it finds no display; a caller hears why in one line instead.
    if (!tallix::CanShowWindow(tallix::DisplaySettingsFromEnvironment(),
                               std::vector<std::string>(argv + 1, argv + argc))) {
        (void)std::fputs(tallix::NoDisplayMessage(), stderr);
        return tallix::kExitNoDisplay;
    }
    QApplication app(argc, argv);
    // QApplication takes the locale from the environment; numbers stay in the C form.
    (void)std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("tallix-setup"));
    QApplication::setDesktopFileName(QStringLiteral("tallix-setup"));
    tallix::InstallTranslations(app);

    // --screenshot FILE: show the window as it starts, save a picture of it, quit. For the
    // documentation. Any other argument (such as a "-psn…" that `tallix` passes on) is
    // ignored.
    QString screenshot;
    const QStringList arguments = QApplication::arguments();
    const auto at = arguments.indexOf(QStringLiteral("--screenshot"));
    if (at >= 0 && at + 1 < arguments.size()) {
        screenshot = arguments.at(at + 1);
    }

    tallix::SetupWindow window;
    QApplication::setWindowIcon(window.windowIcon());  // alerts carry it too
    if (!screenshot.isEmpty()) {
        // Nobody is there to answer an alert (such as the one naming a kept preferences file):
        // it goes to standard error instead of waiting.
        window.setAlertHook([](const tallix::Alert& alert) {
            (void)std::fprintf(stderr, "tallix-setup: %s\n", alert.message.c_str());
            if (!alert.informativeText.empty()) {
                (void)std::fprintf(stderr, "tallix-setup: %s\n", alert.informativeText.c_str());
            }
        });
    }
    window.start();
    window.show();

    if (!screenshot.isEmpty()) {
        QTimer::singleShot(200, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot, "PNG");
            if (!saved) {
                (void)std::fprintf(stderr, "tallix-setup: cannot save %s\n",
                                   screenshot.toLocal8Bit().constData());
            }
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
