#pragma once

// A window without Qt for the controller's tests: controls that remember what they were
// given, alerts collected in order.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "setup/PrinterActions.h"
#include "setup/SetupView.h"

namespace tallix::test {

// Ports known by name only, as the port box lists them.
inline std::vector<ComboItem> Named(const std::vector<std::string>& names) {
    std::vector<ComboItem> items;
    for (const std::string& name : names) {
        items.push_back({name, name});
    }
    return items;
}

struct FakeCombo : ComboControl {
    std::string value;
    std::vector<std::string> items;       // labels, as the list shows them
    std::vector<std::string> itemValues;  // what each item stands for ("" for plain texts)
    std::optional<std::size_t> picked;    // the item the user picked

    std::string text() const override { return value; }
    void setText(const std::string& text) override { value = text; }
    void addItems(const std::vector<std::string>& more) override {
        items.insert(items.end(), more.begin(), more.end());
        itemValues.resize(items.size());
    }
    void addItemsWithValues(const std::vector<ComboItem>& more) override {
        for (const ComboItem& item : more) {
            items.push_back(item.label);
            itemValues.push_back(item.value);
        }
    }
    std::optional<std::string> pickedValue() const override {
        if (!picked || *picked >= items.size() || itemValues[*picked].empty()) {
            return std::nullopt;
        }
        return itemValues[*picked];
    }
    // What the box does when the user picks item i: it shows the item's label.
    void pick(std::size_t i) {
        picked = i;
        value = items.at(i);
    }
    void removeAllItems() override {
        items.clear();
        itemValues.clear();
        picked.reset();
    }
};

struct FakeText : TextControl {
    std::string value;
    std::string text() const override { return value; }
    void setText(const std::string& text) override { value = text; }
};

struct FakeStepper : StepperControl {
    int value = 0;
    int intValue() const override { return value; }
    void setIntValue(int v) override { value = v; }
};

struct FakeButton : ButtonControl {
    bool shown = false;
    void setShown(bool s) override { shown = s; }
};

struct FakeView : SetupView {
    FakeCombo type, country, path, speed, serial;
    FakeText key, logicalID;
    FakeStepper stepper;
    FakeButton test;
    std::vector<Alert> alerts;
    std::vector<Alert> questions;
    bool answer = false;  // what the user answers a question
    std::vector<std::string> statuses;
    std::vector<std::vector<std::string>> choicesOffered;
    std::optional<std::size_t> choice;  // what the user answers when asked to choose

    ComboControl& cbDevType() override { return type; }
    ComboControl& cbDevCountry() override { return country; }
    ComboControl& cbDevPath() override { return path; }
    ComboControl& cbDevSpeed() override { return speed; }
    ComboControl& cbDevSN() override { return serial; }
    TextControl& keyField() override { return key; }
    TextControl& textLogID() override { return logicalID; }
    StepperControl& stepLogID() override { return stepper; }
    ButtonControl& btTest() override { return test; }
    void showAlert(const Alert& alert) override { alerts.push_back(alert); }
    bool confirm(const Alert& question) override {
        questions.push_back(question);
        return answer;
    }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }
    std::optional<std::size_t> choosePrinter(const std::vector<std::string>& printers) override {
        choicesOffered.push_back(printers);
        return choice;
    }
};

}  // namespace tallix::test
