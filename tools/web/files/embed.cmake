# Writes the page's files into one C++ source as byte arrays, with a lookup by request path.
# Run as: cmake -DROOT=<tools/web/files> -DOUT=<file.cpp> -DFILES=<relative paths, comma-separated> -P embed.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(entries "")
set(arrays "")
set(index 0)
foreach(relative IN LISTS FILES)
  file(READ "${ROOT}/${relative}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(LENGTH "${hex}" hex_length)
  math(EXPR length "${hex_length} / 2")
  get_filename_component(extension "${relative}" LAST_EXT)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    set(type "text/plain; charset=utf-8")
  endif()
  set(path "/${relative}")
  if(relative STREQUAL "index.html")
    set(path "/")
  endif()
  string(APPEND arrays "const char file_${index}[] = {${bytes}'\\0'};\n")
  string(APPEND entries "    {\"${path}\", {\"${type}\", std::string_view(file_${index}, ${length})}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}.new" "// Written by tools/web/files/embed.cmake from the files in tools/web/files.
#include <map>

#include \"web_files.h\"

namespace osa::board {
namespace {
${arrays}}  // namespace

const WebFile* web_file(std::string_view path) {
    static const std::map<std::string_view, WebFile> files{
${entries}    };
    const auto found = files.find(path);
    return found == files.end() ? nullptr : &found->second;
}

}  // namespace osa::board
")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
