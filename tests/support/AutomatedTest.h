// A test fixture under automation: message boxes are recorded and answered
// from a queue, time is virtual, and the error stack starts and ends empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Automation.h"
#include "platform/MessageQueue.h"

namespace testing_support {

class AutomatedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::automation::setEnabled(true);
    platform::automation::reset();
    platform::discardMessages();
  }
  void TearDown() override {
    platform::discardMessages();
    platform::automation::reset();
  }

  static const std::vector<platform::automation::ShownBox>& boxes() {
    return platform::automation::shownBoxes();
  }
  static std::string boxText(size_t i) { return boxes().at(i).text; }
};

}  // namespace testing_support
