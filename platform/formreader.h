#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/strings.h"
#include "platform/sysutils.h"

// The forms and menus are described once, in a text every widgetset reads (resources/*.form):
//
//   object Form1: TForm1
//     Caption = 'KEZ'                     a string ('' for a quote, #20320 for a code point)
//     Left = 439                          an integer
//     BorderStyle = bsNone                an identifier: enumerations, True/False, handlers
//     BorderIcons = []                    a set of identifiers
//     Font.Name = 'MS Sans Serif'         a property of a property
//     Lines.Strings = ('one' 'two')       a list
//     object Bplay: TSpeedButton ... end  a component it owns
//   end
//
// Reading checks the form's grammar only; what a property means is for the component that
// reads it. Every mistake is an EFormError naming the form, the line and the property.

class EFormError : public Exception {
 public:
  using Exception::Exception;
};

struct TFormValue {
  enum TKind { vkInteger, vkString, vkIdentifier, vkSet, vkList };
  TKind Kind = vkInteger;
  std::int64_t Integer = 0;
  String Text;                    // a string's text or an identifier
  std::vector<TFormValue> Items;  // a set's identifiers, a list's values
  int Line = 0;
};

struct TFormProperty {
  String Name;  // dotted for a property of a property: Font.Name
  TFormValue Value;
  int Line = 0;
};

struct TFormObject {
  String Name;
  String ClassName;
  std::vector<TFormProperty> Properties;
  std::vector<TFormObject> Children;
  int Line = 0;

  const TFormProperty* Property(std::string_view name) const;
  // This object or one it owns, at any depth, by name.
  const TFormObject* Find(std::string_view name) const;
};

// Parses a whole description; `form` names it in errors.
TFormObject ReadForm(std::string_view form, std::string_view text);

// One object's properties, read by the component they describe. Each accessor throws an
// EFormError naming the form, the object, the property and what it should have been; Finish
// throws for a property nobody read, so a misspelt one never passes silently.
class TPropertyReader {
 public:
  TPropertyReader(std::string_view form, const TFormObject& object);

  bool Has(std::string_view name) const;
  std::int32_t Integer(std::string_view name) const;
  String Text(std::string_view name) const;
  bool Boolean(std::string_view name) const;
  // An identifier among `allowed`; returns its index there.
  int Choice(std::string_view name, std::initializer_list<std::string_view> allowed) const;
  // A set of identifiers among `allowed`; returns the bits of their indexes.
  unsigned Set(std::string_view name, std::initializer_list<std::string_view> allowed) const;
  std::vector<String> Strings(std::string_view name) const;
  // A handler's name (an identifier).
  String Event(std::string_view name) const;
  // The name of another component of the form (an identifier).
  String Reference(std::string_view name) const;

  // Throws for the first property that no accessor asked for.
  void Finish() const;
  [[noreturn]] void Fail(std::string_view name, std::string_view problem) const;

 private:
  const TFormProperty& Get(std::string_view name, TFormValue::TKind kind, std::string_view expected) const;

  String FForm;
  const TFormObject& FObject;
  mutable std::vector<bool> FRead;
};
