#include "platform/formreader.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class TParser {
 public:
  TParser(std::string_view form, std::string_view text) : FForm(form), FText(text) {}

  TFormObject Form() {
    Skip();
    TFormObject root = Object();
    Skip();
    if (FAt < FText.size()) Fail("text after the form's last 'end'");
    return root;
  }

 private:
  [[noreturn]] void Fail(std::string_view problem) const {
    throw EFormError("form " + FForm + ", line " + std::to_string(FLine) + ": " + String(problem));
  }

  // Blanks and comments (// to the end of the line).
  void Skip() {
    while (FAt < FText.size()) {
      const char c = FText[FAt];
      if (c == '\n') {
        ++FLine;
        ++FAt;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++FAt;
      } else if (c == '/' && FAt + 1 < FText.size() && FText[FAt + 1] == '/') {
        while (FAt < FText.size() && FText[FAt] != '\n') ++FAt;
      } else {
        break;
      }
    }
  }

  bool Peek(char c) {
    Skip();
    return FAt < FText.size() && FText[FAt] == c;
  }

  void Expect(char c, std::string_view what) {
    if (!Peek(c)) Fail("expected " + String(what));
    ++FAt;
  }

  String Identifier(std::string_view what) {
    Skip();
    if (FAt >= FText.size() || !IsIdentStart(FText[FAt])) Fail("expected " + String(what));
    const std::size_t start = FAt;
    while (FAt < FText.size() && IsIdentChar(FText[FAt])) ++FAt;
    return String(FText.substr(start, FAt - start));
  }

  // A property name: identifiers joined by dots.
  String PropertyName(String first) {
    while (FAt < FText.size() && FText[FAt] == '.') {
      ++FAt;
      first += '.';
      if (FAt >= FText.size() || !IsIdentStart(FText[FAt])) Fail("expected a property name after '.'");
      first += Identifier("a property name");
    }
    return first;
  }

  TFormObject Object() {
    TFormObject object;
    object.Line = FLine;
    if (Identifier("'object'") != "object") Fail("expected 'object'");
    object.Name = Identifier("the component's name");
    Expect(':', "':' and the component's class");
    object.ClassName = Identifier("the component's class");
    for (;;) {
      Skip();
      if (FAt >= FText.size()) Fail("the form ends before the 'end' of " + object.Name);
      const int line = FLine;
      const String word = Identifier("a property, 'object' or 'end'");
      if (word == "end") return object;
      if (word == "object") {
        FAt -= word.size();
        object.Children.push_back(Object());
        continue;
      }
      TFormProperty property;
      property.Line = line;
      property.Name = PropertyName(word);
      if (object.Property(property.Name) != nullptr) Fail("property " + property.Name + " is given twice");
      Expect('=', "'=' after " + property.Name);
      property.Value = Value(property.Name);
      object.Properties.push_back(std::move(property));
    }
  }

  TFormValue Value(const String& property) {
    Skip();
    TFormValue value;
    value.Line = FLine;
    if (FAt >= FText.size()) Fail("expected a value for " + property);
    const char c = FText[FAt];
    if (c == '\'' || c == '#') {
      value.Kind = TFormValue::vkString;
      value.Text = StringValue(property);
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      value.Kind = TFormValue::vkInteger;
      value.Integer = IntegerValue(property);
    } else if (IsIdentStart(c)) {
      value.Kind = TFormValue::vkIdentifier;
      value.Text = Identifier("a value");
    } else if (c == '[') {
      ++FAt;
      value.Kind = TFormValue::vkSet;
      if (!Peek(']')) {
        for (;;) {
          TFormValue item;
          item.Kind = TFormValue::vkIdentifier;
          item.Line = FLine;
          item.Text = Identifier("a member of the set " + property);
          value.Items.push_back(std::move(item));
          if (Peek(']')) break;
          Expect(',', "',' or ']' in the set " + property);
        }
      }
      Expect(']', "']'");
    } else if (c == '(') {
      ++FAt;
      value.Kind = TFormValue::vkList;
      while (!Peek(')')) {
        if (FAt >= FText.size()) Fail("the list " + property + " has no ')'");
        value.Items.push_back(Value(property));
      }
      ++FAt;
    } else {
      Fail("expected a value for " + property);
    }
    return value;
  }

  std::int64_t IntegerValue(const String& property) {
    const std::size_t start = FAt;
    if (FText[FAt] == '-') ++FAt;
    while (FAt < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FAt]))) ++FAt;
    if (FAt < FText.size() && IsIdentChar(FText[FAt])) Fail("the value of " + property + " is not a number");
    std::int64_t value = 0;
    const auto read = std::from_chars(FText.data() + start, FText.data() + FAt, value);
    if (read.ec != std::errc() || read.ptr != FText.data() + FAt) Fail("the value of " + property + " is not a number");
    return value;
  }

  // 'text' pieces and #code points, adjacent or joined by '+' (which may end a line).
  String StringValue(const String& property) {
    String text;
    for (;;) {
      if (FAt < FText.size() && FText[FAt] == '\'') {
        ++FAt;
        for (;;) {
          if (FAt >= FText.size() || FText[FAt] == '\n') Fail("the string of " + property + " is not closed");
          if (FText[FAt] == '\'') {
            if (FAt + 1 < FText.size() && FText[FAt + 1] == '\'') {
              text += '\'';
              FAt += 2;
              continue;
            }
            ++FAt;
            break;
          }
          text += FText[FAt++];
        }
      } else if (FAt < FText.size() && FText[FAt] == '#') {
        ++FAt;
        const std::size_t start = FAt;
        while (FAt < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FAt]))) ++FAt;
        std::uint32_t code = 0;
        const auto read = std::from_chars(FText.data() + start, FText.data() + FAt, code);
        if (start == FAt || read.ec != std::errc() || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
          Fail("a character code in " + property + " is not a character");
        AppendUtf8(text, code);
      } else {
        break;
      }
      if (FAt < FText.size() && (FText[FAt] == '\'' || FText[FAt] == '#')) continue;  // adjacent pieces
      const std::size_t at = FAt;
      const int line = FLine;
      if (Peek('+')) {
        ++FAt;
        Skip();
        if (FAt >= FText.size() || (FText[FAt] != '\'' && FText[FAt] != '#'))
          Fail("expected more of the string of " + property + " after '+'");
        continue;
      }
      FAt = at;
      FLine = line;
      break;
    }
    return text;
  }

  String FForm;
  std::string_view FText;
  std::size_t FAt = 0;
  int FLine = 1;
};

}  // namespace

