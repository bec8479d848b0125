#include "setup/QtControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "setup/Stepper.h"

namespace tallix {

namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

std::string FromQt(const QString& text) {
    return text.toStdString();
}

}  // namespace

std::string ComboBoxControl::text() const {
    return FromQt(box_->currentText());
}

void ComboBoxControl::setText(const std::string& text) {
    box_->setEditText(ToQt(text));
}

void ComboBoxControl::addItems(const std::vector<std::string>& items) {
    // An empty editable box selects the first item added and shows it; keep the text.
    const QString shown = box_->currentText();
    const QSignalBlocker blocker(box_);
    for (const std::string& item : items) {
        box_->addItem(ToQt(item));
    }
    box_->setEditText(shown);
}

void ComboBoxControl::addItemsWithValues(const std::vector<ComboItem>& items) {
    const QString shown = box_->currentText();
    const QSignalBlocker blocker(box_);
    for (const ComboItem& item : items) {
        box_->addItem(ToQt(item.label), ToQt(item.value));
    }
    box_->setEditText(shown);
}

std::optional<std::string> ComboBoxControl::pickedValue() const {
    const QVariant value = box_->currentData();
    if (box_->currentIndex() < 0 || !value.isValid()) {
        return std::nullopt;
    }
    return FromQt(value.toString());
}

void ComboBoxControl::removeAllItems() {
    // clear() also empties the text of an editable box; only the list is meant.
    const QString shown = box_->currentText();
    const QSignalBlocker blocker(box_);
    box_->clear();
    box_->setEditText(shown);
}

std::string LineEditControl::text() const {
    return FromQt(field_->text());
}

void LineEditControl::setText(const std::string& text) {
    field_->setText(ToQt(text));
}

void LogicalIDControl::setText(const std::string& text) {
    const QString shown = ToQt(text);
    field_->setMaxLength(std::max(typedLength_, static_cast<int>(shown.size())));
    field_->setText(shown);
}

int StepperAdapter::intValue() const {
    return stepper_->value();
}

void StepperAdapter::setIntValue(int value) {
    stepper_->setValue(value);
}

void PushButtonControl::setShown(bool shown) {
    button_->setVisible(shown);
}

}  // namespace tallix
