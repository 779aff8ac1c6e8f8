// The text of a settings file, read and edited by the rules of the Windows
// profile functions, without touching anything the edit is not about.
//
// Reading:
// - A line ends at CR LF, LF or a lone CR; a UTF-8 byte-order mark before the
//   first line is skipped. Blanks (space, tab, VT, FF, CR, LF and ^Z) around a
//   line, a name or a value do not count.
// - "[name]" starts a section: the name lies between the '[' and the LAST ']'
//   of the line; text after that ']' is ignored. A '[' line without any ']'
//   is not a section header.
// - A line starting with ';' is a comment. Any other line with '=' holds a key:
//   the name before the first '=', the value after it. A line without '=' is
//   neither (it is kept, and never found).
// - A NUL byte ends the name or value it lies in; blanks before it do not
//   count in a name.
// - Names are compared without regard to ASCII case. Only the FIRST section of
//   a name counts: a key that appears only in a later section of the same name
//   is not found. Within it, the first key of a name wins. Keys before the
//   first section belong to no section a caller can name; neither does "[]".
//
// Editing changes only the line of the key that a read would find (from its
// value to the end of the line), or inserts the key after the last key line
// of the first section of that name (right after its header when it has
// none), or appends a new section at the end. Comments, blank lines, unknown
// keys and sections, their order and every other byte stay as they were. New
// lines end like the file's first line (CR LF, LF or CR); a file without any
// line break yet takes the break the caller gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace orvanta {

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string text) : text_(std::move(text)) {}

  const std::string& Text() const { return text_; }

  // The raw value a read finds (blanks trimmed, NUL cut, quotes still on);
  // false when the key is absent. Empty names are never found.
  bool Find(std::string_view section, std::string_view key, std::string_view& value) const;

  // Calls visit(name, rawValue) for each key line of the first section of that
  // name, in file order (duplicates included; the first one is what Find sees).
  template <typename Visitor>
  void ForEachKey(std::string_view section, Visitor&& visit) const;

  // Sets key to value in section (names trimmed). The caller has checked the
  // names and the value with IsWritableSection / IsWritableKey / IsWritableValue.
  void Set(std::string_view section, std::string_view key, std::string_view value,
           std::string_view newFileLineBreak);

  // The line break new lines get: the one ending the first line, or the given one.
  std::string_view LineBreak(std::string_view newFileLineBreak) const;

 private:
  struct Line;
  class LineScanner;

  std::string text_;
};

// Blanks as the reader sees them.
bool IsIniBlank(char c);
std::string_view TrimIniBlanks(std::string_view text);

// Section and key names match without regard to ASCII case.
bool IniNamesEqual(std::string_view a, std::string_view b);

// A value as the profile functions hand it out: one pair of enclosing matching
// quotes ('..' or "..") removed.
std::string_view StripQuotes(std::string_view rawValue);

// The leading decimal integer of a value: blanks, an optional sign and digits,
// as a 32-bit value taken unsigned ("-1" gives 0xFFFFFFFF); 0 when there are
// no digits. Beyond the 32-bit range it saturates: at 4294967295 above, at
// -2147483648 (0x80000000) below.
uint32_t LeadingInteger(std::string_view value);

// What may be written without creating or breaking other lines: no CR, LF or
// NUL anywhere; a section name (trimmed) not empty and without ']'; a key name
// (trimmed) not empty, without '=', and not starting with ';' or '['.
bool IsWritableSection(std::string_view section);
bool IsWritableKey(std::string_view key);
bool IsWritableValue(std::string_view value);

// ---------------------------------------------------------------------------

struct IniDocument::Line {
  enum class Kind { kBlank, kComment, kSection, kKey, kOther };
  Kind kind = Kind::kBlank;
  size_t end = 0;         // one past the last byte before the line break
  size_t next = 0;        // one past the line break: where the next line starts
  size_t valueBegin = 0;  // key lines: where the value text starts
  std::string_view name;  // section or key name (trimmed, cut at NUL)
  std::string_view value; // key value (trimmed, cut at NUL, quotes kept)
};

class IniDocument::LineScanner {
 public:
  explicit LineScanner(const std::string& text);
  bool Next(Line& line);

 private:
  const std::string& text_;
  size_t position_;
};

template <typename Visitor>
void IniDocument::ForEachKey(std::string_view section, Visitor&& visit) const {
  const std::string_view wanted = TrimIniBlanks(section);
  if (wanted.empty()) return;
  LineScanner scanner(text_);
  Line line;
  bool inside = false;
  while (scanner.Next(line)) {
    if (line.kind == Line::Kind::kSection) {
      if (inside) return;
      inside = IniNamesEqual(line.name, wanted);
    } else if (inside && line.kind == Line::Kind::kKey) {
      visit(line.name, line.value);
    }
  }
}

}  // namespace orvanta
