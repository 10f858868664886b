# Writes OUTPUT, a C++ source holding each file of INPUTS (UTF-8 texts such as resources/help.txt)
# under its file name, so that every widgetset reads the same texts from inside the program.
#
#   cmake -DOUTPUT=<file.cpp> -DINPUTS="a.txt;b.txt" -P EmbedTexts.cmake

set(body "// Made by cmake/EmbedTexts.cmake from the texts in resources/; edit those instead.\n")
string(APPEND body "#include \"platform/textresources.h\"\n\n#include \"platform/sysutils.h\"\n\nnamespace {\n\n")
string(APPEND body "struct TEntry {\n  std::string_view Name;\n  std::string_view Text;\n};\n\n")
string(APPEND body "constexpr TEntry Texts[] = {\n")
foreach(input IN LISTS INPUTS)
  get_filename_component(name "${input}" NAME)
  file(READ "${input}" text)
  if(text MATCHES "\\)text\"")
    message(FATAL_ERROR "${input} holds the text )text\" and cannot be embedded")
  endif()
  string(APPEND body "    {\"${name}\", R\"text(${text})text\"},\n")
endforeach()
string(APPEND body "};\n\n}  // namespace\n\n")
string(APPEND body "std::string_view TextResource(std::string_view name) {\n")
string(APPEND body "  for (const TEntry& entry : Texts)\n    if (entry.Name == name) return entry.Text;\n")
string(APPEND body "  throw Exception(\"text \" + String(name) + \": the program holds no text of that name\");\n}\n")
file(WRITE "${OUTPUT}.new" "${body}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
