#include "platform/qt/qtforms.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QVBoxLayout>
#include <map>

#include "platform/application.h"
#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/formresources.h"
#include "platform/image.h"
#include "platform/paintbox.h"
#include "platform/stdctrls.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtmenus.h"
#include "platform/qt/qtraster.h"

namespace {

class TBuild {
 public:
  using THandlers = std::vector<TQtFormBuilder::THandler>;
  TBuild(TForm& form, const String& name, const THandlers& handlers)
      : FFormControl(form), FForm(QtWidget(form)), FName(name), FHandlers(handlers) {}

  void Form(const TFormObject& root) {
    TPropertyReader r(FName, root);
    if (root.Name != FName) r.Fail("Name", "names the form " + root.Name + ", not " + FName);
    FForm->setObjectName(QStr(root.Name));
    FFormControl.SetCaption(r.Text("Caption"));
    // The design place and size; the form's own code gives the real ones.
    FFormControl.SetBounds(r.Integer("Left"), r.Integer("Top"), r.Integer("ClientWidth"), r.Integer("ClientHeight"));
    if (r.Has("BorderStyle")) FFormControl.SetBorderStyle(TBorderStyle(r.Choice("BorderStyle", {"bsSizeable", "bsNone"})));
    if (r.Has("FormStyle")) FFormControl.SetFormStyle(TFormStyle(r.Choice("FormStyle", {"fsNormal", "fsStayOnTop"})));
    r.Finish();
    // Menus first: controls name them.
    for (const TFormObject& child : root.Children)
      if (child.ClassName == "TPopupMenu") Menu(child);
    Children(root, &FFormControl);
  }

  std::map<String, TQtFormBuilder::TMade> Created;

 private:
  // The components the form's widget does not own as Qt objects (menus) live as long as it.
  struct THolder : QObject {
    // The last made first: a control goes before the one holding it.
    ~THolder() override {
      while (!Owned.empty()) Owned.pop_back();
    }
    std::vector<std::unique_ptr<TComponent>> Owned;
  };
  // A framework control of class C made on `parent`, owned with the form.
  template <class C, class... A>
  C* Own(const TFormObject& object, TControl* parent, A&&... args) {
    auto owned = std::make_unique<C>(object.Name, parent, std::forward<A>(args)...);
    C* made = owned.get();
    Owner().Owned.push_back(std::move(owned));
    return made;
  }
  THolder& Owner() {
    if (FHolder == nullptr) {
      FHolder = new THolder;
      FHolder->setParent(FForm);
    }
    return *FHolder;
  }

  void Register(const TFormObject& object, TQtFormBuilder::TMade made) {
    QObject* created = made.Object;
    if (Created.count(object.Name) != 0)
      throw EFormError("form " + FName + ", line " + std::to_string(object.Line) + ": a second component named " +
                       object.Name);
    created->setObjectName(QStr(object.Name));
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
    auto owned = std::make_unique<TPopupMenu>(object.Name, std::make_unique<TQtPopupMenu>(FForm, object.Name));
    TPopupMenu* menu = owned.get();
    Owner().Owned.push_back(std::move(owned));
    Register(object, {QtMenu(*menu), menu});
    if (r.Has("OnPopup")) menu->OnPopup = Handler(r, "OnPopup");
    r.Finish();
    for (const TFormObject& item : object.Children) {
      if (item.ClassName != "TMenuItem")
        throw EFormError("form " + FName + ", line " + std::to_string(item.Line) + ": " + item.Name + " (" +
                         item.ClassName + ") cannot be an item of the menu " + object.Name);
      TPropertyReader r(FName, item);
      TMenuItem& made = menu->Add(item.Name, r.Text("Caption"));
      Register(item, {QtAction(made), &made});
      if (r.Has("Enabled")) made.SetEnabled(r.Boolean("Enabled"));
      // An item that shows a check mark, which its handler decides.
      if (r.Has("Checked")) made.SetChecked(r.Boolean("Checked"));
      if (r.Has("ImageIndex")) made.ImageIndex = r.Integer("ImageIndex");
      if (r.Has("OnClick")) made.OnClick = Handler(r, "OnClick");
      r.Finish();
    }
  }

  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

