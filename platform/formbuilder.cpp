#include "platform/formbuilder.h"

#include <map>
#include <memory>

#include "platform/application.h"
#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/formreader.h"
#include "platform/formresources.h"
#include "platform/image.h"
#include "platform/menus.h"
#include "platform/paintbox.h"
#include "platform/stdctrls.h"
#include "platform/widgetset.h"

namespace {

class TBuild {
 public:
  using THandlers = std::vector<TFormBuilder::THandler>;
  TBuild(TForm& form, const String& name, const THandlers& handlers)
      : FForm(form), FName(name), FHandlers(handlers) {}

  void Form(const TFormObject& root) {
    TPropertyReader r(FName, root);
    if (root.Name != FName) r.Fail("Name", "names the form " + root.Name + ", not " + FName);
    FForm.Handle().SetName(root.Name);
    FForm.SetCaption(r.Text("Caption"));
    // The design place and size; the form's own code gives the real ones.
    FForm.SetBounds(r.Integer("Left"), r.Integer("Top"), r.Integer("ClientWidth"), r.Integer("ClientHeight"));
    if (r.Has("BorderStyle")) FForm.SetBorderStyle(TBorderStyle(r.Choice("BorderStyle", {"bsSizeable", "bsNone"})));
    if (r.Has("FormStyle")) FForm.SetFormStyle(TFormStyle(r.Choice("FormStyle", {"fsNormal", "fsStayOnTop"})));
    r.Finish();
    // Menus first: controls name them.
    for (const TFormObject& child : root.Children)
      if (child.ClassName == "TPopupMenu") Menu(child);
    Children(root, &FForm);
  }

  std::map<String, TComponent*> Created;

 private:
  // A framework control of class C made on `parent`, owned by the form.
  template <class C, class... A>
  C* Own(const TFormObject& object, TControl* parent, A&&... args) {
    auto owned = std::make_unique<C>(object.Name, parent, std::forward<A>(args)...);
    C* made = owned.get();
    FForm.Own(std::move(owned));
    return made;
  }

  [[noreturn]] void Fail(const TFormObject& object, const String& what) const {
    throw EFormError("form " + FName + ", line " + std::to_string(object.Line) + ": " + what);
  }

  void Register(const TFormObject& object, TComponent* made) {
    if (Created.count(object.Name) != 0) Fail(object, "a second component named " + object.Name);
    Created[object.Name] = made;
  }

  std::function<void()> Handler(const TPropertyReader& r, std::string_view property) {
    const String name = r.Event(property);
    for (const auto& handler : FHandlers)
      if (handler.Name == name) return [run = handler.Run] { RunHandler(run); };
    r.Fail(property, "names " + name + ", which the form has no handler of");
  }

  static TColor Color(const TPropertyReader& r, std::string_view property) {
    const String name = r.Reference(property);
    for (const TNamedColor& color : PenColorList())
      if (name == color.Name) return color.Value;
    r.Fail(property, "names " + name + ", which is no colour");
  }

  void Menu(const TFormObject& object) {
    TPropertyReader r(FName, object);
    auto owned = std::make_unique<TPopupMenu>(object.Name, WidgetSet().CreatePopupMenu(FForm, object.Name));
    TPopupMenu* menu = owned.get();
    FForm.Own(std::move(owned));
    Register(object, menu);
    if (r.Has("OnPopup")) menu->OnPopup = Handler(r, "OnPopup");
    r.Finish();
    for (const TFormObject& item : object.Children) {
      if (item.ClassName != "TMenuItem")
        Fail(item, item.Name + " (" + item.ClassName + ") cannot be an item of the menu " + object.Name);
      TPropertyReader r(FName, item);
      TMenuItem& made = menu->Add(item.Name, r.Text("Caption"));
      Register(item, &made);
      if (r.Has("Enabled")) made.SetEnabled(r.Boolean("Enabled"));
      // An item that shows a check mark, which its handler decides.
      if (r.Has("Checked")) made.SetChecked(r.Boolean("Checked"));
      if (r.Has("ImageIndex")) made.ImageIndex = r.Integer("ImageIndex");
      if (r.Has("OnClick")) made.OnClick = Handler(r, "OnClick");
      r.Finish();
    }
  }

