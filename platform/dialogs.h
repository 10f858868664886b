#pragma once

#include <vector>

#include "platform/strings.h"

// The common dialogs and the message box. Each opens modally above the window the application
// chooses for it (the active one of ours), so that it is never hidden below a stay-on-top form.

// The file dialogs. FileName is preset before Execute (the dialog opens in its folder, showing
// its name; empty: the current folder) and changes only when the user confirms. Any typed name
// is taken, also one of a file that does not exist: the caller's open then fails and says so.
class TFileDialog {
 public:
  virtual ~TFileDialog() = default;

  // Entries "description|mask", several separated by '|' too; a mask lists patterns separated
  // by ';'. Names match a pattern whatever their letter case.
  String Filter;
  // Added to a confirmed name that has no extension, without the dot ("BMP").
  String DefaultExt;
  String FileName;

  // Runs the dialog; true when the user confirmed a name.
  virtual bool Execute() = 0;
};

class TOpenDialog : public TFileDialog {
 public:
  bool Execute() override;
};

class TSaveDialog : public TFileDialog {
 public:
  bool Execute() override;
};

// One entry of a dialog's Filter.
struct TFilterEntry {
  String Description;
  std::vector<String> Patterns;
  bool operator==(const TFilterEntry&) const = default;
};
// The entries of `filter`, in order. An entry whose description or mask is empty is left out;
// so is a description given no mask.
std::vector<TFilterEntry> FilterEntries(const String& filter);

// A modal message box with an OK button, titled with the application's title.
void ShowMessage(const String& text);
