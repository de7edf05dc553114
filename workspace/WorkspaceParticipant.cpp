#include "workspace/WorkspaceParticipant.h"

namespace {

// Constant-initialised, so participants constructed as static objects in any
// order of library initialisation find the list ready.
constinit WorkspaceParticipant* gFirstParticipant = nullptr;

}  // namespace

WorkspaceParticipant::WorkspaceParticipant(Registration registration)
    : registered_(registration == Registration::kRegistered) {
  if (!registered_) return;
  next_ = gFirstParticipant;
  gFirstParticipant = this;
}

WorkspaceParticipant::~WorkspaceParticipant() {
  if (!registered_) return;
  for (WorkspaceParticipant** link = &gFirstParticipant; *link != nullptr; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      return;
    }
  }
}

WorkspaceParticipant* WorkspaceParticipant::First() { return gFirstParticipant; }
