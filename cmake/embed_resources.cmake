# Writes a C++ source holding files as byte arrays and a lookup table.
# Invoked as: cmake -DOUT=<file.cpp> -DHEADER=<include> -DFUNC=<name>
#   -DENTRIES=<NAME|TYPE|path;...> -P embed_resources.cmake
# Each array carries a trailing zero byte (not counted) so that text
# resources can be read as C strings.
set(body "// Generated from resource files; do not edit.\n#include \"${HEADER}\"\n\n#include <cstring>\n\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(entry IN LISTS ENTRIES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 type)
  list(GET parts 2 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char kData${index}[] = {\n${bytes}0x00};\n\n")
  string(APPEND table "    {\"${name}\", \"${type}\", kData${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "struct Entry {\n  const char* name;\n  const char* type;\n  const unsigned char* data;\n  std::size_t size;\n};\n\n")
string(APPEND body "const Entry kEntries[] = {\n${table}};\n\n}  // namespace\n\n")
string(APPEND body "std::span<const unsigned char> ${FUNC}(std::string_view name, std::string_view type) {\n")
string(APPEND body "  for (const Entry& e : kEntries)\n    if (name == e.name && type == e.type) return {e.data, e.size};\n  return {};\n}\n")
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
