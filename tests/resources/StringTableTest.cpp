#include "resources/StringTable.h"

#include <gtest/gtest.h>

namespace {

TEST(StringTable, IsSortedWithoutDuplicatesSoLookupsFindEveryEntry) {
  for (int i = 1; i < kStringResourceCount; ++i)
    EXPECT_LT(kStringResources[i - 1].id, kStringResources[i].id) << "entry " << i;
  for (int i = 0; i < kStringResourceCount; ++i)
    EXPECT_EQ(stringResource(kStringResources[i].id), kStringResources[i].text);
}

TEST(StringTable, MissingIdsAnswerNull) {
  EXPECT_EQ(stringResource(2101), nullptr) << "record-reader errors show the fallback text";
  EXPECT_EQ(stringResource(15001), nullptr);
  EXPECT_EQ(stringResource(0), nullptr);
}

}  // namespace
