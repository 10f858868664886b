#include "platform/dialogs.h"

#include <string_view>

namespace {

// The pieces of `text` between `separator`s, empty ones included.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const std::size_t at = text.find(separator);
    pieces.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + 1);
  }
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<TFilterEntry> FilterEntries(const String& filter) {
  std::vector<TFilterEntry> entries;
  if (filter.empty()) return entries;
  const std::vector<std::string_view> pieces = Split(filter, '|');
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
    TFilterEntry entry{String(Trimmed(pieces[i])), {}};
    for (std::string_view pattern : Split(pieces[i + 1], ';'))
      if (!Trimmed(pattern).empty()) entry.Patterns.emplace_back(Trimmed(pattern));
    if (!entry.Description.empty() && !entry.Patterns.empty()) entries.push_back(std::move(entry));
  }
  return entries;
}
