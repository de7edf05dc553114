// Keeps the error records pending before an operation out of its way: the
// operation reports or drops only what it pushed itself, and the earlier
// records come back underneath afterwards. Closing the work window through
// Exit pushes the quiet cancel record before the preference file is saved;
// a failing save must neither show that record nor lose it.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/ErrorRecord.h"

class StErrorsSetAside {
 public:
  StErrorsSetAside();
  // Puts the earlier records back below those pending now.
  ~StErrorsSetAside();
  StErrorsSetAside(const StErrorsSetAside&) = delete;
  StErrorsSetAside& operator=(const StErrorsSetAside&) = delete;

 private:
  struct Entry {
    int16_t code;
    int16_t group;
    const char* text;
    int32_t line;
  };
  // Pending records, oldest first, so pushing them in order rebuilds the stack.
  static std::vector<Entry> takePending();

  std::vector<Entry> earlier_;
};
