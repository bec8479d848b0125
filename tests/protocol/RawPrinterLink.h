#pragma once

// The host's link on a scripted printer: opened at 9600 baud for logical ID 5, without a
// character map, and closed after each test.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "protocol/CashRegManager.h"
#include "tests/protocol/RawPrinter.h"

namespace tallix::test {

// A character map that maps nothing: the text goes out as given.
inline constexpr uint8_t kNoMap[256] = {};

class RawPrinterLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(printer.path().empty());
        ASSERT_TRUE(link.Open(printer.path(), 9600));
        link.InitializeCR(5, kNoMap, 15);
    }
    void TearDown() override { link.Close(); }

    // text as one command frame, through the whole exchange.
    bool Send(const std::string& text) {
        return link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<int>(text.size()));
    }

    RawPrinter printer;
    CashRegManager link;
};

}  // namespace tallix::test
