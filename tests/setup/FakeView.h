#pragma once

// A window without Qt for the controller's tests: controls that remember what they were
// given, alerts collected in order.

#include <string>
#include <vector>

#include "setup/PrinterActions.h"
#include "setup/SetupView.h"

namespace tallix::test {

struct FakeCombo : ComboControl {
    std::string value;
    std::vector<std::string> items;

    std::string text() const override { return value; }
    void setText(const std::string& text) override { value = text; }
    void addItems(const std::vector<std::string>& more) override {
        items.insert(items.end(), more.begin(), more.end());
    }
    void removeAllItems() override { items.clear(); }
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

    ComboControl& cbDevType() override { return type; }
    ComboControl& cbDevCountry() override { return country; }
    ComboControl& cbDevPath() override { return path; }
    ComboControl& cbDevSpeed() override { return speed; }
    ComboControl& cbDevSN() override { return serial; }
    TextControl& keyField() override { return key; }
    TextControl& textLogID() override { return logicalID; }
    StepperControl& stepLogID() override { return stepper; }
    ButtonControl& btTest() override { return test; }
    void showAlert(AlertStyle style, const std::string& message) override {
        alerts.push_back({style, message});
    }
};

}  // namespace tallix::test
