#pragma once

// What the set-up controller sees of the window: one small interface per kind of control,
// reached by the control's name, and modal alerts. The Qt window implements it; tests use a
// plain fake.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tallix {

// A control that shows one line of text (a combo box's text, a text field).
class TextControl {
  public:
    virtual ~TextControl() = default;
    virtual std::string text() const = 0;
    // Replaces the shown text; "" empties it.
    virtual void setText(const std::string& text) = 0;
    // The decimal number at the start of the text (blanks skipped, optional sign), 0 when
    // there is none.
    virtual int intValue() const;
    virtual void setIntValue(int value);
};

// An item of a drop-down list that shows one text and stands for another: a port described
// as "ttyUSB0 — FTDI FT232R (A1B2C3)" that stands for its by-id path.
struct ComboItem {
    std::string label;
    std::string value;

    bool operator==(const ComboItem&) const = default;
};

// An editable combo box: its text and the items of its drop-down list.
class ComboControl : public TextControl {
  public:
    // Appends the texts to the drop-down list, in order; the shown text stays.
    virtual void addItems(const std::vector<std::string>& items) = 0;
    // The same for items that show a label and stand for a value.
    virtual void addItemsWithValues(const std::vector<ComboItem>& items) = 0;
    // The value of the item the user has just picked; nothing when it has none.
    virtual std::optional<std::string> pickedValue() const = 0;
    // Empties the drop-down list.
    virtual void removeAllItems() = 0;
};

// The up/down stepper beside the logical-ID field.
class StepperControl {
  public:
    virtual ~StepperControl() = default;
    virtual int intValue() const = 0;
    virtual void setIntValue(int value) = 0;
};

class ButtonControl {
  public:
    virtual ~ButtonControl() = default;
    virtual void setShown(bool shown) = 0;
};

enum class AlertStyle {
    Warning,  // the default style: messages about reading the serial number
    Critical  // displayError
};

// A modal alert: the message, and under it the informative text (none when "").
struct Alert {
    AlertStyle style = AlertStyle::Warning;
    std::string message;
    std::string informativeText;

    bool operator==(const Alert&) const = default;
};

class SetupView {
  public:
    virtual ~SetupView() = default;

    virtual ComboControl& cbDevType() = 0;
    virtual ComboControl& cbDevCountry() = 0;
    virtual ComboControl& cbDevPath() = 0;
    virtual ComboControl& cbDevSpeed() = 0;
    virtual ComboControl& cbDevSN() = 0;
    virtual TextControl& keyField() = 0;
    virtual TextControl& textLogID() = 0;
    virtual StepperControl& stepLogID() = 0;
    virtual ButtonControl& btTest() = 0;

    // A modal alert with its message, its informative text and one button "OK"; returns when
    // the user has dismissed it.
    virtual void showAlert(const Alert& alert) = 0;

    // A modal question with Yes and No; true when the user answered Yes.
    virtual bool confirm(const Alert& question) = 0;

    // The line that says what the last action did; it stays until the next one.
    virtual void showStatus(const std::string& text) = 0;

    // Asks the user which of several printers found to set up; the index of the one chosen,
    // nothing when the user chose none.
    virtual std::optional<std::size_t> choosePrinter(const std::vector<std::string>& printers) = 0;
};

}  // namespace tallix
