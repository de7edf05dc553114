#include "display/CWorkDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FailingAllocator.h"

namespace {

// A document whose state is a string; commands append or remove one letter.
struct TextState {
  std::string text;
  int liveCommands = 0;
};

class LetterCommand : public Command {
 public:
  LetterCommand(TextState& state, char letter, bool adds, uint32_t bytes = 100)
      : state_(state), letter_(letter), adds_(adds), bytes_(bytes) {
    ++state_.liveCommands;
  }
  ~LetterCommand() override { --state_.liveCommands; }

  std::unique_ptr<Command> apply(CWorkDocument&) override {
    if (adds_)
      state_.text.push_back(letter_);
    else
      state_.text.pop_back();
    return std::make_unique<LetterCommand>(state_, letter_, !adds_, bytes_);
  }
  uint32_t memoryUsage() const override { return bytes_; }
  bool adds() const { return adds_; }

 private:
  TextState& state_;
  char letter_;
  bool adds_;
  uint32_t bytes_;
};

// Performs a change and records its reverse, as the mask engine does.
void type(CWorkDocument& document, TextState& state, char letter, uint32_t bytes = 100) {
  state.text.push_back(letter);
  document.PushCommand(std::make_unique<LetterCommand>(state, letter, false, bytes));
}

TEST(CommandHistory, UndoThenANewChangeDropsTheRedoPart) {
  TextState state;
  {
    CWorkDocument document;
    type(document, state, 'a');
    type(document, state, 'b');
    document.Undo();
    EXPECT_EQ(state.text, "a");
    type(document, state, 'c');
    EXPECT_FALSE(document.CanRedo());
    document.Redo();
    EXPECT_EQ(state.text, "ac");
    EXPECT_EQ(state.liveCommands, 2);
  }
  EXPECT_EQ(state.liveCommands, 0) << "the history owns its commands";
}

TEST(CommandHistory, UndoAndRedoAtTheEndsDoNothing) {
  TextState state;
  CWorkDocument document;
  document.Undo();
  document.Redo();
  type(document, state, 'a');
  document.Redo();
  EXPECT_EQ(state.text, "a");
  document.Undo();
  document.Undo();
  EXPECT_EQ(state.text, "");
}

TEST(CommandHistory, UndoTwiceRedoTwiceRestoresTheStateAndReversesEachSlot) {
  TextState state;
  CWorkDocument document;
  type(document, state, 'a');
  type(document, state, 'b');
  document.Undo();
  document.Undo();
  EXPECT_EQ(state.text, "");
  for (size_t i = 0; i < 2; ++i)
    EXPECT_TRUE(static_cast<const LetterCommand*>(document.history().at(i))->adds())
        << "slot " << i << " holds the command that redoes it";
  document.Redo();
  document.Redo();
  EXPECT_EQ(state.text, "ab");
  EXPECT_EQ(document.history().position(), 2u);
  for (size_t i = 0; i < 2; ++i)
    EXPECT_FALSE(static_cast<const LetterCommand*>(document.history().at(i))->adds());
}

TEST(CommandHistory, PurgingTakesRedoNewestFirstThenUndoOldestFirst) {
  TextState state;
  CWorkDocument document;
  type(document, state, 'a', 1);
  type(document, state, 'b', 2);
  type(document, state, 'c', 3);
  type(document, state, 'd', 4);
  document.Undo();
  document.Undo();  // c and d can be redone
  EXPECT_EQ(document.purge(0), 0u) << "level 0 frees nothing";
  std::vector<uint32_t> freed;
  while (uint32_t bytes = document.purge(1)) freed.push_back(bytes);
  EXPECT_EQ(freed, (std::vector<uint32_t>{4, 3, 1, 2}));
  EXPECT_EQ(state.liveCommands, 0);
  EXPECT_FALSE(document.CanUndo());
}

TEST(CommandHistory, GrowsAcrossBlocksAtBothEnds) {
  TextState state;
  CWorkDocument document;
  const size_t n = 3 * CommandHistory::kBlockSize + 7;
  for (size_t i = 0; i < n; ++i) type(document, state, static_cast<char>('a' + i % 26));
  // Purge the oldest half from the front, then undo everything left.
  for (size_t i = 0; i < n / 2; ++i) document.purge(1);
  EXPECT_EQ(document.history().size(), n - n / 2);
  while (document.CanUndo()) document.Undo();
  EXPECT_EQ(state.text.size(), n / 2);
  while (document.CanRedo()) document.Redo();
  EXPECT_EQ(state.text.size(), n);
}

TEST(CommandHistory, WithoutMemoryForABlockTheCommandIsDroppedQuietly) {
  TextState state;
  CWorkDocument document;
  auto command = std::make_unique<LetterCommand>(state, 'a', false);
  {
    std::new_handler previous = std::set_new_handler(nullptr);
    testing_support::StFailingAllocations failing;
    document.PushCommand(std::move(command));
    std::set_new_handler(previous);
  }
  EXPECT_EQ(document.history().size(), 0u);
  EXPECT_EQ(state.liveCommands, 0);
  type(document, state, 'b');
  EXPECT_TRUE(document.CanUndo());
}

TEST(CommandHistory, AFailingApplyLeavesTheHistoryAsItWas) {
  struct Failing : Command {
    std::unique_ptr<Command> apply(CWorkDocument&) override { throw std::runtime_error("apply"); }
    uint32_t memoryUsage() const override { return 0; }
  };
  CWorkDocument document;
  document.PushCommand(std::make_unique<Failing>());
  EXPECT_THROW(document.Undo(), std::runtime_error);
  EXPECT_EQ(document.history().position(), 1u);
}

}  // namespace
