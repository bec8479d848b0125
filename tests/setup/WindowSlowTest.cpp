// A printer that never answers: the window waits out the link's whole time-out (about 42 s)
// and stays alive meanwhile.

#include <QEvent>
#include <QProgressBar>
#include <QTimer>
#include <string>

#include "device/VX37RO.h"
#include "tests/setup/WindowFixture.h"
#include "tests/support/SimProcess.h"

namespace tallix::test {
namespace {

// Counts the paint events a widget gets while the window is busy.
class PaintCounter : public QObject {
  public:
    PaintCounter(QWidget* widget, const SetupWindow& window) : window_(window) {
        widget->installEventFilter(this);
    }
    int paints = 0;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint && window_.busy()) {
            ++paints;
        }
        return false;
    }

  private:
    const SetupWindow& window_;
};

using DeadPrinter = WindowFixture;

TEST_F(DeadPrinter, WindowRepaintsAndMovesUntilTheReadGivesUp) {
    SimProcess sim({"--mute"});
    ASSERT_TRUE(sim.ready());
    SetupWindow& w = open();
    combo("cbDevPath")->setEditText(QString::fromStdString(sim.path()));

    PaintCounter counter(child<QProgressBar>("busyBar"), w);
    int moves = 0;
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        if (!w.busy()) {
            return;
        }
        const QPoint target = w.pos() + QPoint(moves % 2 == 0 ? 5 : -5, 0);
        w.move(target);
        moves += w.pos() == target ? 1 : 0;
    });
    mover.start(500);

    QTest::mouseClick(button("btRefreshSN"), Qt::LeftButton);
    ASSERT_TRUE(w.busy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.empty(); }, 120000));

    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].style, AlertStyle::Warning);
    EXPECT_EQ(alerts[0].message, "Device not responding.");
    EXPECT_TRUE(alerts[0].onMainThread);
    EXPECT_FALSE(w.busy());
    EXPECT_EQ(combo("cbDevSN")->currentText(), "");
    EXPECT_GT(counter.paints, 10);
    EXPECT_GT(moves, 10);
}

TEST_F(DeadPrinter, ClosingTheWindowMidwayReleasesThePortBeforeItGoes) {
    SimProcess sim({"--mute"});
    ASSERT_TRUE(sim.ready());
    open();
    combo("cbDevPath")->setEditText(QString::fromStdString(sim.path()));
    QTest::mouseClick(button("btRefreshSN"), Qt::LeftButton);
    ASSERT_TRUE(window->busy());

    window->close();
    window.reset();  // waits for the printer action to end

    // The port is free again: another device object can open it at once.
    VX37RO device;
    EXPECT_TRUE(device.Open(sim.path(), 9600));
    device.Close();
    EXPECT_TRUE(alerts.empty());  // nothing is shown by a window that is gone
}

}  // namespace
}  // namespace tallix::test
