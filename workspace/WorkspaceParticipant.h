// Workspace participants: every object whose state outlives a run (window
// placement, bar layout, navigators, tool, sliders, colour lists, settings)
// stores it as tagged records in workspace files and in the default
// preference file. The file layer knows nothing of what a record means; each
// participant picks its own records out of the file and writes its own.
//
// A record is a 4-byte tag, a 4-byte payload size and the payload, all
// integers little-endian. Most tags are four-character codes whose first
// letter is the most significant byte ('WrkW' is 0x57726B57, so the bytes on
// disk read "WkrW"); some are small numbers.
#pragma once

#include <cstdint>

// The tag of a four-character code: fourCharCode("WrkW") == 0x57726B57.
constexpr uint32_t fourCharCode(const char (&code)[5]) {
  return uint32_t{static_cast<uint8_t>(code[0])} << 24 |
         uint32_t{static_cast<uint8_t>(code[1])} << 16 |
         uint32_t{static_cast<uint8_t>(code[2])} << 8 | uint32_t{static_cast<uint8_t>(code[3])};
}

// Payload integers are little-endian whatever the machine.
inline uint32_t loadLittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}
inline int32_t loadLittleEndianInt32(const uint8_t* bytes) {
  return static_cast<int32_t>(loadLittleEndian32(bytes));
}
inline void storeLittleEndian32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}
inline void storeLittleEndianInt32(uint8_t* bytes, int32_t value) {
  storeLittleEndian32(bytes, static_cast<uint32_t>(value));
}

class WorkspaceParticipant {
 public:
  enum class Registration {
    kRegistered,  // joins the registry: loaded and saved with every workspace
    kStandalone,  // loaded on its own (LoadParticipant), e.g. to read one setting
  };

  // A registered participant joins at the head of the registry, so the most
  // recently constructed one is saved first. Static instances register
  // while the library loads.
  explicit WorkspaceParticipant(Registration registration = Registration::kRegistered);
  virtual ~WorkspaceParticipant();
  WorkspaceParticipant(const WorkspaceParticipant&) = delete;
  WorkspaceParticipant& operator=(const WorkspaceParticipant&) = delete;

  // Resets to what a file without this participant's records should give.
  // Participants without a reset (sliders, settings) keep their values.
  virtual void BeginLoad() {}
  // Offered every record of the file; takes those whose tag and size it
  // recognises and ignores all others, without complaint: this is how files
  // of other versions stay loadable. The payload is size bytes long and
  // lives only for the call.
  virtual void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) = 0;
  // Called after the last record, also when loading failed part-way, so the
  // participant can settle on the records it has seen.
  virtual void EndLoad() {}
  // Writes this participant's records, one after another, with WriteRecord.
  virtual void Save() = 0;

  // The registry, most recently registered first.
  static WorkspaceParticipant* First();
  WorkspaceParticipant* Next() const { return next_; }

 private:
  bool registered_;
  WorkspaceParticipant* next_ = nullptr;
};

// Writes one record of the workspace being saved; only valid inside Save.
// A short write raises error 9 of group 15999 ("The disk is full.").
void WriteRecord(uint32_t tag, uint32_t size, const void* payload);
