#include "platform/FileDialog.h"

#include <QFileDialog>
#include <QStringList>

#include <filesystem>

#include "platform/Automation.h"
#include "platform/MessageBox.h"
#include "platform/internal/Backend.h"

namespace platform {
namespace {

QString qtFilter(const std::vector<FileFilter>& filters) {
  QStringList parts;
  for (const FileFilter& f : filters) {
    QString patterns = QString::fromStdString(f.patterns);
    patterns.replace(';', ' ');
    QString name = QString::fromStdString(f.name);
    // Qt reads the patterns from the parentheses of the name.
    if (!name.contains('(')) name += " (" + patterns + ")";
    parts << name;
  }
  return parts.join(";;");
}

std::string withExtension(std::string path, const std::vector<FileFilter>& filters) {
  if (filters.empty() || std::filesystem::path(path).has_extension()) return path;
  const std::string& first = filters.front().patterns;
  if (first.rfind("*.", 0) != 0 || first.find_first_of(";*", 2) != std::string::npos) return path;
  return path + first.substr(1);
}

bool confirmOverwrite(Window* owner, const std::string& path) {
  if (!std::filesystem::exists(path)) return true;
  const std::string name = std::filesystem::path(path).filename().string();
  return messageBox(owner, name + " already exists.\nDo you want to replace it?", "Save As",
                    kMbYesNo | kMbIconExclamation) == kIdYes;
}

std::optional<std::string> scriptedAnswer() {
  std::string path;
  if (!automation::takeFileAnswer(path) || path.empty()) return std::nullopt;
  return path;
}

}  // namespace

std::vector<FileFilter> parseFilterString(std::string_view filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < filter.size(); ++i) {
    if (filter[i] != '|') continue;
    parts.emplace_back(filter.substr(start, i - start));
    start = i + 1;
  }
  // "Name|patterns|...||": an even number of parts before the closing
  // empty one.
  if (start != filter.size() || parts.size() < 3 || parts.back() != "" || parts.size() % 2 != 1) return {};
  std::vector<FileFilter> out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() || parts[i + 1].empty()) return {};
    out.push_back({parts[i], parts[i + 1]});
  }
  return out;
}

std::optional<std::string> openFileDialog(Window* owner, std::string_view filter) {
  const std::vector<FileFilter> filters = parseFilterString(filter);
  if (automation::enabled()) return scriptedAnswer();
  backend::ensureApplication();
  const backend::ModalOwner modal(owner);
  const QString chosen = QFileDialog::getOpenFileName(modal.widget(), QString(), QString(), qtFilter(filters));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

std::optional<std::string> saveFileDialog(Window* owner, std::string_view filter, std::string_view defaultName,
                                          bool overwritePrompt) {
  const std::vector<FileFilter> filters = parseFilterString(filter);
  for (;;) {
    std::optional<std::string> chosen;
    if (automation::enabled()) {
      chosen = scriptedAnswer();
    } else {
      backend::ensureApplication();
      const backend::ModalOwner modal(owner);
      const QString name = QFileDialog::getSaveFileName(modal.widget(), QString(), QString::fromUtf8(defaultName.data(), static_cast<qsizetype>(defaultName.size())),
                                                        qtFilter(filters), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
      if (!name.isEmpty()) chosen = name.toStdString();
    }
    if (!chosen) return std::nullopt;
    const std::string path = withExtension(*chosen, filters);
    if (!overwritePrompt || confirmOverwrite(owner, path)) return path;
    // As in the system's dialog, refusing to replace asks for another name.
  }
}

}  // namespace platform
