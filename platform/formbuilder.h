#pragma once

#include <functional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/classes.h"
#include "platform/forms.h"
#include "platform/strings.h"

// Builds a form's components from its description (formresources.h) on the form, through the
// widgetset in use, then hands them to the form's members and connects their events to its
// handlers, all by name. A description that does not fit the form (a component without a member,
// a member of another class, a handler the form lacks, a property that means nothing) stops the
// build with an EFormError naming the form and the property. The form owns what is made.
class TFormBuilder {
 public:
  TFormBuilder(TForm& form, std::string_view name);

  // `member` receives the component `name`, which must be of (or derive from) T.
  template <class T>
  TFormBuilder& Component(std::string_view name, T*& member) {
    static_assert(std::is_base_of_v<TComponent, T>);
    FBindings.push_back({String(name), [&member, name = String(name), this](TComponent* made) {
                           member = dynamic_cast<T*>(made);
                           if (member == nullptr) WrongClass(name);
                         }});
    return *this;
  }
  // The handler that events naming `name` run.
  TFormBuilder& Handler(std::string_view name, std::function<void()> handler);

  void Build();
  // The same from a given text instead of the form's built-in description (for tests).
  void Build(std::string_view text);

  struct THandler {
    String Name;
    std::function<void()> Run;
  };

 private:
  struct TBinding {
    String Name;
    std::function<void(TComponent*)> Bind;
  };
  [[noreturn]] void WrongClass(const String& name) const;

  TForm& FForm;
  String FName;
  std::vector<TBinding> FBindings;
  std::vector<THandler> FHandlers;
};
