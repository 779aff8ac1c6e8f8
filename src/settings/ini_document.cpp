#include "settings/ini_document.h"

namespace orvanta {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string_view CutAtNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool IsIniBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

std::string_view TrimIniBlanks(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsIniBlank(text[begin])) ++begin;
  while (end > begin && IsIniBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IniNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view StripQuotes(std::string_view rawValue) {
  if (rawValue.size() >= 2 && (rawValue.front() == '\'' || rawValue.front() == '"') &&
      rawValue.back() == rawValue.front()) {
    return rawValue.substr(1, rawValue.size() - 2);
  }
  return rawValue;
}

uint32_t LeadingInteger(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  // Beyond 32 bits the value saturates rather than wraps: "4294967297" must
  // not read as 1 (a period of one minute).
  const uint64_t limit = negative ? uint64_t{1} << 31 : 0xFFFFFFFFu;
  uint64_t result = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    result = result * 10u + static_cast<uint64_t>(value[i] - '0');
    if (result > limit) result = limit;
  }
  return negative ? 0u - static_cast<uint32_t>(result) : static_cast<uint32_t>(result);
}

bool IsWritableSection(std::string_view section) {
  const std::string_view name = TrimIniBlanks(section);
  return !name.empty() && !HasLineBreakOrNul(section) && name.find(']') == std::string_view::npos;
}

bool IsWritableKey(std::string_view key) {
  const std::string_view name = TrimIniBlanks(key);
  return !name.empty() && !HasLineBreakOrNul(key) && name.find('=') == std::string_view::npos &&
         name.front() != ';' && name.front() != '[';
}

bool IsWritableValue(std::string_view value) { return !HasLineBreakOrNul(value); }

// ---------------------------------------------------------------------------

IniDocument::LineScanner::LineScanner(const std::string& text)
    : text_(text), position_(text.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0 ? kUtf8Mark.size() : 0) {}

bool IniDocument::LineScanner::Next(Line& line) {
  if (position_ >= text_.size()) return false;
  const size_t begin = position_;
  size_t end = text_.find_first_of("\r\n", begin);
  if (end == std::string::npos) end = text_.size();
  size_t next = end;
  if (next < text_.size()) next += (text_[next] == '\r' && next + 1 < text_.size() && text_[next + 1] == '\n') ? 2 : 1;
  position_ = next;

  line = Line();
  line.end = end;
  line.next = next;
  const std::string_view raw(text_.data() + begin, end - begin);
  const std::string_view trimmed = TrimIniBlanks(raw);
  if (trimmed.empty()) return true;  // kBlank
  if (trimmed.front() == ';') {
    line.kind = Line::Kind::kComment;
    return true;
  }
  if (trimmed.front() == '[') {
    const size_t close = trimmed.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = Line::Kind::kSection;
      line.name = TrimIniBlanks(CutAtNul(trimmed.substr(1, close - 1)));
      return true;
    }
  }
  const size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) {
    line.kind = Line::Kind::kOther;
    return true;
  }
  line.kind = Line::Kind::kKey;
  // The NUL ends the name first: blanks before it do not count either.
  line.name = TrimIniBlanks(CutAtNul(trimmed.substr(0, equals)));
  std::string_view value = trimmed.substr(equals + 1);
  while (!value.empty() && IsIniBlank(value.front())) value.remove_prefix(1);
  line.valueBegin = static_cast<size_t>(value.data() - text_.data());
  line.value = CutAtNul(value);
  return true;
}

// ---------------------------------------------------------------------------

bool IniDocument::Find(std::string_view section, std::string_view key, std::string_view& value) const {
  const std::string_view wantedKey = TrimIniBlanks(key);
  if (wantedKey.empty()) return false;
  bool found = false;
  ForEachKey(section, [&](std::string_view name, std::string_view raw) {
    if (!found && IniNamesEqual(name, wantedKey)) {
      value = raw;
      found = true;
    }
  });
  return found;
}

std::string_view IniDocument::LineBreak(std::string_view newFileLineBreak) const {
  const size_t at = text_.find_first_of("\r\n");
  if (at == std::string::npos) return newFileLineBreak;
  if (text_[at] == '\n') return "\n";
  return at + 1 < text_.size() && text_[at + 1] == '\n' ? std::string_view("\r\n") : std::string_view("\r");
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value,
                      std::string_view newFileLineBreak) {
  const std::string_view wantedSection = TrimIniBlanks(section);
  const std::string_view wantedKey = TrimIniBlanks(key);
  const std::string lineBreak(LineBreak(newFileLineBreak));

  // Find the first section of that name, the key in it, and its last key line.
  LineScanner scanner(text_);
  Line line;
  bool inside = false;
  bool sectionFound = false;
  Line anchor;  // the line a new key goes after
  while (scanner.Next(line)) {
    if (line.kind == Line::Kind::kSection) {
      if (inside) break;
      if (IniNamesEqual(line.name, wantedSection)) {
        inside = sectionFound = true;
        anchor = line;
      }
    } else if (inside && line.kind == Line::Kind::kKey) {
      if (IniNamesEqual(line.name, wantedKey)) {
        text_.replace(line.valueBegin, line.end - line.valueBegin, value.data(), value.size());
        return;
      }
      anchor = line;
    }
  }

  std::string keyLine(wantedKey);
  keyLine += '=';
  keyLine.append(value.data(), value.size());
  if (sectionFound) {
    if (anchor.next > anchor.end) {
      text_.insert(anchor.next, keyLine + lineBreak);
    } else {
      text_.insert(anchor.end, lineBreak + keyLine);  // the last line had no break of its own
    }
    return;
  }

  if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') text_ += lineBreak;
  text_ += '[';
  text_.append(wantedSection.data(), wantedSection.size());
  text_ += ']';
  text_ += lineBreak;
  text_ += keyLine;
  text_ += lineBreak;
}

}  // namespace orvanta