const TFormProperty* TFormObject::Property(std::string_view name) const {
  for (const TFormProperty& p : Properties)
    if (p.Name == name) return &p;
  return nullptr;
}

const TFormObject* TFormObject::Find(std::string_view name) const {
  if (Name == name) return this;
  for (const TFormObject& child : Children)
    if (const TFormObject* found = child.Find(name)) return found;
  return nullptr;
}

TFormObject ReadForm(std::string_view form, std::string_view text) { return TParser(form, text).Form(); }

TPropertyReader::TPropertyReader(std::string_view form, const TFormObject& object)
    : FForm(form), FObject(object), FRead(object.Properties.size(), false) {}

bool TPropertyReader::Has(std::string_view name) const { return FObject.Property(name) != nullptr; }

void TPropertyReader::Fail(std::string_view name, std::string_view problem) const {
  int line = FObject.Line;
  if (const TFormProperty* p = FObject.Property(name)) line = p->Line;
  throw EFormError("form " + FForm + ", line " + std::to_string(line) + ": property " + FObject.Name + "." +
                   String(name) + " (" + FObject.ClassName + ") " + String(problem));
}

const TFormProperty& TPropertyReader::Get(std::string_view name, TFormValue::TKind kind,
                                          std::string_view expected) const {
  for (std::size_t i = 0; i < FObject.Properties.size(); ++i) {
    const TFormProperty& p = FObject.Properties[i];
    if (p.Name != name) continue;
    FRead[i] = true;
    if (p.Value.Kind != kind) Fail(name, "must be " + String(expected));
    return p;
  }
  Fail(name, "is missing");
}

std::int32_t TPropertyReader::Integer(std::string_view name) const {
  const std::int64_t value = Get(name, TFormValue::vkInteger, "an integer").Value.Integer;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    Fail(name, "is out of range");
  return std::int32_t(value);
}

String TPropertyReader::Text(std::string_view name) const {
  return Get(name, TFormValue::vkString, "a string").Value.Text;
}

bool TPropertyReader::Boolean(std::string_view name) const { return Choice(name, {"False", "True"}) == 1; }

int TPropertyReader::Choice(std::string_view name, std::initializer_list<std::string_view> allowed) const {
  String names;
  for (std::string_view a : allowed) names += (names.empty() ? "" : ", ") + String(a);
  const String& value = Get(name, TFormValue::vkIdentifier, "one of " + names).Value.Text;
  int index = 0;
  for (std::string_view a : allowed) {
    if (a == value) return index;
    ++index;
  }
  Fail(name, "must be one of " + names + ", not " + value);
}

unsigned TPropertyReader::Set(std::string_view name, std::initializer_list<std::string_view> allowed) const {
  String names;
  for (std::string_view a : allowed) names += (names.empty() ? "" : ", ") + String(a);
  const TFormProperty& p = Get(name, TFormValue::vkSet, "a set of " + names);
  unsigned bits = 0;
  for (const TFormValue& item : p.Value.Items) {
    int index = 0;
    bool known = false;
    for (std::string_view a : allowed) {
      if (a == item.Text) {
        bits |= 1u << index;
        known = true;
      }
      ++index;
    }
    if (!known) Fail(name, "may hold only " + names + ", not " + item.Text);
  }
  return bits;
}

std::vector<String> TPropertyReader::Strings(std::string_view name) const {
  const TFormProperty& p = Get(name, TFormValue::vkList, "a list of strings");
  std::vector<String> out;
  for (const TFormValue& item : p.Value.Items) {
    if (item.Kind != TFormValue::vkString) Fail(name, "must hold strings only");
    out.push_back(item.Text);
  }
  return out;
}

String TPropertyReader::Event(std::string_view name) const {
  return Get(name, TFormValue::vkIdentifier, "the name of a handler").Value.Text;
}

void TPropertyReader::Finish() const {
  for (std::size_t i = 0; i < FRead.size(); ++i)
    if (!FRead[i]) Fail(FObject.Properties[i].Name, "is not a property of this component");
}

String TPropertyReader::Reference(std::string_view name) const {
  return Get(name, TFormValue::vkIdentifier, "the name of a component").Value.Text;
}
