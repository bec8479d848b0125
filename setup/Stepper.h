#pragma once

// A stepper: a pair of small up/down arrow buttons holding an integer in a range, to sit
// beside a text field that shows the number.

#include <QWidget>

class QToolButton;

namespace tallix {

class Stepper : public QWidget {
    Q_OBJECT

  public:
    explicit Stepper(QWidget* parent = nullptr);

    int value() const { return value_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setRange(int minimum, int maximum);

  public slots:
    // Clamped into the range; valueChanged is sent when the value moves.
    void setValue(int value);
    void stepUp() { setValue(value_ + 1); }
    void stepDown() { setValue(value_ - 1); }

  signals:
    void valueChanged(int value);

  private:
    void updateButtons();

    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 99;
    int value_ = 0;
};

}  // namespace tallix
