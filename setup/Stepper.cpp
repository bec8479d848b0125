#include "setup/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tallix {

namespace {

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);  // the field beside it steps with the arrow keys
    button->setToolTip(tip);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(18);
    return button;
}

}  // namespace

Stepper::Stepper(QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(this, Qt::UpArrow, tr("One more"))),
      down_(MakeArrow(this, Qt::DownArrow, tr("One less"))) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, &Stepper::stepUp);
    connect(down_, &QToolButton::clicked, this, &Stepper::stepDown);
    updateButtons();
}

void Stepper::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
    updateButtons();
}

void Stepper::setValue(int value) {
    const int clamped = std::clamp(value, minimum_, maximum_);
    if (clamped == value_) {
        return;
    }
    value_ = clamped;
    updateButtons();
    emit valueChanged(value_);
}

void Stepper::updateButtons() {
    up_->setEnabled(value_ < maximum_);
    down_->setEnabled(value_ > minimum_);
}

}  // namespace tallix
