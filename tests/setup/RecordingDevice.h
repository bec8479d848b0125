#pragma once

// A VX37RO that writes down every call the set-up actions make, and can be told to fail at
// one step. With forward set it passes the calls on to the real device (and so to the
// virtual printer); without, every step it does not fail succeeds on its own.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/VX37RO.h"
#include "setup/PrinterActions.h"

namespace tallix::test {

enum class FailAt { Nothing, Open, Initialize, Serial, Report };

class DeviceScript {
  public:
    FailAt failAt = FailAt::Nothing;
    bool forward = false;
    std::string serial = "AB12345678";  // what Oxel_GetSerial gives without forwarding

    void record(std::string call) {
        const std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> calls() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    int created() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return created_;
    }
    void noteCreated() {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++created_;
    }
    DeviceFactory factory();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    int created_ = 0;
};

class RecordingVX37RO : public VX37RO {
  public:
    explicit RecordingVX37RO(DeviceScript& script) : script_(script) { script_.noteCreated(); }
    ~RecordingVX37RO() override { script_.record("release"); }

    bool Open(const std::string& port, int boudRate) override {
        script_.record("Open " + port + " " + std::to_string(boudRate));
        if (script_.failAt == FailAt::Open) {
            return false;
        }
        return !script_.forward || VX37RO::Open(port, boudRate);
    }
    bool Initialize(int logicalID) override {
        script_.record("Initialize " + std::to_string(logicalID));
        if (script_.failAt == FailAt::Initialize) {
            return false;
        }
        return !script_.forward || VX37RO::Initialize(logicalID);
    }
    bool Oxel_GetSerial(std::string& serial) override {
        script_.record("Oxel_GetSerial");
        if (script_.failAt == FailAt::Serial) {
            return false;
        }
        if (script_.forward) {
            return VX37RO::Oxel_GetSerial(serial);
        }
        serial = script_.serial;
        return true;
    }
    bool Report_NonFiscalDay() override {
        script_.record("Report_NonFiscalDay");
        if (script_.failAt == FailAt::Report) {
            return false;
        }
        return !script_.forward || VX37RO::Report_NonFiscalDay();
    }
    void Close() override {
        script_.record("Close");
        if (script_.forward) {
            VX37RO::Close();
        }
    }

  private:
    DeviceScript& script_;
};

inline DeviceFactory DeviceScript::factory() {
    return [this] { return std::make_unique<RecordingVX37RO>(*this); };
}

}  // namespace tallix::test
