#include "shell/StProgressIndicator.h"

#include "platform/MessageQueue.h"
#include "shell/Exceptions.h"

void StProgressIndicator::step(int32_t) const {
  platform::Message pending;
  if (platform::peekMessage(pending, nullptr, platform::kWmKeyDown, platform::kWmKeyDown, platform::kPeekNoRemove) &&
      pending.wParam == platform::kVkEscape)
    throw XCancel(TESSALY_HERE);
}
