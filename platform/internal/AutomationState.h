// What the rest of the windowing layer asks of automation while it is on.
#pragma once

#include <string_view>

namespace platform::automation {

// Records a box and returns its scripted answer; throws when the script
// asked the box to fail.
int answerBox(std::string_view text, std::string_view caption, unsigned flags);
void recordBeep(unsigned icon);

}  // namespace platform::automation