  // Makes the control; returns how it is aligned in its parent.
  TAlign Control(const TFormObject& object, TControl* parentControl) {
    TPropertyReader r(FName, object);
    TControl* parent = parentControl;
    QWidget* const parentWidget = QtWidget(*parent);
    QWidget* widget = nullptr;
    TControl* control = nullptr;
    if (object.ClassName == "TImage") {
      auto* image = Own<TImage>(object, parent);
      if (r.Has("Stretch")) image->SetStretch(r.Boolean("Stretch"));
      control = image;
    } else if (object.ClassName == "TSpeedButton") {
      auto* button = Own<TSpeedButton>(object, parent, r.Has("Flat") && r.Boolean("Flat"));
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      control = button;
    } else if (object.ClassName == "TButton") {
      auto* button = Own<TButton>(object, parent, !r.Has("TabStop") || r.Boolean("TabStop"));
      if (r.Has("Caption")) button->SetCaption(r.Text("Caption"));
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      control = button;
    } else if (object.ClassName == "TToolButton") {
      const auto style = r.Has("Style") ? TToolButtonStyle(r.Choice("Style", {"tbsButton", "tbsCheck"})) : tbsButton;
      auto* button = Own<TToolButton>(object, parent, style, r.Has("ImageIndex") ? r.Integer("ImageIndex") : -1);
      if (r.Has("OnClick")) button->OnClick = Handler(r, "OnClick");
      control = button;
    } else if (object.ClassName == "TToolBar") {
      control = Own<TToolBar>(object, parent, r.Has("Color") ? Color(r, "Color") : clBtnFace);
    } else if (object.ClassName == "TPaintBox") {
      control = Own<TPaintBox>(object, parent);
    } else if (object.ClassName == "TEdit") {
      control =
          Own<TEdit>(object, parent, !r.Has("BorderStyle") || r.Choice("BorderStyle", {"bsNone", "bsSingle"}) == 1);
    } else if (object.ClassName == "TMaskEdit") {
      control = Own<TMaskEdit>(object, parent);
    } else if (object.ClassName == "TUpDown") {
      control = Own<TUpDown>(object, parent);
    } else if (object.ClassName == "TColorBox") {
      control = Own<TColorBox>(object, parent, !r.Has("TabStop") || r.Boolean("TabStop"));
    } else if (object.ClassName == "TPanel") {
      control = Own<TPanel>(object, parent);
    } else if (object.ClassName == "TLabel") {
      const auto alignment = r.Has("Alignment") ? TAlignment(r.Choice("Alignment", {"taLeftJustify", "taRightJustify",
                                                                                     "taCenter"}))
                                                : taLeftJustify;
      control = Own<TLabel>(object, parent, r.Text("Caption"), alignment);
    } else if (object.ClassName == "TRichEdit") {
      const bool readOnly = r.Has("ReadOnly") && r.Boolean("ReadOnly");
      const bool wordWrap = !r.Has("WordWrap") || r.Boolean("WordWrap");
      const auto bars =
          r.Has("ScrollBars") ? TScrollStyle(r.Choice("ScrollBars", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}))
                              : ssNone;
      control = Own<TRichEdit>(object, parent, readOnly, wordWrap, bars);
    } else {
      throw EFormError("form " + FName + ", line " + std::to_string(object.Line) + ": " + object.Name +
                       " is of the class " + object.ClassName + ", which this form cannot hold");
    }
    if (control != nullptr) widget = QtWidget(*control);
    Register(object, {widget, control});
    TAlign align = alNone;
    if (r.Has("Align"))
      align = TAlign(r.Choice("Align", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}));
    if (align == alLeft || align == alRight) r.Fail("Align", "may be only alNone, alTop, alBottom or alClient here");
    // An aligned control takes its place from its parent; only its height across the parent is its own.
    if (align == alNone)
      widget->setGeometry(r.Integer("Left"), r.Integer("Top"), r.Integer("Width"), r.Integer("Height"));
    else if (align != alClient)
      widget->setFixedHeight(r.Integer("Height"));
    if (r.Has("Hint")) {
      if (control)
        control->SetHint(r.Text("Hint"));
      else
        widget->setToolTip(QStr(r.Text("Hint")));
    }
    if (r.Has("Enabled")) widget->setEnabled(r.Boolean("Enabled"));
    if (r.Has("PopupMenu")) {
      const String name = r.Reference("PopupMenu");
      auto* menu = Created.count(name) != 0 ? dynamic_cast<TPopupMenu*>(Created[name].Component) : nullptr;
      if (menu == nullptr) r.Fail("PopupMenu", "names " + name + ", which is no menu of the form");
      widget->setContextMenuPolicy(Qt::CustomContextMenu);
      QObject::connect(widget, &QWidget::customContextMenuRequested, QtMenu(*menu), [menu] {
        const QPoint at = QCursor::pos();
        RunHandler([&] { menu->Popup(at.x(), at.y()); });
      });
    }
    r.Finish();
    if (control != nullptr)
      Children(object, control);
    else if (!object.Children.empty())
      throw EFormError("form " + FName + ", line " + std::to_string(object.Line) + ": " + object.Name + " (" +
                       object.ClassName + ") cannot hold other controls");
    return align;
  }

  // The controls `object` holds, made on `widget`; those aligned to its edges are stacked top to
  // bottom, the client one between, without margins.
  void Children(const TFormObject& object, TControl* parent) {
    QWidget* const widget = QtWidget(*parent);
    std::vector<QWidget*> top, client, bottom;
    for (const TFormObject& child : object.Children) {
      if (child.ClassName == "TPopupMenu") continue;
      const TAlign align = Control(child, parent);
      QWidget* made = static_cast<QWidget*>(Created[child.Name].Object);
      if (align == alTop) top.push_back(made);
      if (align == alClient) client.push_back(made);
      if (align == alBottom) bottom.push_back(made);
    }
    if (client.size() > 1)
      throw EFormError("form " + FName + ": " + object.Name +
                       " holds more than one control aligned to its client area");
    if (top.empty() && client.empty() && bottom.empty()) return;
    auto* layout = new QVBoxLayout(widget);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : top) layout->addWidget(w);
    for (QWidget* w : client) layout->addWidget(w);
    // Bottom-aligned controls stack upwards from the bottom edge, the first lowest.
    for (auto it = bottom.rbegin(); it != bottom.rend(); ++it) layout->addWidget(*it);
  }

  TForm& FFormControl;
  QWidget* FForm;
  String FName;
  const THandlers& FHandlers;
  THolder* FHolder = nullptr;
};

}  // namespace

TQtFormBuilder::TQtFormBuilder(TForm& form, std::string_view name) : FForm(form), FName(name) {}

TQtFormBuilder& TQtFormBuilder::Handler(std::string_view name, std::function<void()> handler) {
  FHandlers.push_back({String(name), std::move(handler)});
  return *this;
}

void TQtFormBuilder::Build() { Build(FormDescription(FName)); }

void TQtFormBuilder::Build(std::string_view text) {
  const TFormObject root = ReadForm(FName, text);
  TBuild build(FForm, FName, FHandlers);
  build.Form(root);
  for (const TBinding& binding : FBindings) {
    const auto found = build.Created.find(binding.Name);
    if (found == build.Created.end())
      throw EFormError("form " + FName + ": the description has no component " + binding.Name);
    binding.Bind(found->second);
  }
  for (const auto& [name, object] : build.Created) {
    bool bound = false;
    for (const TBinding& binding : FBindings) bound = bound || binding.Name == name;
    if (!bound) throw EFormError("form " + FName + ": the component " + name + " has no member in the form's class");
  }
}

void TQtFormBuilder::WrongClass(const String& name) const {
  throw EFormError("form " + FName + ": the component " + name + " is of a class its member cannot hold");
}
