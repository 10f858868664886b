#pragma once

#include <QObject>
#include <QWidget>
#include <functional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/controls.h"
#include "platform/formreader.h"
#include "platform/forms.h"
#include "platform/menus.h"

// Builds a form's components from its description (platform/formresources.h) as Qt widgets and
// actions on the form's window, then hands them to the form's members and connects their
// events to its handlers, all by name. A description that does not fit the form (a component
// without a member, a member of another class, a handler the form lacks, a property that means
// nothing) stops the build with an EFormError naming the form and the property.
class TQtFormBuilder {
 public:
  // What a component of the description was made into: its Qt object, and the framework's
  // component where there is one (menus and their items).
  struct TMade {
    QObject* Object = nullptr;
    TComponent* Component = nullptr;
  };
  struct THandler {
    String Name;
    std::function<void()> Run;
  };

  TQtFormBuilder(TForm& form, std::string_view name);

  // `member` receives the component `name`, which must be of (or derive from) T.
  template <class T>
  TQtFormBuilder& Component(std::string_view name, T*& member) {
    FBindings.push_back({String(name), [&member, name = String(name), this](const TMade& made) {
                           if constexpr (std::is_base_of_v<TComponent, T>)
                             member = dynamic_cast<T*>(made.Component);
                           else
                             member = dynamic_cast<T*>(made.Object);
                           if (member == nullptr) WrongClass(name);
                         }});
    return *this;
  }
  // The handler that events naming `name` run.
  TQtFormBuilder& Handler(std::string_view name, std::function<void()> handler);

  void Build();
  // The same from a given text instead of the form's built-in description (for tests).
  void Build(std::string_view text);

 private:
  struct TBinding {
    String Name;
    std::function<void(const TMade&)> Bind;
  };
  [[noreturn]] void WrongClass(const String& name) const;

  TForm& FForm;
  String FName;
  std::vector<TBinding> FBindings;
  std::vector<THandler> FHandlers;
};