  TControl* MakeControl(const TFormObject& object, const TPropertyReader& r, TControl* parent) {
    const String& kind = object.ClassName;
    if (kind == "TImage") {
      auto* image = Own<TImage>(object, parent);
      if (r.Has("Stretch")) image->SetStretch(r.Boolean("Stretch"));
      return image;
    }
    if (kind == "TSpeedButton") {
      auto* button = Own<TSpeedButton>(object, parent, r.Has("Flat") && r.Boolean("Flat"));
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      return button;
    }
    if (kind == "TButton") {
      auto* button = Own<TButton>(object, parent, !r.Has("TabStop") || r.Boolean("TabStop"));
      if (r.Has("Caption")) button->SetCaption(r.Text("Caption"));
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      return button;
    }
    if (kind == "TToolButton") {
      const auto style = r.Has("Style") ? TToolButtonStyle(r.Choice("Style", {"tbsButton", "tbsCheck"})) : tbsButton;
      auto* button = Own<TToolButton>(object, parent, style, r.Has("ImageIndex") ? r.Integer("ImageIndex") : -1);
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      return button;
    }
    if (kind == "TToolBar") return Own<TToolBar>(object, parent, r.Has("Color") ? Color(r, "Color") : clBtnFace);
    if (kind == "TPaintBox") return Own<TPaintBox>(object, parent);
    if (kind == "TEdit")
      return Own<TEdit>(object, parent, !r.Has("BorderStyle") || r.Choice("BorderStyle", {"bsNone", "bsSingle"}) == 1);
    if (kind == "TMaskEdit") return Own<TMaskEdit>(object, parent);
    if (kind == "TUpDown") return Own<TUpDown>(object, parent);
    if (kind == "TColorBox") return Own<TColorBox>(object, parent, !r.Has("TabStop") || r.Boolean("TabStop"));
    if (kind == "TPanel") return Own<TPanel>(object, parent);
    if (kind == "TLabel") {
      const auto alignment =
          r.Has("Alignment") ? TAlignment(r.Choice("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}))
                             : taLeftJustify;
      return Own<TLabel>(object, parent, r.Text("Caption"), alignment);
    }
    if (kind == "TRichEdit") {
      const bool readOnly = r.Has("ReadOnly") && r.Boolean("ReadOnly");
      const bool wordWrap = !r.Has("WordWrap") || r.Boolean("WordWrap");
      const auto bars =
          r.Has("ScrollBars") ? TScrollStyle(r.Choice("ScrollBars", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}))
                              : ssNone;
      return Own<TRichEdit>(object, parent, readOnly, wordWrap, bars);
    }
    Fail(object, object.Name + " is of the class " + kind + ", which this form cannot hold");
  }

  // Makes the control with its properties and children; returns how it is aligned in its parent.
  TAlignedChild Control(const TFormObject& object, TControl* parent) {
    TPropertyReader r(FName, object);
    TControl* control = MakeControl(object, r, parent);
    control->Handle().SetName(object.Name);
    Register(object, control);
    TAlign align = alNone;
    if (r.Has("Align"))
      align = TAlign(r.Choice("Align", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}));
    if (align == alLeft || align == alRight) r.Fail("Align", "may be only alNone, alTop, alBottom or alClient here");
    // An aligned control takes its place from its parent; only its height across the parent is its own.
    int height = 0;
    if (align == alNone)
      control->SetBounds(r.Integer("Left"), r.Integer("Top"), r.Integer("Width"), r.Integer("Height"));
    else if (align != alClient)
      height = r.Integer("Height");
    if (r.Has("Hint")) control->SetHint(r.Text("Hint"));
    if (r.Has("Enabled")) control->SetEnabled(r.Boolean("Enabled"));
    if (r.Has("PopupMenu")) {
      const String name = r.Reference("PopupMenu");
      auto* menu = Created.count(name) != 0 ? dynamic_cast<TPopupMenu*>(Created[name]) : nullptr;
      if (menu == nullptr) r.Fail("PopupMenu", "names " + name + ", which is no menu of the form");
      control->Handle().SetContextMenu([menu] {
        const TPoint at = Screen().CursorPos();
        RunHandler([&] { menu->Popup(at.X, at.Y); });
      });
    }
    r.Finish();
    Children(object, control);
    return {control, align, height};
  }

  // The controls `object` holds, made on `parent`; those aligned to its edges are stacked top to
  // bottom, the client one between, without margins.
  void Children(const TFormObject& object, TControl* parent) {
    std::vector<TAlignedChild> aligned;
    int clients = 0;
    for (const TFormObject& child : object.Children) {
      if (child.ClassName == "TPopupMenu") continue;
      const TAlignedChild made = Control(child, parent);
      if (made.Align == alNone) continue;
      clients += made.Align == alClient;
      aligned.push_back(made);
    }
    if (clients > 1)
      throw EFormError("form " + FName + ": " + object.Name + " holds more than one control aligned to its client area");
    if (!aligned.empty()) parent->Handle().SetAligned(aligned);
  }

  TForm& FForm;
  String FName;
  const THandlers& FHandlers;
};

}  // namespace

TFormBuilder::TFormBuilder(TForm& form, std::string_view name) : FForm(form), FName(name) {}

TFormBuilder& TFormBuilder::Handler(std::string_view name, std::function<void()> handler) {
  FHandlers.push_back({String(name), std::move(handler)});
  return *this;
}

void TFormBuilder::Build() { Build(FormDescription(FName)); }

void TFormBuilder::Build(std::string_view text) {
  const TFormObject root = ReadForm(FName, text);
  TBuild build(FForm, FName, FHandlers);
  build.Form(root);
  for (const TBinding& binding : FBindings) {
    const auto found = build.Created.find(binding.Name);
    if (found == build.Created.end())
      throw EFormError("form " + FName + ": the description has no component " + binding.Name);
    binding.Bind(found->second);
  }
  for (const auto& [name, component] : build.Created) {
    bool bound = false;
    for (const TBinding& binding : FBindings) bound = bound || binding.Name == name;
    if (!bound) throw EFormError("form " + FName + ": the component " + name + " has no member in the form's class");
  }
}

void TFormBuilder::WrongClass(const String& name) const {
  throw EFormError("form " + FName + ": the component " + name + " is of a class its member cannot hold");
}
