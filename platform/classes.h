#pragma once

#include "platform/strings.h"

// The root of everything a form description names: a component has a name and is never copied.
class TComponent {
 public:
  explicit TComponent(String name) : FName(std::move(name)) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const String& Name() const { return FName; }

 private:
  String FName;
};
