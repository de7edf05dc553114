#include "tools/SliderValues.h"

#include <gtest/gtest.h>

namespace {

TEST(SliderPair, TheLowerValueCarriesTheUpperAlongAndClamps) {
  SliderPair pair(900, 64, 192);
  int changes = 0;
  pair.OnChange([&] { ++changes; });
  pair.SetLower(70);
  EXPECT_EQ(pair.lower(), 70);
  EXPECT_EQ(pair.upper(), 198);
  pair.SetLower(-5);
  EXPECT_EQ(pair.lower(), 0);
  EXPECT_EQ(pair.upper(), 128);
  pair.SetLower(0);
  EXPECT_EQ(changes, 2) << "an unchanged value notifies nobody";
  pair.SetLower(300);
  EXPECT_EQ(pair.lower(), 255);
  EXPECT_EQ(pair.upper(), 255) << "the upper value stops at 255 instead of wrapping";
}

TEST(SliderPair, TheUpperValueStaysAboveTheLower) {
  SliderPair pair(900, 100, 150);
  pair.SetUpper(20);
  EXPECT_EQ(pair.upper(), 100);
  pair.SetUpper(999);
  EXPECT_EQ(pair.upper(), 255);
}

TEST(SliderPair, ARecordNeverLoadsAnInvertedPair) {
  SliderPair pair(122, 64, 192);
  const uint8_t inverted[2] = {200, 10};
  pair.LoadRecord(122, 2, inverted);
  EXPECT_EQ(pair.lower(), 200);
  EXPECT_EQ(pair.upper(), 200);
  const uint8_t wrongSize[3] = {1, 2, 3};
  pair.LoadRecord(122, 3, wrongSize);
  EXPECT_EQ(pair.lower(), 200);
  const uint8_t otherTag[2] = {1, 2};
  pair.LoadRecord(123, 2, otherTag);
  EXPECT_EQ(pair.lower(), 200);
}

TEST(SliderValue, DefaultsOfTheWorkspaceValues) {
  EXPECT_EQ(BrushPair().lower(), 64);
  EXPECT_EQ(BrushPair().upper(), 192);
  EXPECT_EQ(ThresholdPair().lower(), 64);
  EXPECT_EQ(StampSpacing().value(), 64);
  EXPECT_EQ(DisplaySetting().value(), 128);
  EXPECT_EQ(OverlayOpacity().value(), 255);
}

TEST(SliderValue, ClampsAndLoadsOneByteRecords) {
  SliderValue value(1037, 64);
  value.SetValue(-1);
  EXPECT_EQ(value.value(), 0);
  const uint8_t byte = 77;
  value.LoadRecord(1037, 1, &byte);
  EXPECT_EQ(value.value(), 77);
  value.LoadRecord(1037, 2, &byte);
  value.LoadRecord(1070, 1, &byte);
  EXPECT_EQ(value.value(), 77);
}

}  // namespace
