// Batch scripts: one command a line, run headless under the platform
// layer's automation, so the same script gives the same output every time.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Document.h"
#include "host/PluginLibrary.h"

namespace host {

// Splits one script line into arguments: spaces separate, double quotes
// group, '#' outside quotes starts a comment. Throws Failure on an
// unterminated quote.
std::vector<std::string> splitScriptLine(const std::string& line);

class HostServices;
class HostWindow;

class BatchRunner {
 public:
  // `plugins` is the folder the plug-ins are loaded from.
  BatchRunner(const PluginFolder& plugins, std::ostream& log);
  ~BatchRunner();

  // Runs a whole script; returns the exit code (0: every command worked and
  // every expectation held). Errors are written to `log` as one line naming
  // the script file and line.
  int runFile(const std::filesystem::path& script);
  int runText(const std::string& text, const std::string& scriptName);

  // The current document (for tests), or null.
  Document* document() { return document_.get(); }
  int lastResult() const { return lastResult_; }

 private:
  struct Line {
    int number;
    std::vector<std::string> args;
  };
  // A failure inside the work window, reported with the line played.
  struct LineFailure {
    int line;
    std::string message;
  };
  size_t runCommand(const std::vector<Line>& lines, size_t index);
  void playInWindow(const Line& line);
  void playMouse(std::vector<std::string> args);
  void runPostedCommands();
  int16_t runPlugin(const Plugin& plugin);
  Document& requireDocument(const std::string& command);
  void runFilter(const std::vector<Line>& block, int endLine);
  void runMakeWorkPath();
  void runAbout(const std::string& which);

  const PluginFolder& plugins_;
  std::ostream& log_;
  std::unique_ptr<Document> document_;
  std::unique_ptr<HostServices> services_;
  std::unique_ptr<HostWindow> window_;
  int lastResult_ = 0;
  bool resultKnown_ = false;
  size_t boxesChecked_ = 0;
  std::filesystem::path scriptFolder_;
};

}  // namespace host
