#pragma once

// The controller's view of the Qt widgets: thin adapters from the control interfaces to
// QComboBox, QLineEdit, the stepper and QPushButton.

#include <string>
#include <vector>

#include "setup/SetupView.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tallix {

class Stepper;

// An editable combo box. Changing the drop-down list never changes the shown text.
class ComboBoxControl : public ComboControl {
  public:
    explicit ComboBoxControl(QComboBox* box) : box_(box) {}
    std::string text() const override;
    void setText(const std::string& text) override;
    void addItems(const std::vector<std::string>& items) override;
    // The value rides along as the item's Qt::UserRole data.
    void addItemsWithValues(const std::vector<ComboItem>& items) override;
    std::optional<std::string> pickedValue() const override;
    void removeAllItems() override;

  private:
    QComboBox* box_;
};

class LineEditControl : public TextControl {
  public:
    explicit LineEditControl(QLineEdit* field) : field_(field) {}
    std::string text() const override;
    void setText(const std::string& text) override;

  protected:
    QLineEdit* field_;
};

// The logical-ID field: typing is limited to two digits, but a longer value from the
// preferences file is shown whole, so that storing the field keeps it.
class LogicalIDControl : public LineEditControl {
  public:
    LogicalIDControl(QLineEdit* field, int typedLength)
        : LineEditControl(field), typedLength_(typedLength) {}
    void setText(const std::string& text) override;

  private:
    int typedLength_;
};

class StepperAdapter : public StepperControl {
  public:
    explicit StepperAdapter(Stepper* stepper) : stepper_(stepper) {}
    int intValue() const override;
    void setIntValue(int value) override;

  private:
    Stepper* stepper_;
};

class PushButtonControl : public ButtonControl {
  public:
    explicit PushButtonControl(QPushButton* button) : button_(button) {}
    void setShown(bool shown) override;

  private:
    QPushButton* button_;
};

}  // namespace tallix
