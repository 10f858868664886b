# Writes OUTPUT, a C++ source holding the text of each form description in INPUTS (a list of
# resources/*.form), so that every widgetset reads the same descriptions from inside the program.
#
#   cmake -DOUTPUT=<file.cpp> -DINPUTS="a.form;b.form" -P EmbedForms.cmake

set(body "// Made by cmake/EmbedForms.cmake from resources/*.form; edit those instead.\n")
string(APPEND body "#include \"platform/formresources.h\"\n\n#include <stdexcept>\n\nnamespace {\n\n")
string(APPEND body "struct TEntry {\n  std::string_view Name;\n  std::string_view Text;\n};\n\n")
string(APPEND body "constexpr TEntry Forms[] = {\n")
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME_WE)
  file(READ "${input}" text)
  if(text MATCHES "\\)form\"")
    message(FATAL_ERROR "${input} holds the text )form\" and cannot be embedded")
  endif()
  string(APPEND body "    {\"${name}\", R\"form(${text})form\"},\n")
endforeach()
string(APPEND body "};\n\n}  // namespace\n\n")
string(APPEND body "std::string_view FormDescription(std::string_view name) {\n")
string(APPEND body "  for (const TEntry& entry : Forms)\n    if (entry.Name == name) return entry.Text;\n")
string(APPEND body "  throw EFormError(\"form \" + String(name) + \": the program holds no description of it\");\n}\n")
file(WRITE "${OUTPUT}.new" "${body}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
