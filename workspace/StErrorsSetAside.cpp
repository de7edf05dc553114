#include "workspace/StErrorsSetAside.h"

#include <algorithm>

StErrorsSetAside::StErrorsSetAside() : earlier_(takePending()) {}

StErrorsSetAside::~StErrorsSetAside() {
  if (earlier_.empty()) return;
  std::vector<Entry> later;
  try {
    later = takePending();
  } catch (...) {
    // No memory to move the newer records: they stay as they are, and the
    // earlier ones, which are older news, are what is lost.
    return;
  }
  for (const Entry& e : earlier_) pushError(e.code, e.group, e.text, e.line);
  for (const Entry& e : later) pushError(e.code, e.group, e.text, e.line);
}

std::vector<StErrorsSetAside::Entry> StErrorsSetAside::takePending() {
  std::vector<Entry> pending;
  for (const ErrorRecord* r = errorStackHead(); r != nullptr; r = r->next)
    pending.push_back({r->code, r->group, r->text, r->line});
  std::reverse(pending.begin(), pending.end());
  clearErrors();
  return pending;
}
